#include "registers/field_mapping.h"

#include "common/platform.h"
#include "registers/field_catalogue.h"
#include "registers/register_file_reader.h"

namespace vexla {

Result<std::vector<DatabaseField>> databaseFields(db::Database& database, const RegisterKind& reg,
                                                  std::string_view Språk) {
    auto rs = database.OpenRecordset("SELECT * FROM " + std::string(reg.table));
    if (!rs) return rs.error();
    std::vector<DatabaseField> fields;
    for (int i = 0; i < (*rs)->FieldCount(); ++i)
        fields.push_back({KolumnTillRubrik((*rs)->name(i), Språk), typeCodeOfField((*rs)->type(i))});
    (*rs)->Close();
    return fields;
}

std::optional<std::vector<std::string>> registerFileFields(const std::string& path, MessageBoxes& messages,
                                                           TextSource& texts) {
    auto reader = RegisterFileReader::open(path);
    if (!reader) {
        messages.show(reader.error().description, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return std::nullopt;
    }
    std::string header;
    auto read = (*reader)->readLine(header);
    const char* refusal = nullptr;
    if (!read || !*read || header.empty())
        refusal = "R1800";
    else if (fieldCount(header) == 1)
        refusal = "R1798";
    if (refusal) {
        messages.beep();
        messages.show(texts.TextTillAndra(refusal) + "!", kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return std::nullopt;
    }
    return headerFieldsForLinking(header);
}

std::vector<std::pair<int, int>> autoLinkPairs(const std::vector<std::string>& captions,
                                               const std::vector<std::string>& fileFields) {
    std::vector<std::pair<int, int>> pairs;
    for (std::size_t file = 0; file < fileFields.size(); ++file) {
        for (std::size_t field = 0; field < captions.size(); ++field) {
            if (captions[field] == fileFields[file]) {
                pairs.emplace_back(static_cast<int>(field), static_cast<int>(file));
                break;
            }
        }
    }
    return pairs;
}

}  // namespace vexla
