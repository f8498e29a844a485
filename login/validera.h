// The check behind the login dialog: is this user name and password an
// administrator (group 1) of the booking database?
#pragma once

#include <memory>
#include <string>

#include "common/platform/message_boxes.h"
#include "db/engine.h"

namespace vexla {

// The main window's shared connection, which the first login opens.
struct SharedDatabase {
    db::DBEngine& engine;
    std::unique_ptr<db::Database>& db;  // empty until something opens it
    const std::string& DataBas;         // the database path to open
};

// Whether userName and password are an administrator's: true when Users
// holds a row as Validera describes; the engine's error when the database
// would not answer (file missing or held by another program, no Users
// table). Shows nothing.
Result<bool> isAdministrator(SharedDatabase shared, const std::string& userName, const std::string& password);

// A failed check as the login tells it: "Fel <n> (<description>) uppstod i
// Function Validera i frmLogon: 0".
std::string loginFailureText(const Error& e);

// Answers true when Users holds a row whose Namn equals userName (compared
// as the engine compares text, letter case ignored) and whose Losenord is
// KrypteraLösenord(password), and the first such row has GruppID 1. Opens
// the shared database exclusively when it is empty; a failed open leaves it
// empty so the next try opens again. The name is bound as a parameter, so a
// quote in it only ever matches a name with that quote. Any failure (file
// missing or held by another program, no Users table) is shown as "Fel <n>
// (<description>) uppstod i Function Validera i frmLogon: 0" and answers false.
bool Validera(SharedDatabase shared, MessageBoxes& messages, const std::string& userName, const std::string& password);

}  // namespace vexla
