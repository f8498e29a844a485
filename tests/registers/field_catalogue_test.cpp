#include "registers/field_catalogue.h"

#include <set>

#include <gtest/gtest.h>

namespace vexla {
namespace {

struct Lookup {
    const char* name;
    const char* from;
    const char* language;
    const char* expected;
};

void PrintTo(const Lookup& c, std::ostream* os) { *os << c.name; }

class ColumnToCaption : public ::testing::TestWithParam<Lookup> {};
class CaptionToColumn : public ::testing::TestWithParam<Lookup> {};

TEST_P(ColumnToCaption, FindsTheCaption) {
    EXPECT_EQ(KolumnTillRubrik(GetParam().from, GetParam().language), GetParam().expected);
}

TEST_P(CaptionToColumn, FindsTheFirstColumn) {
    EXPECT_EQ(RubrikTillKolumn(GetParam().from, GetParam().language), GetParam().expected);
}

const auto name = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(
    Cases, ColumnToCaption,
    ::testing::Values(Lookup{"id_any_language", "ID", "xx", "ID"}, Lookup{"id_swedish", "ID", "se", "ID"},
                      Lookup{"postal_se", "P-adress", "se", "Postadress"},
                      Lookup{"postal_en", "P-adress", "en", "Postal address"},
                      Lookup{"notes_second_row", "Anteckning", "se", "Anteckningar"},
                      Lookup{"letters_outside_ascii", "ÖnskadOmf", "se", "Önskad omfattning"},
                      Lookup{"same_in_both", "WordDok", "en", "Extra"},
                      Lookup{"case_matters", "namn", "se", ""}, Lookup{"unknown", "Kolumn9", "se", ""},
                      Lookup{"empty", "", "en", ""}, Lookup{"other_language", "Namn", "de", ""}),
    name);

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptionToColumn,
    ::testing::Values(Lookup{"id_any_language", "ID", "", "ID"}, Lookup{"id_lowercase", "id", "se", ""},
                      Lookup{"postal_en", "Postal address", "en", "P-adress"},
                      Lookup{"shared_caption_first_row", "Anteckningar", "se", "Anteckningar"},
                      Lookup{"shared_caption_first_row_en", "Notes", "en", "Anteckningar"},
                      Lookup{"base_price_se", "Grundpris", "se", "GrundPris"},
                      Lookup{"base_price_en", "Base price", "en", "GrundPris"},
                      Lookup{"customer_name", "Kundnamn", "se", "KundNamn"},
                      Lookup{"swedish_caption_in_english", "Kundnamn", "en", ""},
                      Lookup{"spelled_alike", "Fax", "en", "Fax"}, Lookup{"empty", "", "se", ""}),
    name);

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
    EXPECT_EQ(fieldCatalogue().size(), 74u);
}

}  // namespace
}  // namespace vexla
