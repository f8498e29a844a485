// The links the mapping dialog's Auto button makes, for tests that import
// without the dialog.
#pragma once

#include <string>

#include "registers/field_mapping.h"
#include "registers/import.h"
#include "tests/support/fake_platform.h"

namespace vexla::testing {

// Links each header field of the register file at `file` to the first field
// of the same caption (in `language`) of the register request.registerName
// names in `db`, and gives the request its field types. No links when the
// table or the file cannot be read.
inline LinkTable autoLinked(db::Database& db, ImportRequest& request, const std::string& file,
                            const std::string& language) {
    LinkTable links;
    FakeMessageBoxes unseen;
    CodeTexts texts;
    const auto fields = databaseFields(db, *registerByName(request.registerName), language);
    const auto fileFields = registerFileFields(file, unseen, texts);
    if (!fields) return links;
    std::vector<std::string> captions;
    for (const DatabaseField& field : *fields) {
        captions.push_back(field.caption);
        request.fieldTypes.push_back(field.typeCode);
    }
    if (fileFields)
        for (const auto& [c, f] : autoLinkPairs(captions, *fileFields))
            links.push_back({captions[c], std::to_string(c), (*fileFields)[f], std::to_string(f)});
    return links;
}

}  // namespace vexla::testing
