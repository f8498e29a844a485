#include "common/ini_file.h"

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <set>
#include <string_view>

#include "common/cp1252.h"
#include "common/input_file.h"
#include "common/platform.h"
#include "common/platform/file_system.h"
#include "common/text.h"
#include "common/unread_settings.h"
#include "common/utf8_check.h"

namespace vexla {

namespace {

// Lower case of one Windows-1252 byte: ASCII, the Latin-1 letters
// (0xC0-0xDE but the multiplication sign) and Š Œ Ž Ÿ.
unsigned char foldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x8A: return 0x9A;
        case 0x8C: return 0x9C;
        case 0x8E: return 0x9E;
        case 0x9F: return 0xFF;
        default: return c;
    }
}

// A file's text and what its bytes mean (the rule is in the header).
struct IniText {
    std::string_view text;  // without a byte-order mark
    bool utf8 = false;
};

IniText decideEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return {bytes.substr(3), true};
    Utf8Check check;
    check.feed(bytes);
    return {bytes, check.wellFormed() && check.beyondAscii()};
}

// A section or key name as the file spells it, as the index holds it:
// Windows-1252 in lower case. A UTF-8 name beyond ASCII is taken into the
// code page; one the code page cannot hold is no name the program asks for
// (nothing).
std::optional<std::string> foldedName(std::string_view inFile, bool utf8) {
    std::string name(inFile);
    if (utf8 && asciiRun(reinterpret_cast<const unsigned char*>(inFile.data()),
                         reinterpret_cast<const unsigned char*>(inFile.data() + inFile.size())) != inFile.size()) {
        std::size_t replaced = 0;
        name = utf8ToCp1252(inFile, &replaced);
        if (replaced != 0) return std::nullopt;
    }
    for (char& c : name) c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
    return name;
}

// The index's key of `key` in `section`, both folded.
std::string indexKey(const std::string& section, const std::string& key) { return section + '\0' + key; }

// The first `limit` characters of UTF-8 text (a character is cut whole).
std::string_view firstUtf8Characters(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continues a character
        if (characters++ == limit) return text.substr(0, i);
    }
    return text;
}

// Why the bytes of a file are in an encoding no ini file is read in
// (fixed English, for the line that says the file was not read); "" for
// none. A byte-order mark names UTF-16 and UTF-32; without one, the NUL
// bytes of either show among the first bytes, which no text of ours holds.
const char* wideEncoding(std::string_view bytes) {
    using namespace std::string_view_literals;
    if (bytes.substr(0, 4) == "\xFF\xFE\0\0"sv || bytes.substr(0, 4) == "\0\0\xFE\xFF"sv) return "UTF-32 encoded";
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") return "UTF-16 encoded";
    const std::string_view first = bytes.substr(0, 64);
    if (first.find('\0') == std::string_view::npos) return "";
    return first.find("\0\0\0"sv) != std::string_view::npos ? "UTF-32 encoded" : "UTF-16 encoded";
}

// What a settings file's kind says of it when it is no regular file.
std::string kindReason(FileKind kind) {
    switch (kind) {
        case FileKind::Fifo: return "not a regular file (FIFO)";
        case FileKind::Device: return "not a regular file (device)";
        case FileKind::Folder: return "not a regular file (folder)";
        case FileKind::Socket: return "not a regular file (socket)";
        default: return "not a regular file";
    }
}

// The bytes of a file, or `missing` when there is no file at the path, or
// one passed over (`notRead` says why).
struct FileBytes {
    bool missing = false;
    std::string bytes;
    std::string notRead;
};

FileBytes passedOver(std::string why) { return FileBytes{true, {}, std::move(why)}; }

// The whole file; an Error when a file is there but cannot be read.
Result<FileBytes> readWholeFile(const std::string& path) {
    const Error accessError{fserr::PathFileAccess, "Path/File access error", kProgramTitle};
    if (path.empty()) return FileBytes{true, {}, {}};
    auto opened = InputFile::open(path);
    if (!opened) {
        const long number = opened.error().number;
        if (number == fserr::FileNotFound || number == fserr::PathNotFound) return FileBytes{true, {}, {}};
        if (const FileKind kind = refusedKind(opened.error()); kind != FileKind::Regular)
            return passedOver(kindReason(kind));
        return accessError;
    }
    if (opened->size() > kMaxIniBytes) return passedOver("larger than 1 MB");
    FileBytes file;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(opened->fd(), buffer, sizeof buffer);
        if (n > 0) {
            file.bytes.append(buffer, static_cast<std::size_t>(n));
            // A file that grows while it is read is judged by what it holds.
            if (file.bytes.size() > kMaxIniBytes) return passedOver("larger than 1 MB");
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            return accessError;
        }
    }
    if (const char* wide = wideEncoding(file.bytes); *wide) return passedOver(wide);
    return file;
}

// Calls `line` for each line of `text` until it answers false.
template <class F>
void forEachLine(std::string_view text, F&& line) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        if (!line(text.substr(start, end - start))) return;
        start = end;
        if (start < text.size() && text[start] == '\r') ++start;
        if (start < text.size() && text[start] == '\n') ++start;
    }
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

Result<IniFile> IniFile::read(const std::string& path) {
    Result<FileBytes> file = readWholeFile(path);
    if (!file) return file.error();
    IniFile ini;
    if (!file->notRead.empty()) tellUnreadSettings(path, file->notRead);
    if (file->missing) return ini;
    ini.bytes_ = std::move(file->bytes);
    const IniText text = decideEncoding(ini.bytes_);
    ini.start_ = ini.bytes_.size() - text.text.size();
    ini.utf8_ = text.utf8;
    ini.buildIndex();
    return ini;
}

// One pass over the lines: the raw value (in the file's encoding, blanks
// trimmed, quotes kept) of the first line of each key in the first section
// of each name. A later section of a name already seen is passed over.
void IniFile::buildIndex() {
    const std::string_view text = std::string_view(bytes_).substr(start_);
    std::set<std::string> sections;
    std::optional<std::string> section;  // nothing: outside any section read
    forEachLine(text, [&](std::string_view raw) {
        const std::string_view line = trimSpace(raw);
        if (line.empty() || line.front() == ';') return true;
        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            section = foldedName(trimSpace(name), utf8_);
            if (section && !sections.insert(*section).second) section.reset();
            return true;
        }
        const std::size_t eq = line.find('=');
        if (!section || eq == std::string_view::npos) return true;
        if (const auto key = foldedName(trimSpace(line.substr(0, eq)), utf8_)) {
            // An empty value may point nowhere.
            const std::string_view value = trimSpace(line.substr(eq + 1));
            const std::size_t at = value.empty() ? 0 : static_cast<std::size_t>(value.data() - bytes_.data());
            index_.emplace(indexKey(*section, *key), std::pair{at, value.size()});
        }
        return true;
    });
}

std::string IniFile::value(const std::string& section, const std::string& key, int bufferSize) const {
    if (bufferSize < 2 || key.empty()) return std::string();
    const auto wanted = [](const std::string& name) { return *foldedName(utf8ToCp1252(name), false); };
    const auto found = index_.find(indexKey(wanted(section), wanted(key)));
    if (found == index_.end()) return std::string();
    std::string_view value = unquote(std::string_view(bytes_).substr(found->second.first, found->second.second));
    const auto limit = static_cast<std::size_t>(bufferSize - 1);
    if (utf8_ && isUtf8(value)) return std::string(firstUtf8Characters(value, limit));
    return cp1252ToUtf8(value.substr(0, limit));
}

Result<std::string> readIniValue(const std::string& path, const std::string& section, const std::string& key,
                                 int bufferSize) {
    if (bufferSize < 2 || key.empty()) return std::string();
    Result<IniFile> file = IniFile::read(path);
    if (!file) return file.error();
    return file->value(section, key, bufferSize);
}

std::string readIniString(const std::string& path, const std::string& section, const std::string& key, int bufferSize) {
    Result<std::string> value = readIniValue(path, section, key, bufferSize);
    return value ? std::move(value).value() : std::string();
}

}  // namespace vexla
