#include "registers/import_line.h"

#include "common/text.h"
#include "registers/import.h"
#include "registers/link_table.h"
#include "registers/register_file_reader.h"

namespace vexla {

LineSplit splitImportLine(const std::string& line, bool quoted, LineBuffers& buffers,
                          std::vector<std::string_view>& values) {
    std::string_view text = line;
    if (std::size_t esc = line.find('\x1B'); esc != std::string::npos) {
        std::string& expanded = buffers.expanded;
        expanded.clear();
        for (std::size_t from = 0;; from = esc + 1, esc = line.find('\x1B', from)) {
            expanded.append(line, from, esc - from);  // to the end when there is no further ESC
            if (esc == std::string::npos) break;
            expanded += "\r\n";
        }
        text = expanded;
    }
    if (text.find('\0') != std::string_view::npos) return LineSplit::NulCharacter;
    values.clear();
    if (quoted) {
        if (fieldCount(text) > kMaxFields) return LineSplit::TooManyFields;
        splitQuotedLine(text, buffers.unquoted);
        values.assign(buffers.unquoted.begin(), buffers.unquoted.end());
        return LineSplit::Ok;
    }
    // Counted while split: a line is read once, and stops at the first field too many.
    for (;;) {
        if (values.size() == kMaxFields) return LineSplit::TooManyFields;
        const std::size_t semi = text.find(';');
        values.push_back(text.substr(0, semi));
        if (semi == std::string_view::npos) return LineSplit::Ok;
        text.remove_prefix(semi + 1);
    }
}

Status bindImportValue(db::PreparedStatement& insert, int slot, int type, std::string_view value) {
    switch (type) {
        case typecode::Text: return insert.BindText(slot, value);
        case typecode::Date: return insert.BindDate(slot, value.empty() ? "00:00:00" : value);
        default: return insert.BindBare(slot, value.empty() ? "0" : trimBlanks(value));
    }
}

}  // namespace vexla
