// Where the dialogs that choose a register file (the export's save dialog,
// the mapping dialog's open dialog) start: in the folder the user last chose
// a file of that register in, remembered per user and per register.
#pragma once

#include <string>
#include <string_view>

#include "common/platform.h"

namespace vexla {

// The folder a register file dialog starts in: the folder remembered for
// `registerName` ("Kund", "Resurser", "Bokningar") while it still exists;
// else the program folder, where the booking system's files have always
// been, when the user may write there; else `databaseFolder` (msSökväg),
// since an installed program's folder belongs to the system, not the user.
// The program folder too when there is no database folder.
std::string registerFileFolder(Platform& platform, std::string_view registerName, const std::string& databaseFolder);

// Remembers the folder of `path`, a file chosen in a register file dialog,
// for `registerName`. A path without a folder of its own is not remembered.
void rememberRegisterFolder(Platform& platform, std::string_view registerName, const std::string& path);

}  // namespace vexla
