// The links of a scripted import: made automatically as the mapping
// dialog's Auto button makes them, or read from a mapping file.
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "common/result.h"
#include "registers/link_table.h"

namespace vexla::transfer {

// The link table of the automatic linking (autoLinkPairs) of the file
// fields to the database fields with these captions.
LinkTable autoLinks(const std::vector<std::string>& captions, const std::vector<std::string>& fileFields);
// The same from pairs the automatic linking has made already.
LinkTable autoLinks(const std::vector<std::pair<int, int>>& pairs, const std::vector<std::string>& captions,
                    const std::vector<std::string>& fileFields);

// The lines of a mapping file, empty ones left out. The file is read as
// UTF-8 when it is well-formed UTF-8 of characters Windows-1252 holds (as
// every caption is; a byte-order mark is dropped), otherwise as
// Windows-1252 like a register file; a line ends at LF, CR LF or CR. A file
// that cannot be read is its Error (53 for a missing file, ...); one that
// is no regular file is refused unread (common/input_file.h).
Result<std::vector<std::string>> readMappingLines(const std::string& path);

// One link per mapping line "file field;database field caption", in the
// file's order: the first file field and the first database field of those
// texts, compared exactly as the automatic linking compares. Answers the
// links, or the first line that does not hold exactly one ";" between a
// file field and a database field that exist.
std::variant<LinkTable, std::string> mappedLinks(const std::vector<std::string>& lines,
                                                 const std::vector<std::string>& captions,
                                                 const std::vector<std::string>& fileFields);

}  // namespace vexla::transfer
