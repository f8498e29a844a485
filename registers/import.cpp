#include "registers/import.h"

#include <memory>
#include <optional>
#include <string_view>

#include "common/platform.h"
#include "db/errors.h"
#include "registers/register_file_reader.h"
#include "registers/register_kind.h"

namespace vexla {

namespace {

// Failures the program raises itself carry its own name as their source.
Error ownError(long number, const char* description) { return Error{number, description, kProgramTitle}; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool hasQuote(std::string_view v) { return v.find_first_of("\"'") != std::string_view::npos; }

void appendWithoutQuotes(std::string& out, std::string_view v) {
    for (char c : v)
        if (c != '"' && c != '\'') out += c;
}

// One link as the lines need it.
struct Slot {
    std::optional<long> filePos, fieldPos;
    std::string column;  // for the message about a refused value
};

class Import {
public:
    Import(const LinkTable& links, ImportDialog& dialog, ImportServices& services)
        : links_(links), dialog_(dialog), s_(services), register_(registerByName(dialog.Tag)) {}

    std::int32_t run();

private:
    // Reports a failure; answers the import's result, or nothing when it goes on.
    std::optional<std::int32_t> report(const Error& e, const std::string& where = {});
    std::optional<std::int32_t> insertLine();
    Status begin();
    Status commit();
    Status tick();
    std::string location(const std::string& column = {});
    std::string text(const char* code) { return s_.texts.TextTillAndra(code); }

    const LinkTable& links_;
    ImportDialog& dialog_;
    ImportServices& s_;
    const RegisterKind* register_;
    std::unique_ptr<RegisterFileReader> reader_;
    std::unique_ptr<db::PreparedStatement> insert_;
    std::vector<Slot> slots_;
    std::string line_, scratch_;
    std::vector<std::string_view> values_;
    bool quoted_ = false;                 // a spreadsheet quoted the file's fields
    std::vector<std::string> unquoted_;   // the fields of a quoted line, values_ views them
    std::vector<bool> stripped_;  // file fields whose quotes a text link removes
    std::int32_t count_ = 0;
    bool inTrans_ = false;
    SteadyTime batchStart_{}, lastProgress_{};
};

std::string Import::location(const std::string& column) {
    std::string where = text("R9040") + " " + std::to_string(reader_->lineNumber());
    if (!column.empty()) where += ", " + text("R9041") + " " + column;
    return where;
}

Status Import::begin() {
    if (inTrans_) return {};
    if (auto st = s_.db.BeginTrans(); !st) return st;
    inTrans_ = true;
    batchStart_ = s_.now();
    return {};
}

Status Import::commit() {
    if (!inTrans_) return {};
    inTrans_ = false;
    Status st = s_.db.CommitTrans();
    if (!st) (void)s_.db.Rollback();
    return st;
}

Status Import::tick() {
    const SteadyTime t = s_.now();
    if (inTrans_ && t - batchStart_ >= kImportBatch)
        if (auto st = commit(); !st) return st;
    if (s_.progress && t - lastProgress_ >= kImportBatch) {
        s_.progress(count_);
        lastProgress_ = t;
    }
    return {};
}

std::optional<std::int32_t> Import::report(const Error& e, const std::string& where) {
    // What the box shows must already be in the file while the box waits.
    if (auto st = commit(); !st && e.number == db::err::DuplicateKey) return report(st.error());
    s_.messages.beep();
    if (e.number == db::err::DuplicateKey) {
        std::string joined;
        for (std::size_t i = 0; i < values_.size(); ++i) {
            if (i) joined += ", ";
            if (stripped_[i]) appendWithoutQuotes(joined, values_[i]);
            else joined += values_[i];
        }
        s_.messages.show(text("R1818") + "!\r\n" + std::string(trimBlanks(joined)) + "\r\n\r\n" + text("R1819"),
                         kProgramTitle, MsgIcon::Exclamation, MsgButtons::Ok);
        return std::nullopt;
    }
    if (e.number == db::err::RequiredValue) {
        s_.messages.show(text("R1817"), kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return 0;
    }
    std::string message = std::to_string(e.number) + "\r\n" + e.description + "\r\n" + e.source;
    if (!where.empty()) message += "\r\n" + where;
    s_.messages.show(message, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
    return 0;
}

// Inserts the line split into values_; answers the import's result when
// the line ends it.
std::optional<std::int32_t> Import::insertLine() {
    if (auto st = begin(); !st) return report(st.error(), location());
    if (dialog_.chkTaBort) {
        if (register_) {
            if (auto st = s_.db.Execute(register_->deleteStatement, db::dao::FailOnError); !st)
                return report(st.error(), location());
        }
        dialog_.chkTaBort = false;
    }
    if (!insert_) {
        std::string sql = importInsertHead(register_ ? register_->insertHead : "", dialog_.Tag, links_, s_.Språk);
        for (std::size_t i = 0; i < links_.size(); ++i) sql += i ? ", ?" : "?";
        auto prepared = s_.db.Prepare(sql + ")");
        if (!prepared) return report(prepared.error(), location());
        insert_ = std::move(*prepared);
    }
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        if (!slot.filePos || *slot.filePos < 0 || *slot.filePos >= static_cast<long>(values_.size()))
            return report(ownError(9, "Subscript out of range"), location());
        if (!slot.fieldPos || *slot.fieldPos < 0 ||
            *slot.fieldPos >= static_cast<long>(dialog_.lstFältTypes.size()))
            return report(ownError(381, "Invalid property array index"), location());
        const std::string_view v = values_[static_cast<std::size_t>(*slot.filePos)];
        const int slotNo = static_cast<int>(i);
        Status bound;
        switch (dialog_.lstFältTypes[static_cast<std::size_t>(*slot.fieldPos)]) {
            case typecode::Text:
                if (!hasQuote(v)) {
                    bound = insert_->BindText(slotNo, v);
                } else {
                    scratch_.clear();
                    appendWithoutQuotes(scratch_, v);
                    bound = insert_->BindText(slotNo, scratch_);
                }
                break;
            case typecode::Date: bound = insert_->BindDate(slotNo, v.empty() ? "00:00:00" : v); break;
            default: {
                // Written into a statement, blanks around a plain value would not count.
                const std::string_view bare = trimBlanks(v);
                bound = insert_->BindBare(slotNo, v.empty() ? "0" : bare);
            }
        }
        if (!bound) {
            Error e = bound.error();
            e.source = db::source::Database;
            return report(e, location(slot.column));
        }
    }
    if (auto st = insert_->Execute(); !st) {
        Error e = st.error();
        e.source = db::source::Database;  // the statement runs on the database, as Execute would
        return report(e, location());
    }
    ++count_;
    return std::nullopt;
}

std::int32_t Import::run() {
    dialog_.focusCmdMall = false;
    auto opened = RegisterFileReader::open(std::string(trimBlanks(dialog_.lblMallNamn)));
    if (!opened) return *report(opened.error());
    reader_ = std::move(*opened);
    auto header = reader_->readLine(line_);
    if (!header) return *report(header.error());
    if (!*header) return *report(ownError(62, "Input past end of file"));
    quoted_ = spreadsheetQuoted(line_);
    if (quoted_) splitQuotedLine(line_, unquoted_);
    const std::size_t H = quoted_ ? unquoted_.size() : fieldCount(line_);

    stripped_.assign(H, false);
    for (const LinkRow& link : links_) {
        Slot slot{linkPosition(link.fileFieldPosition), linkPosition(link.fieldPosition), linkColumn(link, s_.Språk)};
        if (slot.filePos && slot.fieldPos && *slot.filePos >= 0 && *slot.filePos < static_cast<long>(H) &&
            *slot.fieldPos >= 0 && *slot.fieldPos < static_cast<long>(dialog_.lstFältTypes.size()) &&
            dialog_.lstFältTypes[static_cast<std::size_t>(*slot.fieldPos)] == typecode::Text)
            stripped_[static_cast<std::size_t>(*slot.filePos)] = true;
        slots_.push_back(std::move(slot));
    }
    lastProgress_ = s_.now();

    for (;;) {
        auto got = reader_->readLine(line_);
        if (!got) return *report(got.error());
        if (!*got) break;
        if (auto st = tick(); !st) return *report(st.error());
        if (line_.empty()) continue;
        if (line_.find('\x1B') != std::string::npos) {
            scratch_.clear();
            for (char c : line_) scratch_ += c == '\x1B' ? std::string_view("\r\n") : std::string_view(&c, 1);
            line_.swap(scratch_);
        }
        values_.clear();
        if (quoted_) {
            splitQuotedLine(line_, unquoted_);
            values_.assign(unquoted_.begin(), unquoted_.end());
        } else {
            for (std::string_view rest = line_;;) {
                const std::size_t semi = rest.find(';');
                values_.push_back(rest.substr(0, semi));
                if (semi == std::string_view::npos) break;
                rest.remove_prefix(semi + 1);
            }
        }
        if (values_.size() == 1) {
            if (auto st = commit(); !st) return *report(st.error());
            s_.messages.beep();
            s_.messages.show(text("R1799") + "!", kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
            dialog_.lblMallNamn.clear();
            dialog_.focusCmdMall = true;
            return count_;
        }
        if (values_.size() != H) continue;
        if (auto ended = insertLine()) return *ended;
    }
    if (auto st = commit(); !st) return *report(st.error());
    return count_;
}

}  // namespace

std::int32_t ImporteraRegister(const LinkTable& links, ImportDialog& dialog, ImportServices& services) {
    return Import(links, dialog, services).run();
}

std::string importProgressText(TextSource& texts, std::int32_t count) {
    return " " + std::to_string(count) + " " + texts.TextTillAndra("R9042");
}

bool importOnOk(const LinkTable& links, ImportDialog& dialog, ImportServices& services, AdminWindow& main) {
    if (links.empty()) {
        services.messages.beep();
        services.messages.show(services.texts.TextTillAndra("R1806") + "!", kProgramTitle, MsgIcon::Critical,
                               MsgButtons::Ok);
        return false;
    }
    if (!services.progress)
        services.progress = [&](std::int32_t n) { main.setInfo(importProgressText(services.texts, n)); };
    const std::int32_t n = ImporteraRegister(links, dialog, services);
    main.setInfo(" " + std::to_string(n) + " " + services.texts.TextTillAndra("R1805") + "!");
    return n != 0;
}

}  // namespace vexla
