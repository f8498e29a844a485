#include "common/ini_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "common/cp1252.h"
#include "common/platform.h"
#include "common/platform/file_system.h"
#include "common/text.h"

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

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// The bytes of a file, or `missing` when there is no file at the path.
struct FileBytes {
    bool missing = false;
    std::string bytes;
};

// The whole file; an Error when a file is there but cannot be read.
Result<FileBytes> readWholeFile(const std::string& path) {
    const Error accessError{fserr::PathFileAccess, "Path/File access error", kProgramTitle};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || path.empty()) return FileBytes{true, {}};
        return accessError;
    }
    FileBytes file;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            file.bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return accessError;
        }
    }
    ::close(fd);
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

// The raw value (Windows-1252, blanks trimmed, quotes kept) of the key in
// the first section of the name; empty when either is absent.
std::string_view findValue(std::string_view text, std::string_view section, std::string_view key) {
    enum { Before, Inside, Done } state = Before;
    std::string_view found;
    forEachLine(text, [&](std::string_view raw) {
        const std::string_view line = trimSpace(raw);
        if (line.empty() || line.front() == ';') return true;
        if (line.front() == '[') {
            if (state == Inside) {
                state = Done;
                return false;
            }
            std::string_view name = line.substr(1);
            const std::size_t close = name.find(']');
            if (close != std::string_view::npos) name = name.substr(0, close);
            if (equalNoCase(trimSpace(name), section)) state = Inside;
            return true;
        }
        if (state != Inside) return true;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return true;
        if (!equalNoCase(trimSpace(line.substr(0, eq)), key)) return true;
        found = trimSpace(line.substr(eq + 1));
        state = Done;
        return false;
    });
    return found;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

Result<std::string> readIniValue(const std::string& path, const std::string& section, const std::string& key,
                                 int bufferSize) {
    if (bufferSize < 2 || key.empty()) return std::string();
    Result<FileBytes> file = readWholeFile(path);
    if (!file) return file.error();
    if (file->missing) return std::string();
    std::string_view value = unquote(findValue(file->bytes, utf8ToCp1252(section), utf8ToCp1252(key)));
    const auto limit = static_cast<std::size_t>(bufferSize - 1);
    if (value.size() > limit) value = value.substr(0, limit);
    return cp1252ToUtf8(value);
}

std::string readIniString(const std::string& path, const std::string& section, const std::string& key, int bufferSize) {
    Result<std::string> value = readIniValue(path, section, key, bufferSize);
    return value ? std::move(value).value() : std::string();
}

}  // namespace vexla
