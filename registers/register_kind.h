// The three registers the program transfers, in one table: the export knows
// a register by its kind (0, 1, 2, the buttons' order), the import by the
// register name the button hands to the mapping dialog. Everything that
// names a register's table, query, file or statements lives here so export
// and import cannot drift apart.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vexla {

struct RegisterKind {
    std::int16_t kind;                 // 0 customers, 1 resources, 2 bookings
    std::string_view table;            // "Kund", "Person", "Bokning"
    std::string_view exportQuery;      // customers with ID -1 and lower never leave the database
    std::string_view defaultFile;      // proposed by the save dialog
    std::string_view name;             // register name of the mapping dialog and the import
    std::string_view deleteStatement;  // "delete first" of the import; spares ID -1 and lower
    std::string_view insertHead;       // the import's INSERT up to the column list
    // Tables whose records point at this register's records by their ID.
    std::array<std::string_view, 2> referredBy;
};

inline constexpr std::array<RegisterKind, 3> kRegisters{{
    {0,
     "Kund",
     "SELECT * FROM Kund WHERE ID > -1",
     "KundReg.skv",
     "Kund",
     "DELETE FROM Kund WHERE ID > -1",
     "INSERT INTO Kund (",
     {"Bokning", "PrelBokning"}},
    {1,
     "Person",
     "SELECT * FROM Person",
     "ResursReg.skv",
     "Resurser",
     "DELETE FROM Person",
     "INSERT INTO Person (",
     {"Bokning", "PrelBokning"}},
    {2,
     "Bokning",
     "SELECT * FROM Bokning",
     "BokningsReg.skv",
     "Bokningar",
     "DELETE FROM Bokning",
     "INSERT INTO Bokning (",
     {}},
}};

// The register of an export kind; nothing for a kind outside 0..2.
constexpr const RegisterKind* registerByKind(std::int16_t kind) {
    for (const auto& r : kRegisters)
        if (r.kind == kind) return &r;
    return nullptr;
}

// The register of a mapping-dialog register name ("Kund", "Resurser",
// "Bokningar"), compared exactly; nothing for any other name.
constexpr const RegisterKind* registerByName(std::string_view name) {
    for (const auto& r : kRegisters)
        if (r.name == name) return &r;
    return nullptr;
}

}  // namespace vexla
