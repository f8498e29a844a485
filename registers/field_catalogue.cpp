#include "registers/field_catalogue.h"

#include <array>

namespace vexla {

namespace {

// clang-format off
constexpr std::array<CatalogueRow, 74> kRows{{
    {"ID", "ID", "ID"},
    {"Namn", "Namn", "Name"},
    {"Adress", "Adress", "Address"},
    {"Adress2", "Adress2", "Address2"},
    {"P-adress", "Postadress", "Postal address"},
    {"OrgNr", "OrgNr", "OrgNo"},
    {"Tele", "Telefon", "Telephone"},
    {"Rabatt", "Rabatt", "Discount"},
    {"LAdress", "Leveransadress", "Delivery Address"},
    {"LPAdress", "Leveranspostadress", "Delivery Postal Address"},
    {"EPost", "E-post", "E-mail"},
    {"LOrt", "Leveransort", "Delivery City"},
    {"Fax", "Fax", "Fax"},
    {"KontaktPers", "Kontaktperson", "Contact person"},
    {"Pnr", "Personnr", "Social security number"},
    {"FörNamn", "Förnamn", "First Name"},
    {"EfterNamn", "Efternamn", "Last Name"},
    {"Placering", "Placering", "Location"},
    {"Gata", "Gata", "Street"},
    {"CoAdress", "Co adress", "Co Address"},
    {"PostNr", "Postnr", "Zip code"},
    {"Stad", "Stad", "City"},
    {"BostTel", "Hemtelefon", "Home phone"},
    {"ArbTel", "Arbetstelefon", "Work phone"},
    {"AltTel1", "Alt-telefon 1", "Alt Phone 1"},
    {"AltTel2", "Alt-telefon 2", "Alt Phone 2"},
    {"Lön", "Lön", "Salery"},
    {"AnstStart", "Anställningstart", "Start emp."},
    {"AnstStopp", "Anställningstopp", "Stop emp."},
    {"Omfattning", "Omfattning", "Scope"},
    {"NyRekry", "Nyrekrytering", "New recuit"},
    {"ÖnskadOmf", "Önskad omfattning", "Desired scope"},
    {"Anteckningar", "Anteckningar", "Notes"},
    {"Sökväg", "Sökväg", "Path"},
    {"MaxTid", "Max tid", "Max time"},
    {"MinTid", "Min tid", "Min time"},
    {"StandardTid", "Standard tid", "Default time"},
    {"FontColor", "Textfärg", "FontColor"},
    {"BackColor", "Bakgrundsfärg", "BackColor"},
    {"Tidsenhet", "Tidsenhet", "Time unit"},
    {"GrundPris", "Grundpris", "Base price"},
    {"Nyckel", "Nyckel", "Key"},
    {"PersonID", "ResursID", "Resource ID"},
    {"KundID", "KundID", "Customer ID"},
    {"StartTid", "Starttid", "Start time"},
    {"SlutTid", "Sluttid", "End time"},
    {"Anteckning", "Anteckningar", "Notes"},
    {"Lunch", "Lunch", "Lunch"},
    {"Status", "Status", "Status"},
    {"KundNamn", "Kundnamn", "Customer name"},
    {"KundAdress", "Kundadress", "Customer address"},
    {"KundPAdress", "Kundpostadress", "Customer postal address"},
    {"KundLAdress", "Kundleveransadress", "Customer delivery address"},
    {"KundLPAdress", "Kundleveranspostadress", "Customer delivery postal address"},
    {"BestDatum", "Beställningsdatum", "Order date"},
    {"Märke", "Märke", "Mark"},
    {"Beställare", "Beställare", "Orderer"},
    {"BestTele", "Beställaretelefon", "Orderer phone"},
    {"Arbetsordernr", "Bokningsnummer", "Booking number"},
    {"BetVillkor", "Betalningsvillkor", "Payment terms"},
    {"AntalLuncher", "Antal luncher", "No of lunches"},
    {"Varaktighet", "Varaktighet", "Duration"},
    {"FöljesedelsNr", "Följesedelsnummer", "Delivery note no"},
    {"WordDok", "Extra", "Extra"},
    {"AnvändareID", "AnvändarID", "User ID"},
    {"BestNr", "Beställningsnummer", "Order no"},
    {"ÄndradAv", "Ändrad av", "Changed by"},
    {"BortAv", "Borttagen av", "Deleted by"},
    {"SkapadDatum", "Skapad datum", "Creation date"},
    {"Special1", "Special1", "Special1"},
    {"Special2", "Special2", "Special2"},
    {"Special3", "Special3", "Special3"},
    {"Period", "Period", "Period"},
    {"Pris", "Pris", "Price"},
}};
// clang-format on

// The caption column of a language, or nullptr for an unknown language code.
std::string_view CatalogueRow::*captionOf(std::string_view Språk) {
    if (Språk == "se") return &CatalogueRow::swedish;
    if (Språk == "en") return &CatalogueRow::english;
    return nullptr;
}

}  // namespace

std::span<const CatalogueRow> fieldCatalogue() { return kRows; }

std::string KolumnTillRubrik(std::string_view column, std::string_view Språk) {
    if (column == "ID") return "ID";
    const auto caption = captionOf(Språk);
    if (!caption) return {};
    for (const CatalogueRow& row : kRows)
        if (row.column == column) return std::string(row.*caption);
    return {};
}

std::string RubrikTillKolumn(std::string_view caption, std::string_view Språk) {
    if (caption == "ID") return "ID";
    const auto captionColumn = captionOf(Språk);
    if (!captionColumn) return {};
    for (const CatalogueRow& row : kRows)
        if (row.*captionColumn == caption) return std::string(row.column);
    return {};
}

}  // namespace vexla
