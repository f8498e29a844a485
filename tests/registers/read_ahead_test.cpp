// Rows read ahead on a thread of their own come to the reader whole, in
// order, with the engine's failure at the row where it happened.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "db/errors.h"
#include "registers/read_ahead.h"

namespace vexla {
namespace {

constexpr std::size_t kBatch = ReadAhead::kBatchRows;

// Row r: its number, a text that tells it apart (its length varies too) and
// a date column; MoveNext from row `failAt` fails.
struct CountingRows final : db::Recordset {
    CountingRows(long rows, long failAt) : rows_(rows), failAt_(failAt) { text_ = textOf(0); }
    static std::string textOf(long r) { return "rad " + std::string(static_cast<std::size_t>(r % 40), 'x'); }
    bool Eof() const override { return at_ >= rows_; }
    Status MoveFirst() override { return {}; }
    Status MoveNext() override {
        if (at_ == failAt_) {
            at_ = rows_;
            return Error{3043, "disk"};
        }
        text_ = textOf(++at_);
        return {};
    }
    long RecordCount() const override { return at_; }
    void Close() override {}
    int FieldCount() const override { return 3; }
    const std::string& name(int) const override { return name_; }
    int type(int index) const override { return index == 2 ? db::dao::Date : db::dao::Text; }
    Result<db::Variant> value(int) const override { return db::Variant(db::Null{}); }
    db::RawValue raw(int index) const override {
        if (index == 0) return {db::RawValue::Kind::Integer, at_, 0, {}};
        return {db::RawValue::Kind::Text, 0, 0, index == 1 ? std::string_view(text_) : "2024-02-29 13:05:09"};
    }
    int indexOf(std::string_view) const override { return -1; }

    long rows_, failAt_, at_ = 0;
    std::string text_, name_ = "x";
};

struct AheadCase {
    const char* name;
    long rows;
    long failAt;  // -1: none
};

const AheadCase kAheadCases[] = {
    {"None", 0, -1},
    {"One", 1, -1},
    {"OneBatch", kBatch, -1},
    {"BatchesAndARest", 5 * kBatch + 3, -1},
    {"FailureInTheFirstBatch", 3 * kBatch, 10},
    {"FailureAtTheEndOfABatch", 3 * kBatch, 2 * kBatch - 1},
};

TEST(ReadAhead, EveryRowInOrderAndTheFailureWhereItHappened) {
    for (const AheadCase& c : kAheadCases) {
        SCOPED_TRACE(c.name);
        CountingRows inner(c.rows, c.failAt);
        ReadAhead rows(inner);
        long r = 0;
        Status moved;
        for (; !rows.Eof(); ++r) {
            ASSERT_EQ(rows.raw(0).integer, r);
            ASSERT_EQ(rows.raw(1).text, CountingRows::textOf(r));
            ASSERT_EQ(std::get<DateTime>(rows.value(2).value()), (DateTime{2024, 2, 29, 13, 5, 9}));
            EXPECT_EQ(rows.RecordCount(), r + 1);
            if (moved = rows.MoveNext(); !moved) break;
        }
        EXPECT_EQ(moved ? -1 : r, c.failAt);
        EXPECT_EQ(moved ? r : r + 1, c.failAt < 0 ? c.rows : c.failAt + 1);
        EXPECT_TRUE(rows.Eof());
        EXPECT_EQ(rows.MoveNext().error().number, db::noCurrentRecord("").number);
    }
}

// A reader that stops early ends the thread, also once the thread has
// read all it may hold ahead and waits for room.
TEST(ReadAhead, ClosedEarlyEndsTheReading) {
    CountingRows inner(100 * kBatch, -1);
    {
        ReadAhead rows(inner);
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(rows.MoveNext().ok());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_LE(inner.at_, static_cast<long>(4 * kBatch));
}

}  // namespace
}  // namespace vexla
