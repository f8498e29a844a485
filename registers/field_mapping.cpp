#include "registers/field_mapping.h"

#include "common/file_writing.h"
#include "common/platform.h"
#include "registers/field_catalogue.h"
#include "registers/import.h"
#include "registers/import_texts.h"
#include "registers/register_file_reader.h"
#include "texts/text_codes.h"

namespace vexla {

Result<std::vector<DatabaseField>> databaseFields(db::Database& database, const RegisterKind& reg,
                                                  std::string_view Språk) {
    auto rs = database.OpenRecordset("SELECT * FROM " + std::string(reg.table));
    if (!rs) return rs.error();
    std::vector<DatabaseField> fields;
    for (int i = 0; i < (*rs)->FieldCount(); ++i)
        fields.push_back({KolumnTillRubrik((*rs)->name(i), Språk), typeCodeOfField((*rs)->type(i)), (*rs)->name(i)});
    (*rs)->Close();
    return fields;
}

std::optional<std::vector<std::string>> registerFileFields(const std::string& path, MessageBoxes& messages,
                                                           TextSource& texts, Error* why) {
    std::string header;
    auto reader = RegisterFileReader::open(path);
    auto read = reader ? (*reader)->readLine(header) : Result<bool>(reader.error());
    const long refused = read ? 0 : read.error().number;  // the reader's own refusal of the header
    const bool byReader = refused == readerr::LineTooLong || refused == readerr::NotUtf8 ||
                          refused == readerr::NulCharacter || refused == readerr::UnclosedQuote ||
                          refused == readerr::OtherEncoding;
    if (!read && !byReader) {
        const Error& e = read.error();
        const bool notRegular = e.number == readerr::NotRegularFile;
        if (why) *why = e;
        if (why && notRegular) why->number = txt::number(notRegularCode(e));
        messages.show(notRegular ? notRegularText(e, texts) + ": " + path
                                 : texts.TextTillAndra(txt::FileCouldNotBeRead) + ": " + path + "\r\n" +
                                       std::to_string(e.number) + " " + describedFileError(e, texts).description,
                      kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return std::nullopt;
    }
    const char* refusal = nullptr;
    const char* sentence = nullptr;  // the code of a refusal in a sentence of its own
    std::string because;
    if (refused == readerr::NotUtf8)
        because = texts.TextTillAndra(sentence = txt::LineNotUtf8) + ".";
    else if (refused == readerr::NulCharacter)
        because = texts.TextTillAndra(sentence = txt::LineHoldsNul) + ".";
    else if (refused == readerr::UnclosedQuote)
        because =
            texts.TextTillAndra(sentence = txt::QuoteNeverClosed) + " " + std::to_string((*reader)->lineNumber()) + ".";
    else if (refused == readerr::OtherEncoding)
        because = texts.TextTillAndra(sentence = txt::FileInEncoding) + " " + read.error().subject + ". " +
                  texts.TextTillAndra(txt::SaveAsUtf8OrWindows1252) + ".";
    else if (!read)
        refusal = txt::LineLongerThan1MB;
    else if (!*read || header.empty())
        refusal = txt::FileHasNoHeaderLine;
    else if (const char separator = foreignSeparator(header))
        because = foreignSeparatorText(separator, texts) + ".";
    else if (fieldCount(header) == 1)
        refusal = txt::ChooseRegisterFileToImport;
    else if (fieldCount(header) > kMaxFields)
        refusal = txt::LineWithOver1000Fields;
    if (refusal) because = texts.TextTillAndra(sentence = refusal) + "!";
    if (!because.empty()) {
        // A separator of another kind has no code of its own: no number.
        if (why) {
            *why = Error{sentence ? txt::number(sentence) : 0, because};
            why->worded = true;
        }
        messages.beep();
        messages.show(because, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return std::nullopt;
    }
    return headerFieldsForLinking(header);
}

std::vector<std::pair<int, int>> autoLinkPairs(const std::vector<std::string>& captions,
                                               const std::vector<std::string>& fileFields) {
    // A header that is the register's own layout (the export wrote it) puts
    // every column at its own place, a column the catalogue does not know
    // under an empty caption: that caption can only mean the column at its
    // position, so its values come back instead of being refused.
    const bool ownLayout = fileFields == captions;
    std::vector<std::pair<int, int>> pairs;
    for (std::size_t file = 0; file < fileFields.size(); ++file) {
        if (fileFields[file].empty()) {
            if (ownLayout) pairs.emplace_back(static_cast<int>(file), static_cast<int>(file));
            continue;
        }
        for (std::size_t field = 0; field < captions.size(); ++field) {
            if (captions[field] == fileFields[file]) {
                pairs.emplace_back(static_cast<int>(field), static_cast<int>(file));
                break;
            }
        }
    }
    return pairs;
}

std::vector<std::string> unlinkedFileFields(const std::vector<std::pair<int, int>>& pairs,
                                            const std::vector<std::string>& fileFields, TextSource& texts) {
    std::vector<bool> linked(fileFields.size(), false);
    for (const auto& [field, file] : pairs)
        if (file >= 0 && static_cast<std::size_t>(file) < linked.size()) linked[static_cast<std::size_t>(file)] = true;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < fileFields.size(); ++i)
        if (!linked[i])
            names.push_back(fileFields[i].empty() ? texts.TextTillAndra(txt::ColumnWord) + " " + std::to_string(i + 1)
                                                  : fileFields[i]);
    return names;
}

std::string unlinkedFieldsText(const std::vector<std::string>& names, TextSource& texts) {
    if (names.empty()) return {};
    std::string s = texts.TextTillAndra(txt::FieldsNotAutoLinked) + ": ";
    for (std::size_t i = 0; i < names.size(); ++i) s += (i ? ", " : "") + names[i];
    return s;
}

}  // namespace vexla
