#include "registers/import_confirmation.h"
#include "texts/text_codes.h"

#include <memory>

#include "common/file_writing.h"
#include "registers/import_texts.h"
#include "registers/register_file_reader.h"
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
           texts.TextTillAndra(txt::LinesContinueQuestion) + "?";
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
    auto opened = RegisterFileReader::open(path);
    if (!opened) return opened.error();
    std::string line;
    long records = 0;
    for (bool header = true;; header = false) {
        auto got = (*opened)->readLine(line);
        if (!got) return got.error();
        if (!*got) return records;
        if (!header && !line.empty()) ++records;
    }
}

Result<DeleteFirstCounts> deleteFirstCounts(JobContext& ctx, const RegisterKind& reg, const std::string& path) {
    auto db = ctx.main.engine().OpenDatabase(ctx.main.state().DataBas, true);
    if (!db) return db.error();
    auto inRegister = recordsDeletedFirst(**db, reg);
    ctx.close(**db);
    if (!inRegister) return inRegister.error();
    ctx.platform.pointer.setBusy(true);
    auto lines = registerFileRecords(path);
    ctx.platform.pointer.setBusy(false);
    if (!lines) return lines.error();
    return DeleteFirstCounts{*inRegister, *lines};
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
