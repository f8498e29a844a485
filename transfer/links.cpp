#include "transfer/links.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/cp1252.h"
#include "common/input_file.h"
#include "common/posix_file_system.h"
#include "registers/field_mapping.h"
#include "registers/register_file_reader.h"

namespace vexla::transfer {

namespace {

LinkRow linkOf(const std::vector<std::string>& captions, int field, const std::vector<std::string>& fileFields,
               int file) {
    return {captions[static_cast<std::size_t>(field)], std::to_string(field),
            fileFields[static_cast<std::size_t>(file)], std::to_string(file)};
}

int positionOf(const std::vector<std::string>& list, const std::string& text) {
    const auto it = std::find(list.begin(), list.end(), text);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

}  // namespace

LinkTable autoLinks(const std::vector<std::pair<int, int>>& pairs, const std::vector<std::string>& captions,
                    const std::vector<std::string>& fileFields) {
    LinkTable links;
    for (const auto& [field, file] : pairs) links.push_back(linkOf(captions, field, fileFields, file));
    return links;
}

LinkTable autoLinks(const std::vector<std::string>& captions, const std::vector<std::string>& fileFields) {
    return autoLinks(autoLinkPairs(captions, fileFields), captions, fileFields);
}

Result<std::vector<std::string>> readMappingLines(const std::string& path) {
    // A mapping file has a line per link: anything that is not a regular
    // file of register-file size is refused before it is read.
    auto opened = InputFile::open(path);
    if (!opened) return opened.error();
    if (opened->size() > kMaxLineBytes) return Error{readerr::NotRegularFile, "Invalid file format", "Vexla Admin"};
    std::string bytes;
    char block[8192];
    for (;;) {
        const ssize_t n = ::read(opened->fd(), block, sizeof block);
        if (n > 0) bytes.append(block, static_cast<std::size_t>(n));
        if (n == 0 || bytes.size() > kMaxLineBytes) break;
        if (n < 0 && errno != EINTR) return fileError(errno, path);
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    std::string asCp1252;
    const std::size_t replaced = appendUtf8AsCp1252(asCp1252, bytes);
    // Text a script wrote is UTF-8; text saved beside the register files may be Windows-1252.
    const std::string text = replaced == 0 ? bytes : cp1252ToUtf8(bytes);

    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size() || text[i] == '\n' || text[i] == '\r';
        if (!end) {
            line += text[i];
            continue;
        }
        if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (!line.empty()) lines.push_back(line);
        line.clear();
    }
    return lines;
}

std::variant<LinkTable, std::string> mappedLinks(const std::vector<std::string>& lines,
                                                 const std::vector<std::string>& captions,
                                                 const std::vector<std::string>& fileFields) {
    LinkTable links;
    for (const std::string& line : lines) {
        const std::size_t semi = line.find(';');
        if (semi == std::string::npos || line.find(';', semi + 1) != std::string::npos) return line;
        const int file = positionOf(fileFields, line.substr(0, semi));
        const int field = positionOf(captions, line.substr(semi + 1));
        if (file < 0 || field < 0) return line;
        links.push_back(linkOf(captions, field, fileFields, file));
    }
    return links;
}

}  // namespace vexla::transfer
