#include "tools/sample_tables.h"

#include "db/stored_format.h"

namespace vexla::sample {

void formatStored(const DateTime& t, char* out) { db::formatStoredDateTime(t, out); }

std::string createTable(const std::string& table, const std::vector<Column>& columns) {
    std::string sql = "CREATE TABLE \"" + table + "\" (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", \"" : "\"") + std::string(columns[i].name) + "\" " + columns[i].type;
    return sql + ");";
}

std::vector<Column> kundColumns(bool clean) {
    std::vector<Column> c = {
        {"ID", "INTEGER PRIMARY KEY"}, {"Namn", "VARCHAR(50) NOT NULL"},
        {"Adress", "VARCHAR(50)"},     {"Adress2", "VARCHAR(50)"},
        {"P-adress", "VARCHAR(50)"},   {"OrgNr", "VARCHAR(15)"},
        {"Tele", "VARCHAR(20)"},       {"Rabatt", "DOUBLE"},
        {"LAdress", "VARCHAR(50)"},    {"LPAdress", "VARCHAR(50)"},
        {"EPost", "VARCHAR(80)"},      {"LOrt", "VARCHAR(30)"},
        {"Fax", "VARCHAR(20)"},        {"KontaktPers", "VARCHAR(50)"},
        {"Anteckningar", "MEMO"},
    };
    if (!clean) c.push_back({"Kundgrupp", "VARCHAR(20)"});
    return c;
}

std::vector<Column> personColumns(bool clean) {
    std::vector<Column> c = {
        {"ID", "INTEGER PRIMARY KEY"},
        {"FörNamn", "VARCHAR(30) NOT NULL"},
        {"EfterNamn", "VARCHAR(30) NOT NULL"},
        {"Pnr", "VARCHAR(13) UNIQUE"},
        {"Placering", "VARCHAR(30)"},
        {"Gata", "VARCHAR(50)"},
        {"CoAdress", "VARCHAR(50)"},
        {"PostNr", "VARCHAR(6)"},
        {"Stad", "VARCHAR(30)"},
        {"BostTel", "VARCHAR(20)"},
        {"ArbTel", "VARCHAR(20)"},
        {"AltTel1", "VARCHAR(20)"},
        {"AltTel2", "VARCHAR(20)"},
        {"Lön", "DOUBLE"},
        {"AnstStart", "DATETIME"},
        {"AnstStopp", "DATETIME"},
        {"Omfattning", "LONG"},
        {"NyRekry", "BOOLEAN NOT NULL DEFAULT 0"},
        {"ÖnskadOmf", "LONG"},
        {"Anteckningar", "MEMO"},
        {"Sökväg", "VARCHAR(255)"},
        {"MaxTid", "DATETIME"},
        {"MinTid", "DATETIME"},
        {"StandardTid", "DATETIME"},
        {"FontColor", "LONG"},
        {"BackColor", "LONG"},
        {"Tidsenhet", "LONG"},
        {"GrundPris", "DOUBLE"},
        {"Nyckel", "VARCHAR(20)"},
    };
    if (!clean) c.push_back({"Körkort", "BOOLEAN"});
    return c;
}

std::vector<Column> bokningColumns(bool clean) {
    std::vector<Column> c = {
        {"ID", "INTEGER PRIMARY KEY"},
        {"PersonID", "LONG NOT NULL"},
        {"KundID", "LONG NOT NULL"},
        {"StartTid", "DATETIME NOT NULL"},
        {"SlutTid", "DATETIME NOT NULL"},
        {"Anteckning", "MEMO"},
        {"Lunch", "BOOLEAN NOT NULL DEFAULT 0"},
        {"Status", "LONG NOT NULL DEFAULT 0"},
        {"KundNamn", "VARCHAR(50)"},
        {"KundAdress", "VARCHAR(50)"},
        {"KundPAdress", "VARCHAR(50)"},
        {"KundLAdress", "VARCHAR(50)"},
        {"KundLPAdress", "VARCHAR(50)"},
        {"BestDatum", "DATETIME"},
        {"Märke", "VARCHAR(50)"},
        {"Beställare", "VARCHAR(50)"},
        {"BestTele", "VARCHAR(20)"},
        {"Arbetsordernr", "LONG"},
        {"BetVillkor", "VARCHAR(30)"},
        {"AntalLuncher", "LONG"},
        {"Varaktighet", "DOUBLE"},
        {"FöljesedelsNr", "VARCHAR(20)"},
        {"WordDok", "VARCHAR(255)"},
        {"AnvändareID", "LONG"},
        {"BestNr", "VARCHAR(20)"},
        {"ÄndradAv", "VARCHAR(30)"},
        {"BortAv", "VARCHAR(30)"},
        {"SkapadDatum", "DATETIME"},
        {"Special1", "VARCHAR(50)"},
        {"Special2", "VARCHAR(50)"},
        {"Special3", "VARCHAR(50)"},
        {"Period", "VARCHAR(20)"},
        {"Pris", "DOUBLE"},
    };
    if (!clean) c.push_back({"Fakturerad", "BOOLEAN NOT NULL DEFAULT 0"});
    return c;
}

const std::vector<Column> kPrelColumns = {
    {"ID", "INTEGER PRIMARY KEY"},         {"PersonID", "LONG NOT NULL"},    {"KundID", "LONG NOT NULL"},
    {"StartTid", "DATETIME NOT NULL"},     {"SlutTid", "DATETIME NOT NULL"}, {"Anteckning", "MEMO"},
    {"Status", "LONG NOT NULL DEFAULT 0"},
};

const std::vector<Column> kUserColumns = {
    {"ID", "INTEGER PRIMARY KEY"},
    {"Namn", "VARCHAR(50) NOT NULL UNIQUE"},
    {"Losenord", "VARCHAR(100)"},
    {"GruppID", "LONG NOT NULL DEFAULT 2"},
};

}  // namespace vexla::sample
