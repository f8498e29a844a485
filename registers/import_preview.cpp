#include "registers/import_preview.h"
#include "texts/text_codes.h"

#include <memory>

#include "common/cp1252.h"
#include "common/file_writing.h"
#include "common/text.h"
#include "db/errors.h"
#include "registers/import_line.h"
#include "registers/import_plan.h"
#include "registers/import_texts.h"
#include "registers/register_file_reader.h"
#include "registers/register_kind.h"

namespace vexla {

namespace {

// The INSERT of the import with the engine type of each slot's column; no
// statement for a name that is no register.
struct PreviewInsert {
    std::unique_ptr<db::PreparedStatement> insert;
    std::vector<int> daoTypes;
};

// The import's INSERT, or the engine's failure to read the register or to
// prepare it.
Result<PreviewInsert> prepareInsert(const LinkTable& links, const ImportRequest& request, db::Database& database,
                                    std::string_view Språk) {
    const RegisterKind* reg = registerByName(request.registerName);
    if (!reg) return PreviewInsert{};
    PreviewInsert p;
    auto all = database.OpenRecordset("SELECT * FROM " + std::string(reg->table));
    if (!all) return all.error();
    for (const LinkRow& link : links) {
        const int at = (*all)->indexOf(importColumnName(link, request.registerName, Språk));
        p.daoTypes.push_back(at < 0 ? 10 : (*all)->type(at));
    }
    (*all)->Close();
    std::string sql = importInsertHead(reg->insertHead, request.registerName, links, Språk);
    for (std::size_t i = 0; i < links.size(); ++i) sql += i ? ", ?" : "?";
    auto prepared = database.Prepare(sql + ")");
    if (!prepared) return prepared.error();
    p.insert = std::move(*prepared);
    return p;
}

// The insert the lines are converted by, with what keeps them from being
// converted or checked in `preview`; `inserting`: the lines are inserted
// (in a transaction the caller rolls back) to check their keys.
PreviewInsert converter(const LinkTable& links, const ImportRequest& request, db::Database* database,
                        std::string_view Språk, ImportPreview& preview, bool& inserting) {
    inserting = false;
    if (!database) return {};
    auto p = prepareInsert(links, request, *database, Språk);
    if (!p) {
        preview.notConverted = p.error();
        return {};
    }
    preview.converted = p->insert != nullptr;
    if (!preview.converted || request.deleteFirst) return std::move(*p);
    if (Status began = database->BeginTrans(); !began)
        preview.keysUnchecked = began.error();
    else
        inserting = true;
    return std::move(*p);
}

// The reason a line the reader could not give stops the preview.
ImportStop fileStopOf(const Error& e) {
    switch (e.number) {
        case readerr::LineTooLong: return ImportStop::LineTooLong;
        case readerr::NotUtf8: return ImportStop::NotUtf8;
        case readerr::NulCharacter: return ImportStop::NulCharacter;
        case readerr::UnclosedQuote: return ImportStop::UnclosedQuote;
        case readerr::OtherEncoding: return ImportStop::OtherEncoding;
        default: return ImportStop::FileUnreadable;
    }
}

// Keeps of `preview.unlinked` (every column no link takes, with the lines'
// texts there) the columns that hold a value on a line shown.
void keepUnlinkedWithValues(ImportPreview& preview) {
    std::vector<std::size_t> kept;
    for (std::size_t c = 0; c < preview.unlinked.size(); ++c)
        if (preview.unlinked[c].values > 0) kept.push_back(c);
    std::vector<UnlinkedColumn> columns;
    for (std::size_t c : kept) columns.push_back(preview.unlinked[c]);
    preview.unlinked = std::move(columns);
    for (PreviewLine& row : preview.lines) {
        std::vector<std::string> texts;
        for (std::size_t c : kept) texts.push_back(c < row.unlinked.size() ? row.unlinked[c] : std::string());
        row.unlinked = std::move(texts);
    }
}

std::string shown(const db::RawValue& value, int daoType, const ValueTextFormat& format) {
    std::string cp1252;
    ValueNotes notes;
    appendValueText(cp1252, value, valueClassOf(daoType), format, notes);
    return cp1252ToUtf8(cp1252);
}

// One preview: the file's header, then its lines up to a count, each shown
// as the register would store it and, where the register can be written,
// tried against it in a transaction that is always rolled back.
class PreviewRun {
public:
    PreviewRun(const LinkTable& links, const ImportRequest& request, db::Database* database,
               const ValueTextFormat& format, RegisterFileReader& reader)
        : links_(links), request_(request), database_(database), format_(format), reader_(reader) {}

    ImportPreview run(std::string_view Språk, std::size_t maxLines) {
        if (!readHeader()) return std::move(preview_);
        // Rolled back below whatever happens: the preview never changes the register.
        p_ = converter(links_, request_, database_, Språk, preview_, inserting_);
        check_ = !preview_.converted      ? PreviewCheck::AsInFile
                 : preview_.keysUnchecked ? PreviewCheck::KeysUnchecked
                                          : PreviewCheck::Checked;
        while (preview_.lines.size() < maxLines && readLine()) {}
        keepUnlinkedWithValues(preview_);
        if (p_.insert) p_.insert->Close();
        if (inserting_) {
            if (Status undone = database_->Rollback(); !undone) preview_.notRolledBack = undone.error();
        }
        return std::move(preview_);
    }

private:
    // Reads the header and places the links on its columns; false when the
    // preview ends there.
    bool readHeader() {
        if (auto header = reader_.readLine(line_); !header || !*header) return false;
        quoted_ = reader_.quoted();
        switch (splitImportLine(line_, quoted_, buffers_, values_)) {
            case LineSplit::Ok: break;
            case LineSplit::NulCharacter: preview_.fileStop = ImportStop::NulCharacter; break;
            case LineSplit::TooManyFields: preview_.fileStop = ImportStop::TooManyFields; break;
        }
        if (preview_.fileStop != ImportStop::None) {
            preview_.fileStopLine = reader_.lineNumber();
            return false;
        }
        headerFields_ = values_.size();
        std::vector<bool> linked(headerFields_, false);
        for (const LinkRow& link : links_) {
            const auto at = linkPosition(link.fileFieldPosition);
            positions_.push_back(at && *at >= 0 ? static_cast<std::size_t>(*at) : headerFields_);
            if (positions_.back() < headerFields_) linked[positions_.back()] = true;
        }
        for (std::size_t c = 0; c < headerFields_; ++c) {
            if (linked[c]) continue;
            unlinked_.push_back(c);
            preview_.unlinked.push_back({static_cast<int>(c) + 1, std::string(trimBlanks(values_[c])), 0});
        }
        return true;
    }

    // Previews the next line; false at the file's end or a failure to read.
    bool readLine() {
        auto got = reader_.readLine(line_);
        if (!got) {
            preview_.fileStop = fileStopOf(got.error());
            // The reader names the line its failure concerns (where an open cell began).
            preview_.fileStopLine = reader_.lineNumber();
            return false;
        }
        if (!*got) return false;
        if (!line_.empty()) previewLine(preview_.lines.emplace_back());
        return true;
    }

    void mark(PreviewLine& row, PreviewMark m, ImportStop why) const {
        row.mark = request_.deleteFirst && m == PreviewMark::Skipped ? PreviewMark::Stops : m;
        row.why = why;
    }

    void previewLine(PreviewLine& row) {
        row.line = reader_.lineNumber();
        row.check = check_;
        switch (splitImportLine(line_, quoted_, buffers_, values_)) {
            case LineSplit::Ok: break;
            case LineSplit::NulCharacter: return mark(row, PreviewMark::Stops, ImportStop::NulCharacter);
            case LineSplit::TooManyFields: return mark(row, PreviewMark::Stops, ImportStop::TooManyFields);
        }
        for (std::size_t pos : positions_) row.values.emplace_back(pos < values_.size() ? values_[pos] : "");
        if (values_.size() == 1) return mark(row, PreviewMark::Stops, ImportStop::NoSeparator);
        if (values_.size() != headerFields_) return mark(row, PreviewMark::Skipped, ImportStop::WrongFieldCount);
        for (std::size_t k = 0; k < unlinked_.size(); ++k) {
            row.unlinked.emplace_back(values_[unlinked_[k]]);
            if (holdsValue(values_[unlinked_[k]])) ++preview_.unlinked[k].values;
        }
        if (p_.insert && bindRow(row)) tryInsert(row);
    }

    // Binds the line's values as the register's columns take them; false,
    // the line marked, when a column refuses its value.
    bool bindRow(PreviewLine& row) {
        for (std::size_t i = 0; i < links_.size(); ++i) {
            const auto fieldPos = linkPosition(links_[i].fieldPosition);
            const int type = fieldPos && *fieldPos >= 0 && *fieldPos < static_cast<long>(request_.fieldTypes.size())
                                 ? request_.fieldTypes[static_cast<std::size_t>(*fieldPos)]
                                 : typecode::Other;
            if (!bindImportValue(*p_.insert, static_cast<int>(i), type, row.values[i])) {
                mark(row, PreviewMark::Stops, ImportStop::Refused);
                row.column = links_[i].caption;
                row.value = row.values[i];
                return false;
            }
        }
        for (std::size_t i = 0; i < links_.size(); ++i)
            row.values[i] = shown(p_.insert->BoundValue(static_cast<int>(i)), p_.daoTypes[i], format_);
        return true;
    }

    void tryInsert(PreviewLine& row) {
        if (!inserting_) return;
        if (auto st = p_.insert->Execute(); !st) {
            if (st.error().number == db::err::DuplicateKey)
                mark(row, PreviewMark::Skipped, ImportStop::DuplicateKey);
            else
                mark(row, PreviewMark::Stops,
                     st.error().number == db::err::RequiredValue ? ImportStop::RequiredValue : ImportStop::Refused);
        }
    }

    const LinkTable& links_;
    const ImportRequest& request_;
    db::Database* database_;
    const ValueTextFormat& format_;
    RegisterFileReader& reader_;
    ImportPreview preview_;
    std::string line_;
    bool quoted_ = false;
    LineBuffers buffers_;
    std::vector<std::string_view> values_;
    std::size_t headerFields_ = 0;
    std::vector<std::size_t> positions_;  // each link's column in the file
    std::vector<std::size_t> unlinked_;   // the columns no link takes
    PreviewInsert p_;
    bool inserting_ = false;
    PreviewCheck check_ = PreviewCheck::AsInFile;
};

}  // namespace

ImportPreview previewImport(const LinkTable& links, const ImportRequest& request, db::Database* database,
                            std::string_view Språk, const ValueTextFormat& format, std::size_t maxLines) {
    auto opened = RegisterFileReader::open(std::string(trimBlanks(request.path)));
    if (!opened) return {};
    return PreviewRun(links, request, database, format, **opened).run(Språk, maxLines);
}

std::string previewNote(const ImportPreview& preview, const Error* unopened, TextSource& texts) {
    std::string note;
    const Error* why = unopened                ? unopened
                       : preview.notConverted  ? &*preview.notConverted
                       : preview.keysUnchecked ? &*preview.keysUnchecked
                                               : nullptr;
    if (!preview.converted || preview.keysUnchecked) {
        note = texts.TextTillAndra(preview.converted ? txt::PreviewKeysUnchecked : txt::PreviewUnconverted);
        if (why) note += ": " + std::to_string(why->number) + " " + describedFileError(*why, texts).description;
        note += ".";
    }
    if (preview.fileStop != ImportStop::None)
        note += (note.empty() ? "" : " ") + texts.TextTillAndra(txt::CannotReadOnFromLine) + " " +
                std::to_string(preview.fileStopLine) + ".";
    return note;
}

std::string previewMarkText(const PreviewLine& line, TextSource& texts) {
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    if (line.mark == PreviewMark::Stored) {
        switch (line.check) {
            case PreviewCheck::Checked: return {};
            case PreviewCheck::KeysUnchecked: return text(txt::PreviewKeysUnchecked);
            case PreviewCheck::AsInFile: return text(txt::PreviewAsInFile);
        }
        return {};
    }
    std::string why;
    switch (line.why) {
        case ImportStop::WrongFieldCount: why = skipReasonText(SkipReason::WrongFieldCount, texts); break;
        case ImportStop::DuplicateKey: why = skipReasonText(SkipReason::DuplicateKey, texts); break;
        case ImportStop::RequiredValue: why = text(txt::RequiredFieldWithoutValue); break;
        case ImportStop::NulCharacter: why = text(txt::LineHoldsNul); break;
        case ImportStop::TooManyFields: why = text(txt::LineWithOver1000Fields); break;
        case ImportStop::NoSeparator: why = text(txt::LineWithoutSeparators); break;
        case ImportStop::Refused:
            why = line.column.empty() ? text(txt::PreviewDoesNotFit)
                                      : line.column + ": '" + line.value + "' " + text(txt::PreviewDoesNotFit);
            break;
        default: break;
    }
    return text(line.mark == PreviewMark::Skipped ? txt::PreviewSkipped : txt::PreviewStopsImport) + ": " + why;
}

}  // namespace vexla
