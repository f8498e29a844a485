#include "registers/import_confirmation.h"
#include "texts/text_codes.h"

#include "common/file_writing.h"
#include "registers/import_plan.h"
#include "registers/import_texts.h"
#include "session/job_context.h"

namespace vexla {

std::string groupedCount(long n, TextSource& texts) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    const std::string separator = texts.TextTillAndra(txt::ThousandsSeparator);
    std::string s = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) s += separator;
        s += digits[i];
    }
    return s;
}

std::string deleteFirstQuestion(const std::string& registerName, long inRegister, long fileLines, TextSource& texts) {
    const char* noun = registerName == "Kund"       ? txt::CustomersWord
                       : registerName == "Resurser" ? txt::ResourcesWord
                                                    : txt::BookingsWord;
    return texts.TextTillAndra(txt::AllWord) + " " + groupedCount(inRegister, texts) + " " + texts.TextTillAndra(noun) +
           " " + texts.TextTillAndra(txt::WillBeReplacedByFiles) + " " + groupedCount(fileLines, texts) + " " +
           texts.TextTillAndra(registerName == "Kund" ? txt::LinesInternalCustomersStayQuestion
                                                      : txt::LinesContinueQuestion) +
           "?";
}

Result<long> recordsDeletedFirst(db::Database& database, const RegisterKind& reg) {
    auto all = database.TableRecordCount(reg.table);
    if (!all) return all.error();
    // The spared are few: counted one by one, where the removed may be millions.
    const std::string_view statement = reg.deleteStatement;
    const std::size_t where = statement.find(" WHERE ");
    if (where == std::string_view::npos) return *all;
    auto spared = database.OpenRecordset("SELECT ID FROM " + std::string(reg.table) + " WHERE NOT (" +
                                         std::string(statement.substr(where + 7)) + ")");
    if (!spared) return spared.error();
    long n = 0;
    for (Status moved;; moved = (*spared)->MoveNext()) {
        if (!moved) return moved.error();
        if ((*spared)->Eof()) break;
        ++n;
    }
    (*spared)->Close();
    return *all - n;
}

Result<long> registerFileRecords(const std::string& path) {
    auto scan = scanRegisterFile(path);
    if (!scan) return scan.error();
    return scan->records;
}

std::string uncountedText(const Error& e, TextSource& texts) {
    return texts.TextTillAndra(txt::RecordsNotCounted) + "!\r\n" + numberAndDescription(describedFileError(e, texts));
}

std::string importResultLine(const ImportOutcome& outcome, TextSource& texts) {
    std::string s = importInfoLine(outcome, texts);
    if (outcome.deletedFirst)
        s += " " + std::to_string(outcome.deleted) + " " + texts.TextTillAndra(txt::RecordsDeletedFirst) + ".";
    return s;
}

}  // namespace vexla
