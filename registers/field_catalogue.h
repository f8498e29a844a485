// The field catalogue: the fixed table of register columns with their
// Swedish and English captions. Register files carry captions in their
// header line and the mapping dialog shows them; the import turns them back
// into column names.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vexla {

struct CatalogueRow {
    std::string_view column;
    std::string_view swedish;
    std::string_view english;
};

// The 74 rows in their fixed order (the order decides the reverse lookup
// where two columns share a caption: Anteckningar comes before Anteckning).
std::span<const CatalogueRow> fieldCatalogue();

// The caption of a database column in the language Språk ("se" or "en").
// "ID" is "ID" in every language. An unknown column, or another language
// code, gives an empty text. Comparison is exact and case-sensitive.
std::string KolumnTillRubrik(std::string_view column, std::string_view Språk);

// The column of a caption as KolumnTillRubrik gives it in language Språk:
// the first row whose caption equals it. "ID" gives "ID"; an unknown
// caption, or another language code, gives an empty text.
std::string RubrikTillKolumn(std::string_view caption, std::string_view Språk);

}  // namespace vexla
