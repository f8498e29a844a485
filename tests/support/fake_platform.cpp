#include "tests/support/fake_platform.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vexla::testing {

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
    if (choices.empty()) return false;
    const std::string chosen = choices.front();
    choices.pop_front();
    if (chosen.empty()) return false;
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

// An open file whose calls count, and may fail, like the file system's own.
class FaultyOutputFile final : public OutputFile {
public:
    FaultyOutputFile(std::unique_ptr<OutputFile> real, FaultyFileSystem& files)
        : real_(std::move(real)), files_(files) {}
    Status write(std::string_view bytes) override {
        if (auto e = files_.fault("write")) return *e;
        return real_->write(bytes);
    }
    Status flush() override {
        if (auto e = files_.fault("flush")) return *e;
        return real_->flush();
    }
    Status sync() override {
        if (auto e = files_.fault("sync")) return *e;
        return real_->sync();
    }
    // A failed close still lets go of the file, as the system's close does.
    Status close() override {
        const auto e = files_.fault("close");
        Status closed = real_->close();
        if (e) return *e;
        return closed;
    }

private:
    std::unique_ptr<OutputFile> real_;
    FaultyFileSystem& files_;
};

Result<std::unique_ptr<OutputFile>> wrap(Result<std::unique_ptr<OutputFile>> opened, FaultyFileSystem& files) {
    if (!opened) return opened.error();
    return std::unique_ptr<OutputFile>(std::make_unique<FaultyOutputFile>(std::move(*opened), files));
}

}  // namespace

bool FaultyFileSystem::exists(const std::string& path) { return real_.exists(path); }

Result<std::unique_ptr<OutputFile>> FaultyFileSystem::openAppend(const std::string& path) {
    if (auto e = fault("openAppend")) return *e;
    return wrap(real_.openAppend(path), *this);
}

Result<std::unique_ptr<OutputFile>> FaultyFileSystem::openWrite(const std::string& path) {
    if (auto e = fault("openWrite")) return *e;
    return wrap(real_.openWrite(path), *this);
}

Status FaultyFileSystem::copyFile(const std::string& from, const std::string& to) {
    if (auto e = fault("copyFile")) return *e;
    return real_.copyFile(from, to);
}

Status FaultyFileSystem::removeFile(const std::string& path) {
    if (auto e = fault("removeFile")) return *e;
    return real_.removeFile(path);
}

Status FaultyFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (auto e = fault("renameFile")) return *e;
    return real_.renameFile(from, to);
}

Status FaultyFileSystem::syncFile(const std::string& path) {
    if (auto e = fault("syncFile")) return *e;
    return real_.syncFile(path);
}

Result<std::uint64_t> FaultyFileSystem::fileSize(const std::string& path) {
    if (auto e = fault("fileSize")) return *e;
    return real_.fileSize(path);
}

Status FaultyFileSystem::syncFolder(const std::string& folder) {
    if (auto e = fault("syncFolder")) return *e;
    return real_.syncFolder(folder);
}

Result<std::uint64_t> FaultyFileSystem::availableBytes(const std::string& folder) {
    if (auto e = fault("availableBytes")) return *e;
    if (freeBytes) return *freeBytes;
    return real_.availableBytes(folder);
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

std::string TempFolder::read(const std::string& name) const {
    std::ifstream in(std::filesystem::path(path_) / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace vexla::testing
