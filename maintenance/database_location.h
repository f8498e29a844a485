// Which database file the program works on: the change of database behind
// cmdDB, and the start-up's question when no path is known. Nothing is
// written to the system's Vexla.ini; the window keeps a choice in the user's
// own settings (app/frm_admin).
#pragma once

#include <optional>
#include <string>

#include "maintenance/job_dialogs.h"
#include "session/job_context.h"

namespace vexla {

// Shows the path dialog from the path label until the user cancels, confirms
// the path already in use, or confirms a path that passes the exclusive-use
// test (a failing one is reported by the test and the dialog comes back).
// A passing path becomes DataBas as typed, except that a bare file name is
// taken in the current folder and made absolute; its folder becomes
// msSökväg, the path label shows it behind one blank and the information
// line says the database was changed (R1741).
void changeDatabase(JobContext& ctx, PathDialog& dialog);

// Asks whether to choose a database now (R1781 R0558! / R1782?, Yes/No,
// warning icon). No: answers nullopt, the program ends. Yes: shows the path
// dialog; only its text box counts, not how it was closed. An empty text box
// answers nullopt; any other text is answered as it stands.
std::optional<std::string> askForDatabasePath(JobContext& ctx, PathDialog& dialog);

// A bare file name ("bok.db") in the current folder, as an absolute path;
// any path holding a folder separator is answered unchanged.
std::string inCurrentFolder(const std::string& path);

}  // namespace vexla
