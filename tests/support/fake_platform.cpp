#include "tests/support/fake_platform.h"

#include "common/cp1252.h"
#include "tests/support/source_tree.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vexla::testing {

void PrintTo(const ShownBox& box, std::ostream* os) {
    *os << '"' << box.text << "\" titled \"" << box.title << "\", icon " << static_cast<int>(box.icon) << ", buttons "
        << static_cast<int>(box.buttons);
}

MsgAnswer FakeMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons b) {
    shown.push_back({text, title, icon, b});
    using enum MsgAnswer;
    if (answers.empty())
        return b == MsgButtons::Ok ? Ok : b == MsgButtons::YesNo || b == MsgButtons::YesNoDefaultNo ? No : Cancel;
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

bool FakeFileDialogs::answer(OpenFileName& ofn) {
    asked.push_back(ofn);
    std::string chosen;
    if (!choices.empty()) chosen = choices.front(), choices.pop_front();
    if (!types.empty()) ofn.filterIndex = types.front(), types.pop_front();
    if (!chosen.empty() || !leftOnCancel.empty()) ofn.file = chosen.empty() ? leftOnCancel : chosen;
    return !chosen.empty();
}

std::optional<Error> FaultyFileSystem::fault(const std::string& op) {
    if (beforeCall) beforeCall(op);
    // A job's backup is copied on a thread of its own beside the result's making.
    const std::lock_guard<std::mutex> counting(mutex_);
    const int n = ++calls_[op];
    if (const auto it = faults_.find(op); it != faults_.end() && it->second.first == n) return it->second.second;
    return std::nullopt;
}

namespace {

// An open file whose calls count, and may fail, like the file system's own.
template <class File>
class Faulty : public File {
public:
    Faulty(std::unique_ptr<File> real, FaultyFileSystem& files) : real_(std::move(real)), files_(files) {}
    Status write(std::string_view bytes) override {
        return files_.unlessFaulted("write", [&] { return real_->write(bytes); });
    }
    Status flush() override {
        return files_.unlessFaulted("flush", [&] { return real_->flush(); });
    }
    Status sync() override {
        return files_.unlessFaulted("sync", [&] { return real_->sync(); });
    }
    // A failed close still lets go of the file, as the system's close does.
    Status close() override {
        const auto e = files_.fault("close");
        Status closed = real_->close();
        if (e) return *e;
        return closed;
    }

protected:
    std::unique_ptr<File> real_;
    FaultyFileSystem& files_;
};

class FaultyNewFile final : public Faulty<NewFile> {
public:
    using Faulty<NewFile>::Faulty;
    Status copyFrom(const std::string& source, const std::function<bool(std::uint64_t)>& progress) override {
        return files_.unlessFaulted("copyFrom", [&] { return real_->copyFrom(source, progress); });
    }
    const std::string& temporaryPath() const override { return real_->temporaryPath(); }
    Status commit() override {
        return files_.unlessFaulted("commit", [&] { return real_->commit(); });
    }
    bool ownerKept() const override { return real_->ownerKept(); }
};

template <class File, class Wrapper>
Result<std::unique_ptr<File>> wrap(Result<std::unique_ptr<File>> opened, FaultyFileSystem& files) {
    if (!opened) return opened.error();
    return std::unique_ptr<File>(std::make_unique<Wrapper>(std::move(*opened), files));
}

}  // namespace

Result<std::unique_ptr<OutputFile>> FaultyFileSystem::openAppend(const std::string& path) {
    return unlessFaulted("openAppend",
                         [&] { return wrap<OutputFile, Faulty<OutputFile>>(real_.openAppend(path), *this); });
}

Result<std::unique_ptr<NewFile>> FaultyFileSystem::createFile(const std::string& target, const Placement& placement) {
    return unlessFaulted("createFile",
                         [&] { return wrap<NewFile, FaultyNewFile>(real_.createFile(target, placement), *this); });
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexla-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path p = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
}

std::string TempFolder::read(const std::string& name) const { return fileBytes(file(name)); }

std::vector<std::string> TempFolder::list() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FakePlatform::notices() const {
    std::vector<std::string> warnings;
    for (const auto& [priority, line] : systemLog.lines)
        if (priority == LogPriority::Warning) warnings.push_back(line.substr(line.find(": ") + 2));
    return warnings;
}

std::string cp1252Lines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += utf8ToCp1252(line) + "\r\n";
    return bytes;
}

}  // namespace vexla::testing
