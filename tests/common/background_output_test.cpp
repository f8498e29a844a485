// Writing on a thread of its own: the bytes arrive whole and in order, and
// a failure stops the writing and is answered.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/background_output.h"

namespace vexla {
namespace {

constexpr std::size_t kPiece = BackgroundOutput::kPiece;

// Keeps what it is given, slowly (so that the caller gets ahead of it), and
// fails its write number `failAt`.
struct SlowFile final : OutputFile {
    Status write(std::string_view bytes) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (++writes == failAt) return Error{28, "full"};
        kept.append(bytes);
        return {};
    }
    Status flush() override {
        calls += 'f';
        return {};
    }
    Status sync() override {
        calls += 's';
        return {};
    }
    Status close() override {
        calls += 'c';
        return {};
    }
    std::string kept, calls;
    int writes = 0, failAt = 0;
};

struct PieceCase {
    const char* name;
    std::vector<std::size_t> sizes;  // of the caller's writes
    int failAt;                      // 0: none
    std::size_t keptPieces;          // kPiece bytes kept before the failure, so many times
};

const PieceCase kPieceCases[] = {
    {"SmallFileWrittenAtTheFlush", {10, 20}, 0, 0},
    {"ExactlyOnePiece", {kPiece}, 0, 1},
    {"ManyPiecesAndARest", {kPiece - 1, 2, 3 * kPiece + 5, 70000, 70000, 70000}, 0, 4},
    {"FailureOfTheFirstPiece", {kPiece, kPiece, kPiece, 5}, 1, 0},
    {"FailureOfALaterPiece", {2 * kPiece, 2 * kPiece, 2 * kPiece, 5}, 2, 2},
    {"FailureOfTheRest", {kPiece, 5}, 2, 1},
};

// Bytes that tell every position apart.
std::string bytesAt(std::size_t from, std::size_t size) {
    std::string s(size, 0);
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((from + i) * 131 % 251);
    return s;
}

TEST(BackgroundOutput, WritesEveryByteInOrderOrAnswersTheFailure) {
    for (const PieceCase& c : kPieceCases) {
        SCOPED_TRACE(c.name);
        SlowFile file;
        file.failAt = c.failAt;
        BackgroundOutput out(file);
        std::string given;
        Status answer;
        for (std::size_t size : c.sizes) {
            given += bytesAt(given.size(), size);
            answer = out.write(std::string_view(given).substr(given.size() - size));
            if (!answer) break;
        }
        if (answer) answer = out.sync();
        EXPECT_EQ(answer ? 0L : answer.error().number, c.failAt ? 28L : 0L);
        const std::string wanted = c.failAt ? given.substr(0, c.keptPieces * kPiece) : given;
        EXPECT_TRUE(file.kept == wanted) << file.kept.size() << " bytes kept of " << wanted.size();
        EXPECT_EQ(file.calls, c.failAt ? "" : "fs");
    }
}

// Given up without a flush (a stop, a failure of the caller): the piece being
// written ends, the rest is dropped, and nothing is written after it.
TEST(BackgroundOutput, AbandonedWithoutAFlushWritesNoMore) {
    SlowFile file;
    {
        BackgroundOutput out(file);
        for (std::size_t size : {kPiece, kPiece, std::size_t{3}}) ASSERT_TRUE(out.write(bytesAt(0, size)).ok());
    }
    EXPECT_EQ(file.kept.size(), 2 * kPiece);
    EXPECT_EQ(file.calls, "");
}

}  // namespace
}  // namespace vexla
