#include "registers/register_file_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/cp1252.h"
#include "common/input_file.h"
#include "common/posix_file_system.h"

namespace vexla {

namespace {

// Big enough that a read costs little per line, small enough to stay in cache.
constexpr std::size_t kBlockSize = 64 * 1024;

// The first CR, or LF when it ends lines too, in [b, e); e when none.
const char* findLineEnd(const char* b, const char* e, bool lfToo) {
    const void* cr = std::memchr(b, '\r', static_cast<std::size_t>(e - b));
    const char* end = cr ? static_cast<const char*>(cr) : e;
    if (lfToo) {
        const void* lf = std::memchr(b, '\n', static_cast<std::size_t>(end - b));
        if (lf) end = static_cast<const char*>(lf);
    }
    return end;
}

// The encoding a byte-order mark of UTF-32 or UTF-16 at the start of
// `bytes` names; "" for none.
const char* wideEncoding(std::string_view bytes) {
    if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4)) return "UTF-32LE";
    if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) return "UTF-32BE";
    if (bytes.substr(0, 2) == "\xFF\xFE") return "UTF-16LE";
    if (bytes.substr(0, 2) == "\xFE\xFF") return "UTF-16BE";
    return "";
}

}  // namespace

namespace {

// A name ending in ".csv", in any letter case.
bool spreadsheetName(std::string_view path) {
    if (path.size() < 4) return false;
    std::string suffix(path.substr(path.size() - 4));
    for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".csv";
}

}  // namespace

RegisterFileReader::RegisterFileReader(int fd, std::string path, std::uint64_t size)
    : fd_(fd), path_(std::move(path)), block_(kBlockSize), sheetName_(spreadsheetName(path_)), size_(size) {}

RegisterFileReader::~RegisterFileReader() {
    if (fd_ >= 0) ::close(fd_);
}

Result<std::unique_ptr<RegisterFileReader>> RegisterFileReader::open(const std::string& path) {
    auto opened = InputFile::open(path);
    if (!opened) {
        Error e = opened.error();
        if (refusedKind(e) == FileKind::Regular) return e;
        // What it is, as its refusal names it.
        e.number = readerr::NotRegularFile;
        e.description = "Invalid file format";
        return e;
    }
    const std::uint64_t size = opened->size();
    return std::unique_ptr<RegisterFileReader>(new RegisterFileReader(opened->release(), path, size));
}

Result<bool> RegisterFileReader::fill() {
    ssize_t n;
    do n = ::read(fd_, block_.data(), block_.size());
    while (n < 0 && errno == EINTR);
    if (n < 0) return fileError(errno, path_);
    pos_ = 0;
    end_ = static_cast<std::size_t>(n);
    bytesRead_ += end_;
    decideEncoding();
    if (encoding_ == Encoding::Refused) {
        pos_ = end_;  // nothing of such a file is read, now or later
        lineNumber_ = 1;
        Error e{readerr::OtherEncoding, "Invalid character encoding", "Vexla Admin"};
        e.subject = refused_;
        return e;
    }
    return n > 0;
}

void RegisterFileReader::decideEncoding() {
    if (!started_) {
        started_ = true;
        if (end_ >= 3 && std::memcmp(block_.data(), "\xEF\xBB\xBF", 3) == 0) {
            encoding_ = Encoding::Utf8;
            pos_ = 3;
        } else if ((refused_ = wideEncoding(std::string_view(block_.data(), end_)))[0] != '\0') {
            encoding_ = Encoding::Refused;
            return;
        }
    }
    if (encoding_ != Encoding::Open) return;
    bytesSoFar_.feed(std::string_view(block_.data() + pos_, end_ - pos_));
    // A character cut at the end of the block is judged with the next one.
    if (bytesSoFar_.broken())
        encoding_ = Encoding::Cp1252;
    else if (bytesSoFar_.beyondAscii())
        encoding_ = Encoding::Utf8;
    else if (end_ == 0 && bytesSoFar_.cut())
        encoding_ = Encoding::Cp1252;  // the file ends inside a character: it was no UTF-8
}

Result<bool> RegisterFileReader::emitLine(std::string& line, std::string_view bytes) {
    ++physical_;
    if (!bytes.empty() && std::memchr(bytes.data(), '\0', bytes.size())) {
        lineNumber_ = physical_;
        return Error{readerr::NulCharacter, "Invalid file format", "Vexla Admin"};
    }
    switch (encoding_) {
        case Encoding::Cp1252: appendCp1252AsUtf8(line, bytes); break;
        case Encoding::Utf8:
            if (!isUtf8(bytes)) {
                lineNumber_ = physical_;
                return Error{readerr::NotUtf8, "Invalid character encoding", "Vexla Admin"};
            }
            [[fallthrough]];
        case Encoding::Open:
        case Encoding::Refused: line.assign(bytes);  // still ASCII, the same in both
    }
    return true;
}

Error RegisterFileReader::lineTooLong() {
    partial_.clear();
    partial_.shrink_to_fit();
    lineNumber_ = physical_ + 1;
    return Error{readerr::LineTooLong, "Bad record length", "Vexla Admin"};
}

Result<bool> RegisterFileReader::readLine(std::string& line) {
    auto got = readPhysical(line);
    if (!got || !*got) return got;
    if (physical_ == 1) quoted_ = sheetName_ || spreadsheetQuoted(line);
    lineNumber_ = physical_;
    if (!quoted_) return true;
    return joinQuoted(line);
}

// The quoting rules are splitQuotedLine's: a cell is quoted when its first
// character is a double quote, and then up to the next lone one.
Result<bool> RegisterFileReader::joinQuoted(std::string& line) {
    bool inQuote = false, cellStart = true;
    long cellLine = 0;  // the line where the open quoted cell began
    for (std::size_t i = 0;;) {
        std::size_t loneLfs = 0;  // LFs inside quotes in this line: line ends of the file too
        // From quote to quote, and from cell to cell, a search each: a
        // quoted file reads nearly as fast as a plain one.
        while (i < line.size()) {
            if (inQuote) {
                const std::string_view rest = std::string_view(line).substr(i);
                const std::size_t quote = rest.find('"');
                const std::size_t lf = rest.substr(0, quote).find('\n');
                if (lf != std::string_view::npos) {
                    i += lf;
                    line[i++] = '\0';  // marked here (a NUL was refused already), made CR LF below
                    ++loneLfs;
                    ++physical_;
                } else if (quote == std::string_view::npos) {
                    i = line.size();
                } else if (i += quote; i + 1 < line.size() && line[i + 1] == '"') {
                    i += 2;  // a doubled quote stands for one
                } else {
                    inQuote = false;
                    ++i;
                }
            } else if (cellStart && line[i] == '"') {
                inQuote = true;
                cellStart = false;
                cellLine = physical_;
                ++i;
            } else {
                const std::size_t semi = line.find(';', i);
                cellStart = semi != std::string::npos;
                i = cellStart ? semi + 1 : line.size();
            }
        }
        if (loneLfs > 0) {
            std::string widened;
            widened.reserve(line.size() + loneLfs);
            for (char c : line) {
                if (c == '\0')
                    widened.append("\r\n");
                else
                    widened.push_back(c);
            }
            line.swap(widened);
        }
        if (!inQuote) return true;
        auto more = readPhysical(next_);
        if (!more) return more.error();
        if (!*more || line.size() + 2 + next_.size() > kMaxLineBytes) {
            lineNumber_ = cellLine;
            return Error{readerr::UnclosedQuote, "Invalid file format", "Vexla Admin"};
        }
        line += "\r\n";
        i = line.size();
        line += next_;
    }
}

Result<bool> RegisterFileReader::readPhysical(std::string& line) {
    line.clear();
    partial_.clear();
    bool any = false;  // bytes of a line were seen
    for (;;) {
        if (pos_ == end_) {
            auto more = fill();
            if (!more) return more.error();
            if (!*more) {
                if (!any) return false;
                return emitLine(line, partial_);
            }
            if (pos_ == end_) continue;  // a file of nothing but the byte-order mark
        }
        if (skipLf_) {
            skipLf_ = false;
            if (block_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        const char* b = block_.data() + pos_;
        const char* e = block_.data() + end_;
        const char* t = findLineEnd(b, e, lfEnds_ || !decided_);
        if (t == e) {
            if (partial_.size() + static_cast<std::size_t>(e - b) > kMaxLineBytes) return lineTooLong();
            partial_.append(b, e);
            pos_ = end_;
            any = true;
            continue;
        }
        if (partial_.size() + static_cast<std::size_t>(t - b) > kMaxLineBytes) return lineTooLong();
        if (!decided_) {
            decided_ = true;
            lfEnds_ = *t == '\n';
        }
        skipLf_ = *t == '\r';
        pos_ = static_cast<std::size_t>(t - block_.data()) + 1;
        if (partial_.empty()) return emitLine(line, std::string_view(b, static_cast<std::size_t>(t - b)));
        partial_.append(b, t);
        return emitLine(line, partial_);
    }
}

bool spreadsheetQuoted(std::string_view header) { return !header.empty() && header.front() == '"'; }

void splitQuotedLine(std::string_view line, std::vector<std::string>& fields) {
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            for (++i; i < line.size(); ++i) {
                if (line[i] != '"') {
                    field += line[i];
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        }
        // Whatever follows a closing quote up to the separator belongs to the
        // field too, as a spreadsheet would read it.
        const std::size_t semi = line.find(';', i);
        field += line.substr(i, semi == std::string_view::npos ? std::string_view::npos : semi - i);
        fields.push_back(std::move(field));
        if (semi == std::string_view::npos) return;
        i = semi + 1;
    }
}

std::vector<std::string> headerFieldsForLinking(std::string_view header) {
    std::vector<std::string> fields;
    if (spreadsheetQuoted(header)) {
        splitQuotedLine(header, fields);
        for (std::string& f : fields)
            while (!f.empty() && (f.back() == ' ' || f.back() == '\t')) f.pop_back();
        return fields;
    }
    for (;;) {
        const std::size_t semi = header.find(';');
        std::string_view field = header.substr(0, semi);
        while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
        fields.emplace_back(field);
        if (semi == std::string_view::npos) return fields;
        header.remove_prefix(semi + 1);
    }
}

std::size_t fieldCount(std::string_view line) {
    std::size_t n = 1;
    for (char c : line) n += c == ';';
    return n;
}

char foreignSeparator(std::string_view header) {
    if (header.find(';') != std::string_view::npos) return 0;
    std::size_t tabs = 0, commas = 0;
    for (char c : header) tabs += c == '\t', commas += c == ',';
    if (tabs == 0 && commas == 0) return 0;
    return tabs >= commas ? '\t' : ',';
}

}  // namespace vexla
