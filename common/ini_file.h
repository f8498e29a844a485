// Reading one value from an ini file (Vexla.ini, Lang.ini), with the
// semantics of the Windows private-profile string read that the booking
// system's own programs use, so that a file they read correctly reads the
// same here:
//
//   [Section]        section line; blanks inside the brackets are ignored
//   ; comment        a line whose first non-blank character is ';'
//   Key = value      blanks around key and value are dropped
//
// Section and key names match without regard to case (Windows-1252 letters,
// so "SÖKVÄG" matches "sökväg"). Only the first section of a name is
// searched and the first line of a key counts. A value enclosed in one pair
// of double or single quotes is read without them, which is also how a value
// keeps leading or trailing blanks. A ';' later in a line is part of the
// value. Lines end in CR LF, LF or a lone CR; a line without '=' is no key.
//
// What the bytes mean is decided as for a register file: a UTF-8 byte-order
// mark at the start makes the file UTF-8 (the mark is dropped); without one,
// a file that is well-formed UTF-8 and holds a character beyond ASCII is
// UTF-8 (as Linux editors and printf write it), and any other file is
// Windows-1252 (as the booking system writes it). A file is read whole, so
// the whole file decides, not its first block. In a file with the mark, a
// value that is not UTF-8 all the same is read as Windows-1252 rather than
// lost. Section and key names match in either encoding, and a limit counts
// characters, not bytes, so that one text reads the same in both.
//
// The value is returned in UTF-8.
//
// Only a regular file of at most 1 MB is read, and not one in UTF-16 or
// UTF-32 (told by its byte-order mark or by NUL bytes among its first
// bytes): any other file counts as missing, and the process's teller of
// unread settings files hears why (common/unread_settings.h). A FIFO is
// passed over at once, not waited for.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>

#include "common/result.h"

namespace vexla {

// The largest settings file read.
constexpr std::size_t kMaxIniBytes = 1 << 20;

// An ini file read whole, once, for any number of values.
class IniFile {
public:
    // Reads the file at `path`. A missing file, and one passed over (see
    // above), read as a file without sections. A file that is there and
    // cannot be read (no permission, an I/O error) is an Error with number
    // 75 ("Path/File access error").
    static Result<IniFile> read(const std::string& path);
    // The value of `key` in `section`, as readIniString words it.
    std::string value(const std::string& section, const std::string& key, int bufferSize) const;

private:
    void buildIndex();

    std::string bytes_;
    std::size_t start_ = 0;  // past a byte-order mark
    bool utf8_ = false;
    // Folded section and key -> where the raw value lies in bytes_ (offset,
    // length): offsets, since a moved string may move its characters.
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> index_;
};

// The value of `key` in `section` of the ini file at `path`, as read into a
// buffer of `bufferSize` characters: at most bufferSize - 1 characters of
// the file, quotes already removed.
// A missing file, section or key, an unreadable file and a bufferSize below
// 2 all give "". Never fails. The file is read afresh on every call.
std::string readIniString(const std::string& path, const std::string& section, const std::string& key, int bufferSize);

// As readIniString, but a file that exists and cannot be read (no
// permission, an I/O error) is an Error with number 75
// ("Path/File access error") instead of an empty value. A missing file,
// section or key (or a file passed over) still gives "".
Result<std::string> readIniValue(const std::string& path, const std::string& section, const std::string& key,
                                 int bufferSize);

}  // namespace vexla
