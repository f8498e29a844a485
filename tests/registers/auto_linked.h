// The links vexla-transfer makes for a register file, shared by the import's tests.
#pragma once

#include "registers/field_mapping.h"
#include "registers/import.h"
#include "tests/support/fake_platform.h"
#include "transfer/links.h"

namespace vexla::testing {

// The links for the register file at `file`, the register's field types put
// into the request; none when the table or the file cannot be read.
inline LinkTable autoLinked(db::Database& db, ImportRequest& request, const std::string& file,
                            const std::string& language) {
    const auto fields = databaseFields(db, *registerByName(request.registerName), language);
    if (!fields) return {};
    std::vector<std::string> captions;
    for (const DatabaseField& field : *fields) captions.push_back(field.caption);
    for (const DatabaseField& field : *fields) request.fieldTypes.push_back(field.typeCode);
    FakeMessageBoxes unseen;
    CodeTexts texts;
    const auto fileFields = registerFileFields(file, unseen, texts);
    return fileFields ? transfer::autoLinks(captions, *fileFields) : LinkTable{};
}

}  // namespace vexla::testing
