#include "registers/import_preview.h"
#include "texts/text_codes.h"

#include <memory>

#include "common/cp1252.h"
#include "common/text.h"
#include "db/errors.h"
#include "registers/import_line.h"
#include "registers/import_texts.h"
#include "registers/register_file_reader.h"
#include "registers/register_kind.h"

namespace vexla {

namespace {

// The INSERT of the import with the engine type of each slot's column; no
// statement when the register or the links give none.
struct PreviewInsert {
    std::unique_ptr<db::PreparedStatement> insert;
    std::vector<int> daoTypes;
};

PreviewInsert prepareInsert(const LinkTable& links, const ImportRequest& request, db::Database& database,
                            std::string_view Språk) {
    const RegisterKind* reg = registerByName(request.registerName);
    if (!reg) return {};
    PreviewInsert p;
    auto all = database.OpenRecordset("SELECT * FROM " + std::string(reg->table));
    if (!all) return {};
    for (const LinkRow& link : links) {
        const int at = (*all)->indexOf(importColumnName(link, request.registerName, Språk));
        p.daoTypes.push_back(at < 0 ? 10 : (*all)->type(at));
    }
    (*all)->Close();
    std::string sql = importInsertHead(reg->insertHead, request.registerName, links, Språk);
    for (std::size_t i = 0; i < links.size(); ++i) sql += i ? ", ?" : "?";
    auto prepared = database.Prepare(sql + ")");
    if (!prepared) return {};
    p.insert = std::move(*prepared);
    return p;
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
    const bool quoted = spreadsheetQuoted(line);
    LineBuffers buffers;
    std::vector<std::string_view> values;
    (void)splitImportLine(line, quoted, buffers, values);  // a header the dialog took splits
    const std::size_t headerFields = values.size();
    std::vector<std::size_t> positions;
    for (const LinkRow& link : links) {
        const auto at = linkPosition(link.fileFieldPosition);
        positions.push_back(at && *at >= 0 ? static_cast<std::size_t>(*at) : headerFields);
    }

    PreviewInsert p;
    if (database) p = prepareInsert(links, request, *database, Språk);
    preview.converted = p.insert != nullptr;
    // Rolled back below whatever happens: the preview never changes the register.
    const bool inserting = preview.converted && !request.deleteFirst && database->BeginTrans();

    while (preview.lines.size() < maxLines) {
        auto got = reader.readLine(line);
        if (!got) {
            switch (got.error().number) {
                case readerr::LineTooLong: preview.fileStop = ImportStop::LineTooLong; break;
                case readerr::NotUtf8: preview.fileStop = ImportStop::NotUtf8; break;
                case readerr::NulCharacter: preview.fileStop = ImportStop::NulCharacter; break;
                case readerr::UnclosedQuote: preview.fileStop = ImportStop::UnclosedQuote; break;
                case readerr::OtherEncoding: preview.fileStop = ImportStop::OtherEncoding; break;
                default: preview.fileStop = ImportStop::FileUnreadable;
            }
            // The reader names the line its failure concerns (where an open cell began).
            preview.fileStopLine = reader.lineNumber();
            break;
        }
        if (!*got) break;
        if (line.empty()) continue;
        PreviewLine& row = preview.lines.emplace_back();
        row.line = reader.lineNumber();
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
    if (p.insert) p.insert->Close();
    if (inserting) (void)database->Rollback();  // fails only when SQLite rolled back by itself
    return preview;
}

std::string previewMarkText(const PreviewLine& line, TextSource& texts) {
    if (line.mark == PreviewMark::Stored) return {};
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
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
