#include "registers/field_catalogue.h"

#include <set>

#include <gtest/gtest.h>

namespace vexla {
namespace {

// Both lookups of the catalogue; captionToColumn false looks up a column's caption.
TEST(FieldCatalogue, FindsCaptionsAndColumns) {
    struct Lookup {
        bool captionToColumn;
        const char* from;
        const char* language;
        const char* expected;
    };
    for (const Lookup& c :
         {// column to caption
          Lookup{false, "ID", "xx", "ID"}, Lookup{false, "ID", "se", "ID"},
          Lookup{false, "P-adress", "se", "Postadress"}, Lookup{false, "P-adress", "en", "Postal address"},
          Lookup{false, "Anteckning", "se", "Anteckningar"},  // on the second row
          Lookup{false, "", "en", ""}, Lookup{false, "Namn", "de", ""}, Lookup{false, "namn", "se", ""},  // case
          // caption to the first column that has it
          Lookup{true, "ID", "", "ID"}, Lookup{true, "id", "se", ""}, Lookup{true, "", "se", ""},
          Lookup{true, "Postal address", "en", "P-adress"}, Lookup{true, "Anteckningar", "se", "Anteckningar"},
          Lookup{true, "Notes", "en", "Anteckningar"}, Lookup{true, "Kundnamn", "se", "KundNamn"},
          Lookup{true, "Kundnamn", "en", ""}}) {  // a Swedish caption in English
        SCOPED_TRACE(std::string(c.from) + " " + c.language);
        EXPECT_EQ(c.captionToColumn ? RubrikTillKolumn(c.from, c.language) : KolumnTillRubrik(c.from, c.language),
                  c.expected);
    }
}

// Every column but the one sharing its caption with an earlier row comes back
// from its own caption, in both languages.
TEST(FieldCatalogue, LookupsAreEachOthersInverse) {
    std::set<std::string> columns;
    for (const CatalogueRow& row : fieldCatalogue()) {
        EXPECT_TRUE(columns.insert(std::string(row.column)).second) << row.column;
        for (const char* language : {"se", "en"}) {
            const std::string back = RubrikTillKolumn(KolumnTillRubrik(row.column, language), language);
            EXPECT_EQ(back, row.column == "Anteckning" ? "Anteckningar" : std::string(row.column)) << language;
        }
    }
}

}  // namespace
}  // namespace vexla
