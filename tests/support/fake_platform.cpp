#include "tests/support/fake_platform.h"

#include "common/cp1252.h"
#include "tests/support/source_tree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vexla::testing {

void PrintTo(const ShownBox& box, std::ostream* os) {
    *os << '"' << box.text << "\" titled \"" << box.title << "\", icon " << static_cast<int>(box.icon) << ", buttons "
        << static_cast<int>(box.buttons);
}

MsgAnswer FakeMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon,
                                 MsgButtons buttons) {
    shown.push_back({text, title, icon, buttons});
    if (!answers.empty()) {
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::YesNo: return MsgAnswer::No;
        case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    }
    return MsgAnswer::Cancel;
}

std::optional<std::string> FakeLocaleInfo::value(LocaleItem item) {
    auto it = values.find(item);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

bool FakeFileDialogs::answer(OpenFileName& ofn) {
    asked.push_back(ofn);
    const std::string chosen = choices.empty() ? std::string() : choices.front();
    if (!choices.empty()) choices.pop_front();
    if (chosen.empty()) {
        if (!leftOnCancel.empty()) ofn.file = leftOnCancel;
        return false;
    }
    ofn.file = chosen;
    return true;
}

int FaultyFileSystem::calls(const std::string& op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

std::optional<Error> FaultyFileSystem::fault(const std::string& op) {
    if (beforeCall) beforeCall(op);
    const int n = ++calls_[op];
    auto it = faults_.find(op);
    if (it != faults_.end() && it->second.first == n) return it->second.second;
    return std::nullopt;
}

namespace {

// The real call's answer, or the error when this call of `op` is to fail.
template <class Call>
auto unlessFaulted(FaultyFileSystem& files, const char* op, Call call) -> decltype(call()) {
    if (auto e = files.fault(op)) return *e;
    return call();
}

// An open file whose calls count, and may fail, like the file system's own.
template <class File>
class Faulty : public File {
public:
    Faulty(std::unique_ptr<File> real, FaultyFileSystem& files) : real_(std::move(real)), files_(files) {}
    Status write(std::string_view bytes) override {
        return unlessFaulted(files_, "write", [&] { return real_->write(bytes); });
    }
    Status flush() override { return unlessFaulted(files_, "flush", [&] { return real_->flush(); }); }
    Status sync() override { return unlessFaulted(files_, "sync", [&] { return real_->sync(); }); }
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
    Status copyFrom(const std::string& source) override {
        return unlessFaulted(files_, "copyFrom", [&] { return real_->copyFrom(source); });
    }
    Status commit() override { return unlessFaulted(files_, "commit", [&] { return real_->commit(); }); }
    bool ownerKept() const override { return real_->ownerKept(); }
};

template <class File, class Wrapper>
Result<std::unique_ptr<File>> wrap(Result<std::unique_ptr<File>> opened, FaultyFileSystem& files) {
    if (!opened) return opened.error();
    return std::unique_ptr<File>(std::make_unique<Wrapper>(std::move(*opened), files));
}

}  // namespace

bool FaultyFileSystem::exists(const std::string& path) { return real_.exists(path); }

Result<std::unique_ptr<OutputFile>> FaultyFileSystem::openAppend(const std::string& path) {
    return unlessFaulted(*this, "openAppend",
                         [&] { return wrap<OutputFile, Faulty<OutputFile>>(real_.openAppend(path), *this); });
}

Result<std::unique_ptr<NewFile>> FaultyFileSystem::createFile(const std::string& target, const Placement& placement) {
    return unlessFaulted(*this, "createFile",
                         [&] { return wrap<NewFile, FaultyNewFile>(real_.createFile(target, placement), *this); });
}

Status FaultyFileSystem::linkFile(const std::string& from, const std::string& to) {
    return unlessFaulted(*this, "linkFile", [&] { return real_.linkFile(from, to); });
}

Status FaultyFileSystem::removeFile(const std::string& path) {
    return unlessFaulted(*this, "removeFile", [&] { return real_.removeFile(path); });
}

Status FaultyFileSystem::renameFile(const std::string& from, const std::string& to) {
    return unlessFaulted(*this, "renameFile", [&] { return real_.renameFile(from, to); });
}

Result<std::uint64_t> FaultyFileSystem::fileSize(const std::string& path) {
    return unlessFaulted(*this, "fileSize", [&] { return real_.fileSize(path); });
}

Status FaultyFileSystem::syncFolder(const std::string& folder) {
    return unlessFaulted(*this, "syncFolder", [&] { return real_.syncFolder(folder); });
}

Result<std::uint64_t> FaultyFileSystem::availableBytes(const std::string& folder) {
    return unlessFaulted(*this, "availableBytes", [&] {
        return freeBytes ? Result<std::uint64_t>(*freeBytes) : real_.availableBytes(folder);
    });
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

std::string cp1252Lines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += utf8ToCp1252(line) + "\r\n";
    return bytes;
}

}  // namespace vexla::testing
