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

}  // namespace

ImportPreview previewImport(const LinkTable& links, const ImportRequest& request, db::Database* database,
                            std::string_view Språk, const ValueTextFormat& format, std::size_t maxLines) {
    ImportPreview preview;
    auto opened = RegisterFileReader::open(std::string(trimBlanks(request.path)));
    if (!opened) return preview;
    RegisterFileReader& reader = **opened;
    std::string line;
    if (auto header = reader.readLine(line); !header || !*header) return preview;
    const bool quoted = reader.quoted();
    LineBuffers buffers;
    std::vector<std::string_view> values;
    switch (splitImportLine(line, quoted, buffers, values)) {
        case LineSplit::Ok: break;
        case LineSplit::NulCharacter: preview.fileStop = ImportStop::NulCharacter; break;
        case LineSplit::TooManyFields: preview.fileStop = ImportStop::TooManyFields; break;
    }
    if (preview.fileStop != ImportStop::None) {
        preview.fileStopLine = reader.lineNumber();
        return preview;
    }
    const std::size_t headerFields = values.size();
    std::vector<std::size_t> positions;
    std::vector<bool> linked(headerFields, false);
    for (const LinkRow& link : links) {
        const auto at = linkPosition(link.fileFieldPosition);
        positions.push_back(at && *at >= 0 ? static_cast<std::size_t>(*at) : headerFields);
        if (positions.back() < headerFields) linked[positions.back()] = true;
    }
    std::vector<std::size_t> unlinked;
    for (std::size_t c = 0; c < headerFields; ++c) {
        if (linked[c]) continue;
        unlinked.push_back(c);
        preview.unlinked.push_back({static_cast<int>(c) + 1, std::string(trimBlanks(values[c])), 0});
    }

    // Rolled back below whatever happens: the preview never changes the register.
    bool inserting = false;
    PreviewInsert p = converter(links, request, database, Språk, preview, inserting);
    const PreviewCheck check = !preview.converted      ? PreviewCheck::AsInFile
                               : preview.keysUnchecked ? PreviewCheck::KeysUnchecked
                                                       : PreviewCheck::Checked;

    while (preview.lines.size() < maxLines) {
        auto got = reader.readLine(line);
        if (!got) {
            preview.fileStop = fileStopOf(got.error());
            // The reader names the line its failure concerns (where an open cell began).
            preview.fileStopLine = reader.lineNumber();
            break;
        }
        if (!*got) break;
        if (line.empty()) continue;
        PreviewLine& row = preview.lines.emplace_back();
        row.line = reader.lineNumber();
        row.check = check;
        const auto mark = [&](PreviewMark m, ImportStop why) {
            row.mark = request.deleteFirst && m == PreviewMark::Skipped ? PreviewMark::Stops : m;
            row.why = why;
        };
        switch (splitImportLine(line, quoted, buffers, values)) {
            case LineSplit::Ok: break;
            case LineSplit::NulCharacter: mark(PreviewMark::Stops, ImportStop::NulCharacter); continue;
            case LineSplit::TooManyFields: mark(PreviewMark::Stops, ImportStop::TooManyFields); continue;
        }
        for (std::size_t pos : positions) row.values.emplace_back(pos < values.size() ? values[pos] : "");
        if (values.size() == 1) {
            mark(PreviewMark::Stops, ImportStop::NoSeparator);
            continue;
        }
        if (values.size() != headerFields) {
            mark(PreviewMark::Skipped, ImportStop::WrongFieldCount);
            continue;
        }
        for (std::size_t k = 0; k < unlinked.size(); ++k) {
            row.unlinked.emplace_back(values[unlinked[k]]);
            if (holdsValue(values[unlinked[k]])) ++preview.unlinked[k].values;
        }
        if (!p.insert) continue;
        bool bound = true;
        for (std::size_t i = 0; i < links.size() && bound; ++i) {
            const auto fieldPos = linkPosition(links[i].fieldPosition);
            const int type = fieldPos && *fieldPos >= 0 && *fieldPos < static_cast<long>(request.fieldTypes.size())
                                 ? request.fieldTypes[static_cast<std::size_t>(*fieldPos)]
                                 : typecode::Other;
            if (!bindImportValue(*p.insert, static_cast<int>(i), type, row.values[i])) {
                mark(PreviewMark::Stops, ImportStop::Refused);
                row.column = links[i].caption;
                row.value = row.values[i];
                bound = false;
            }
        }
        if (!bound) continue;
        for (std::size_t i = 0; i < links.size(); ++i)
            row.values[i] = shown(p.insert->BoundValue(static_cast<int>(i)), p.daoTypes[i], format);
        if (!inserting) continue;
        if (auto st = p.insert->Execute(); !st) {
            if (st.error().number == db::err::DuplicateKey)
                mark(PreviewMark::Skipped, ImportStop::DuplicateKey);
            else
                mark(PreviewMark::Stops,
                     st.error().number == db::err::RequiredValue ? ImportStop::RequiredValue : ImportStop::Refused);
        }
    }
    keepUnlinkedWithValues(preview);
    if (p.insert) p.insert->Close();
    if (inserting) {
        if (Status undone = database->Rollback(); !undone) preview.notRolledBack = undone.error();
    }
    return preview;
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
