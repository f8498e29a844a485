// Word lists for the demo database: Swedish first and last names, streets,
// towns and trades, spelled with å, ä, ö and é as real registers are.
#pragma once

namespace vexla::sample {

inline constexpr const char* kFirstNames[] = {
    "Anna",  "Åsa",      "Märta",  "Björn",  "Göran",  "Örjan",   "Ängla",    "Erik",  "Lars",
    "Karin", "Sofie",    "Jöns",   "Maja",   "Håkan",  "Linnéa",  "Sören",    "Agnes", "Måns",
    "Elin",  "Torbjörn", "Ingrid", "Rune",   "Signe",  "Stellan", "Birgitta", "Tomas", "Ylva",
    "Ebbe",  "Kajsa",    "Pär",    "Lovisa", "Öjvind", "Hélène",  "Nils",
};

inline constexpr const char* kLastNames[] = {
    "Andersson", "Johansson", "Åberg",     "Öberg",   "Söderström", "Bäckström",  "Ek",       "Lindqvist", "Wästberg",
    "Hägg",      "Ström",     "Nyström",   "Sjöberg", "Lindén",     "Mårtensson", "Östlund",  "Åkesson",   "Löfgren",
    "Källström", "Hedén",     "Björklund", "Forsén",  "Sundström",  "Nordqvist",  "Rönnberg", "Fältskog",
};

inline constexpr const char* kStreets[] = {
    "Storgatan", "Kungsgatan", "Ängsvägen",       "Björkvägen", "Södra vägen", "Östra Hamngatan",  "Järnvägsgatan",
    "Skolgatan", "Åvägen",     "Prästgårdsgatan", "Fältvägen",  "Kyrkogatan",  "Västra Långgatan", "Lövstigen",
};

struct Town {
    const char* name;
    const char* postCode;  // first three digits
    const char* areaCode;
};

inline constexpr Town kTowns[] = {
    {"Göteborg", "411", "031"},   {"Malmö", "211", "040"},      {"Växjö", "352", "0470"},   {"Örebro", "702", "019"},
    {"Umeå", "903", "090"},       {"Luleå", "972", "0920"},     {"Västerås", "722", "021"}, {"Jönköping", "553", "036"},
    {"Norrköping", "602", "011"}, {"Borås", "503", "033"},      {"Uppsala", "753", "018"},  {"Stockholm", "113", "08"},
    {"Söderhamn", "826", "0270"}, {"Ängelholm", "262", "0431"},
};

inline constexpr const char* kTrades[] = {
    "Bygg AB",        "Måleri AB",   "Städ & Fönster HB", "Förskola",      "Åkeri AB",  "Elservice AB",   "Trädgård HB",
    "Redovisning AB", "Vårdcentral", "Kök & Café",        "Rörläggeri AB", "Bokhandel", "Fastigheter AB",
};

inline constexpr const char* kNotes[] = {
    "Ring före besök.\r\nPortkod 1234.",
    "Nyckel hämtas i receptionen.",
    "Faktureras månadsvis.\r\nReferens: Ekonomiavdelningen\r\nVåning 3",
    "Kunden önskar samma personal som förra gången.",
    "Parkering på gården, infart från Åvägen.",
    "Allergi mot pälsdjur.\r\nUndvik parfym.",
    "Extra städning av kök efter renovering.",
};

// Values that carry a ";" (left out of the round-trip-safe variant).
inline constexpr const char* kSemicolonNotes[] = {
    "Faktura; per e-post",
    "Box 12; Hus B",
    "Kontakt: Åsa; mobil först",
};

inline constexpr const char* kPaymentTerms[] = {"30 dagar netto", "10 dagar netto", "Kontant", "Autogiro"};
inline constexpr const char* kPlacings[] = {"Kontor A", "Kontor B", "Lager", "Ute hos kund", "Växeln"};
inline constexpr const char* kGroups[] = {"Privat", "Företag", "Kommun", "Förening"};

}  // namespace vexla::sample
