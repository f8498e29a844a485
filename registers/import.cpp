#include "registers/import.h"

#include <chrono>

#include <memory>
#include <optional>

#include "common/text.h"
#include "db/errors.h"
#include "db/swedish_collation.h"
#include "registers/field_catalogue.h"
#include "registers/import_line.h"
#include "registers/register_file_reader.h"
#include "registers/register_kind.h"
#include "texts/text_codes.h"

namespace vexla {

void LineList::add(long line) {
    ++count;
    if (first.size() < kListedLines) first.push_back(line);
}

namespace {

// Whether `name` is among the columns the links fill, compared as the engine compares names.
bool filled(const std::vector<std::string>& columns, std::string_view name) {
    for (const std::string& c : columns)
        if (db::equalSwedish(c, name)) return true;
    return false;
}

// One link as the lines need it: where its value comes from and goes.
struct Slot {
    std::size_t filePos = 0;
    int type = typecode::Other;
    std::string caption;       // for the message about a refused value
    std::string column;        // the register's column
    bool emptyIsNull = false;  // an empty field stores no value (a spreadsheet file's empty cell)
};

class Import {
public:
    Import(const LinkTable& links, const ImportRequest& request, ImportServices& services)
        : links_(links), r_(request), s_(services), register_(registerByName(request.registerName)) {}

    ImportOutcome run();

private:
    // Each step answers false once the import has stopped; out_ says why.
    bool openFile();
    bool checkLinks();
    bool checkUncaptionedValues(const std::vector<std::string>& linked);
    bool prepare();
    bool readLines();
    bool emptyRegister();
    bool rebuildIndexes();
    bool storeLine();
    bool splitLine();
    bool stop(ImportStop why, Error error = {}, std::string column = {});
    bool stopOnFile(const Error& e);
    bool refuseValue(const Slot& slot, std::string_view value, const Error& e);
    void skip(SkipReason why, LineList& list);
    void report();
    ImportOutcome failedCommit(const Error& e);

    const LinkTable& links_;
    const ImportRequest& r_;
    ImportServices& s_;
    const RegisterKind* register_;
    ImportOutcome out_;
    std::unique_ptr<RegisterFileReader> reader_;
    std::unique_ptr<db::PreparedStatement> insert_;
    std::vector<Slot> slots_;
    std::size_t headerFields_ = 0;
    bool quoted_ = false;  // a spreadsheet quoted the file's fields
    std::string line_;     // the line as read
    LineBuffers buffers_;
    std::vector<std::string_view> values_;  // views line_ or buffers_
    std::vector<std::string> unquoted_;     // the header's fields when quoted
    bool inTransaction_ = false, deleteDone_ = false;
    long countBefore_ = 0;               // the register's records before the transaction
    std::vector<std::string> setAside_;  // the statements of the indexes dropped for the load
    SteadyTime lastProgress_{};
};

// A failure of the INSERT is the database's, as a statement run on it would report it.
Error fromDatabase(Error e) {
    e.source = db::source::Database;
    return e;
}

bool Import::stop(ImportStop why, Error error, std::string column) {
    out_.stop = why;
    out_.error = std::move(error);
    out_.column = std::move(column);
    out_.line = reader_ ? reader_->lineNumber() : 0;
    return false;
}

bool Import::stopOnFile(const Error& e) {
    if (e.number == readerr::LineTooLong) return stop(ImportStop::LineTooLong, e);
    if (e.number == readerr::NotRegularFile) return stop(ImportStop::NotRegularFile, e);
    if (e.number == readerr::NotUtf8) return stop(ImportStop::NotUtf8, e);
    if (e.number == readerr::NulCharacter) return stop(ImportStop::NulCharacter, e);
    if (e.number == readerr::UnclosedQuote) return stop(ImportStop::UnclosedQuote, e);
    if (e.number == readerr::OtherEncoding) {
        out_.value = e.subject;
        return stop(ImportStop::OtherEncoding, e);
    }
    return stop(ImportStop::FileUnreadable, e);
}

// What the column of a refused value takes: read from the register's own
// column type, since a number and a yes/no column share one type code.
// Only a stopping import comes here, so the look costs nothing per line.
bool Import::refuseValue(const Slot& slot, std::string_view value, const Error& e) {
    out_.value.assign(value);
    switch (slot.type) {
        case typecode::Text:
            if (e.number == db::err::FieldTooSmall) out_.expected = Expected::ShorterText;
            break;
        case typecode::Date: out_.expected = Expected::Date; break;
        default: {
            out_.expected = Expected::Number;
            auto all = s_.db.OpenRecordset("SELECT * FROM " + std::string(register_->table));
            if (!all) break;
            for (int i = 0; i < (*all)->FieldCount(); ++i)
                if (db::equalSwedish((*all)->name(i), slot.column) && (*all)->type(i) == db::dao::Boolean)
                    out_.expected = Expected::YesNo;
            (*all)->Close();
        }
    }
    return stop(ImportStop::Refused, fromDatabase(e), slot.caption);
}

bool Import::openFile() {
    auto opened = RegisterFileReader::open(std::string(trimBlanks(r_.path)));
    if (!opened) return stopOnFile(opened.error());
    reader_ = std::move(*opened);
    auto header = reader_->readLine(line_);
    if (!header) return stopOnFile(header.error());
    if (!*header || line_.empty()) return stop(ImportStop::NoHeader);
    out_.separator = foreignSeparator(line_);
    if (out_.separator) return stop(ImportStop::WrongSeparator);
    const std::size_t separated = fieldCount(line_);
    if (separated > kMaxFields) return stop(ImportStop::TooManyFields);
    quoted_ = reader_->quoted();
    if (quoted_) splitQuotedLine(line_, unquoted_);
    headerFields_ = quoted_ ? unquoted_.size() : separated;
    return true;
}

bool Import::checkLinks() {
    if (!register_) return stop(ImportStop::Refused, Error{5, "Invalid procedure call or argument", "Vexla Admin"});
    std::vector<std::string> columns;
    for (const LinkRow& link : links_) {
        const auto filePos = linkPosition(link.fileFieldPosition);
        const auto fieldPos = linkPosition(link.fieldPosition);
        if (!filePos || !fieldPos || *filePos < 0 || *filePos >= static_cast<long>(headerFields_) || *fieldPos < 0 ||
            *fieldPos >= static_cast<long>(r_.fieldTypes.size()))
            return stop(ImportStop::LinkOutOfRange, {}, link.fileFieldName + " / " + link.caption);
        std::string column = importColumnName(link, r_.registerName, s_.Språk);
        if (column.empty()) return stop(ImportStop::LinkNoColumn, {}, link.fileFieldName);
        if (filled(columns, column)) return stop(ImportStop::LinkTwice, {}, link.caption);
        columns.push_back(column);
        slots_.push_back({static_cast<std::size_t>(*filePos), r_.fieldTypes[static_cast<std::size_t>(*fieldPos)],
                          link.caption, std::move(column)});
    }
    auto required = s_.db.RequiredColumns(register_->table);
    if (!required) return stop(ImportStop::Refused, required.error());
    // An empty cell of a spreadsheet file is no value, as the export writes
    // no value; in a column that needs one it reads as in a register file.
    for (Slot& slot : slots_) slot.emptyIsNull = quoted_ && !filled(*required, slot.column);
    for (const std::string& name : *required) {
        if (!filled(columns, name)) {
            const std::string caption = KolumnTillRubrik(name, s_.Språk);
            return stop(ImportStop::RequiredUnlinked, {}, caption.empty() ? name : caption);
        }
    }
    if (r_.deleteFirst && !filled(columns, "ID")) {
        for (std::string_view table : register_->referredBy) {
            if (table.empty()) continue;
            // A table the file does not have refers to nothing.
            auto records = s_.db.TableRecordCount(table);
            if (records && *records > 0) return stop(ImportStop::KeyUnlinked, {}, std::string(table));
        }
    }
    return !r_.deleteFirst || checkUncaptionedValues(columns);
}

// A column the field catalogue has no caption for is filled only by a link
// the export's own header made (by its place); any other file leaves it
// out. The delete of "delete first" would then take its values without the
// file bringing them back: refused while such a column, not among the
// `linked` ones, holds a value in a record the delete removes. (A captioned
// column the user left unlinked is the user's choice.)
bool Import::checkUncaptionedValues(const std::vector<std::string>& linked) {
    auto all = s_.db.OpenRecordset("SELECT * FROM " + std::string(register_->table));
    if (!all) return stop(ImportStop::Refused, all.error());
    std::vector<std::string> names;
    for (int i = 0; i < (*all)->FieldCount(); ++i) names.push_back((*all)->name(i));
    (*all)->Close();
    // What the delete removes: its statement's own table and condition.
    const std::string_view removed =
        std::string_view(register_->deleteStatement).substr(std::string_view("DELETE").size());
    for (const std::string& name : names) {
        if (!KolumnTillRubrik(name, s_.Språk).empty() || filled(linked, name)) continue;
        auto rs = s_.db.OpenRecordset("SELECT [" + name + "]" + std::string(removed));
        if (!rs) return stop(ImportStop::Refused, rs.error());
        for (Status moved;; moved = (*rs)->MoveNext()) {
            if (!moved) return stop(ImportStop::Refused, moved.error());
            if ((*rs)->Eof()) break;
            if ((*rs)->raw(0).kind != db::RawValue::Kind::Null) {
                (*rs)->Close();
                return stop(ImportStop::UncaptionedLost, {}, name);
            }
        }
        (*rs)->Close();
    }
    return true;
}

bool Import::prepare() {
    std::string sql = importInsertHead(register_->insertHead, r_.registerName, links_, s_.Språk);
    for (std::size_t i = 0; i < links_.size(); ++i) sql += i ? ", ?" : "?";
    auto prepared = s_.db.Prepare(sql + ")");
    if (!prepared) return stop(ImportStop::Refused, prepared.error());
    insert_ = std::move(*prepared);
    auto count = s_.db.TableRecordCount(register_->table);
    if (!count) return stop(ImportStop::Refused, count.error());
    countBefore_ = *count;
    if (auto st = s_.db.BeginTrans(); !st) return stop(ImportStop::Refused, st.error());
    inTransaction_ = true;
    return true;
}

void Import::report() {
    if (!s_.progress) return;
    const SteadyTime t = s_.now();
    if (t - lastProgress_ < kImportProgressInterval) return;
    lastProgress_ = t;
    s_.progress({out_.inserted, reader_->bytesRead(), reader_->size()});
}

void Import::skip(SkipReason why, LineList& list) {
    list.add(reader_->lineNumber());
    if (s_.skipped) s_.skipped(reader_->lineNumber(), why, line_);
}

// Splits line_ into values_. False when the line cannot be a record.
bool Import::splitLine() {
    switch (splitImportLine(line_, quoted_, buffers_, values_)) {
        case LineSplit::Ok: return true;
        case LineSplit::NulCharacter: return stop(ImportStop::NulCharacter);
        case LineSplit::TooManyFields: return stop(ImportStop::TooManyFields);
    }
    return true;
}

// Empties the register before its first line is stored, and sets aside
// the indexes that only speed up reading: the register is filled from
// nothing, and each index is then built once over all its rows
// (rebuildIndexes) instead of kept in step line by line.
bool Import::emptyRegister() {
    if (auto st = s_.db.Execute(register_->deleteStatement, db::dao::FailOnError); !st)
        return stop(ImportStop::Refused, st.error());
    out_.deleted = s_.db.RecordsAffected();
    deleteDone_ = true;
    auto dropped = s_.db.DropReadingIndexes(register_->table);
    if (!dropped) return stop(ImportStop::Refused, dropped.error());
    setAside_ = std::move(*dropped);
    return true;
}

// Builds the indexes emptyRegister set aside, a stop asked for meanwhile
// taken inside the engine's statement. A dry run, rolled back anyway, has
// nothing to build: the indexes come back with the rollback.
bool Import::rebuildIndexes() {
    if (setAside_.empty() || r_.dryRun) return true;
    if (s_.cancelled) s_.db.InterruptWhen(s_.cancelled);
    Status built = s_.db.CreateIndexes(setAside_);
    if (s_.cancelled) s_.db.InterruptWhen({});
    if (built) return true;
    if (s_.cancelled && s_.cancelled()) return stop(ImportStop::Cancelled);
    return stop(ImportStop::Refused, built.error());
}

bool Import::storeLine() {
    if (r_.deleteFirst && !deleteDone_ && !emptyRegister()) return false;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        const std::string_view v = values_[slot.filePos];
        if (Status bound = slot.emptyIsNull && v.empty() ? insert_->BindNull(static_cast<int>(i))
                                                         : bindImportValue(*insert_, static_cast<int>(i), slot.type, v);
            !bound)
            return refuseValue(slot, v, bound.error());
    }
    if (auto st = insert_->Execute(); !st) {
        if (st.error().number == db::err::DuplicateKey) {
            if (r_.deleteFirst) return stop(ImportStop::DuplicateKey, st.error());
            skip(SkipReason::DuplicateKey, out_.duplicates);
            return true;
        }
        if (st.error().number == db::err::RequiredValue) return stop(ImportStop::RequiredValue, st.error());
        return stop(ImportStop::Refused, fromDatabase(st.error()));
    }
    ++out_.inserted;
    return true;
}

bool Import::readLines() {
    lastProgress_ = s_.now();
    for (;;) {
        if (s_.cancelled && s_.cancelled()) return stop(ImportStop::Cancelled);
        auto got = reader_->readLine(line_);
        if (!got) return stopOnFile(got.error());
        if (!*got) {
            // The end of the file, for a bar that is to reach its total.
            if (s_.progress) s_.progress({out_.inserted, reader_->bytesRead(), reader_->size()});
            return true;
        }
        report();
        if (line_.empty()) continue;
        if (!splitLine()) return false;
        if (values_.size() == 1) return stop(ImportStop::NoSeparator);
        if (values_.size() != headerFields_) {
            if (r_.deleteFirst) {
                out_.fields = values_.size();
                out_.headerFields = headerFields_;
                return stop(ImportStop::WrongFieldCount);
            }
            skip(SkipReason::WrongFieldCount, out_.wrongFieldCount);
            continue;
        }
        if (!storeLine()) return false;
    }
}

ImportOutcome Import::run() {
    const bool read = openFile() && checkLinks() && prepare() && readLines() && rebuildIndexes();
    if (insert_) insert_->Close();
    if (!inTransaction_) return out_;
    if (read && !r_.dryRun) {
        if (auto st = s_.db.CommitTrans(); st) {
            out_.committed = true;
            out_.deletedFirst = deleteDone_;
            return out_;
        } else {
            return failedCommit(st.error());
        }
    }
    if (Status undone = s_.db.Rollback(); !undone) s_.notices->tell(txt::NotRolledBack, s_.db.Name(), undone.error());
    if (out_.stopped()) out_.inserted = 0, out_.deleted = 0;
    return out_;
}

// A commit can fail after its point of no return (the sync that follows
// the clearing of the journal): the file then holds the whole import,
// though the commit answers an error. Which of the two happened is read
// from the register itself: its count before the import, or after it. A
// full disk is always before that point (what follows it overwrites and
// syncs, it never grows a file), so then the journal restores the register.
ImportOutcome Import::failedCommit(const Error& e) {
    ignoreBecause(s_.db.Rollback(), Untold::AfterFailure);
    const auto now = s_.db.TableRecordCount(register_->table);
    const long after = countBefore_ - out_.deleted + out_.inserted;
    if (e.number == db::err::NotEnoughSpace || (now && *now == countBefore_ && after != countBefore_)) {
        stop(ImportStop::Refused, e);
        out_.inserted = 0, out_.deleted = 0;
    } else if (now && *now == after && after != countBefore_) {
        stop(ImportStop::SavedDespiteError, e);
        out_.committed = true;
        out_.deletedFirst = deleteDone_;
    } else {
        stop(ImportStop::SaveUncertain, e);
    }
    out_.line = 0;
    return out_;
}

}  // namespace

void watchImport(ImportServices& services, JobProgress* progress) {
    if (!progress) return;
    services.progress = [progress](const ImportProgress& p) {
        progress->report(p.bytesRead, p.bytesTotal, ProgressUnit::Bytes);
    };
    services.cancelled = [progress] { return progress->stopRequested(); };
}

StagedImport::StagedImport(StagedImport&&) noexcept = default;

StagedImport::~StagedImport() { discard(); }

// A copy of ours, of no use now: one that cannot be closed or removed is told.
void StagedImport::discard() {
    if (!copy_) return;
    if (Status closed = copy_->Close(); !closed) notices_->tell(txt::NotClosedCleanly, copy_->Name(), closed.error());
    copy_.reset();
}

StagedImport stageImport(const LinkTable& links, const ImportRequest& request, ImportServices& services) {
    StagedImport staged;
    staged.notices_ = services.notices;
    auto copy = services.engine->OpenStagingCopy(services.db.Name());
    if (!copy) {
        staged.outcome_.stop = ImportStop::Refused;
        staged.outcome_.error = copy.error();
        return staged;
    }
    staged.copy_ = std::move(*copy);
    ImportServices onCopy{*staged.copy_, services.Språk};
    onCopy.notices = services.notices;
    onCopy.now = services.now;
    onCopy.progress = services.progress;
    onCopy.cancelled = services.cancelled;
    onCopy.skipped = services.skipped;
    staged.outcome_ = Import(links, request, onCopy).run();
    if (!staged.outcome_.committed || request.dryRun) staged.discard();
    return staged;
}

// The register's rows of the copy replace the database's in one short
// transaction (ReplaceTableFrom). The rows the booking system added
// meanwhile are the register's too: emptying it removes them as it would
// have at the start; the count it removed is the database's own.
ImportOutcome putStagedInPlace(StagedImport& staged, const ImportRequest& request, ImportServices& services) {
    ImportOutcome outcome = staged.outcome_;
    if (!staged.copy_) return outcome;
    const RegisterKind* reg = registerByName(request.registerName);
    const auto began = std::chrono::steady_clock::now();
    auto replaced = services.db.ReplaceTableFrom(*staged.copy_, reg->table, reg->deleteStatement);
    outcome.heldSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (replaced) {
        outcome.deleted = *replaced;
    } else {
        outcome.committed = outcome.deletedFirst = false;
        outcome.stop = ImportStop::Refused;
        outcome.error = replaced.error();
        outcome.inserted = outcome.deleted = 0;
    }
    staged.discard();
    return outcome;
}

ImportOutcome importRegister(const LinkTable& links, const ImportRequest& request, ImportServices& services) {
    if (request.deleteFirst && services.engine) {
        StagedImport staged = stageImport(links, request, services);
        return putStagedInPlace(staged, request, services);
    }
    // Without a staging copy the import's one transaction keeps the
    // writers out from its first line to its commit: all of it.
    const auto began = std::chrono::steady_clock::now();
    ImportOutcome outcome = Import(links, request, services).run();
    outcome.heldSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return outcome;
}

}  // namespace vexla
