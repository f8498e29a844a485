// The one line that says a settings file (Vexla.ini, Lang.ini) was passed
// over, and why. It is the only text of the programs not taken from
// Lang.ini: the language file itself may be the one not read. Fixed English,
// so that an administrator can search for it:
//
//   vexla-admin: bin/Lang.ini not read: larger than 1 MB
#pragma once

#include <cstdio>
#include <string>

#include "common/platform/system_log.h"

namespace vexla {

// From now on, a settings file passed over is told as `program` (the
// program's name as invoked) on `err` and in `log` at Warning, once per
// path in the run, the path shown relative to `programFolder` where it lies
// below or beside it. `log` must outlive every read; until this is called
// (tests, tools) nothing is told.
void tellUnreadSettingsAs(const std::string& program, const std::string& programFolder, std::FILE* err, SystemLog& log);

// Tells that the settings file `path` was passed over because of `reason`.
void tellUnreadSettings(const std::string& path, const std::string& reason);

// The line told for `path`, shown relative to `programFolder` ("bin/Lang.ini",
// "../bin/Lang.ini" for a development build), as the program `program`.
std::string unreadSettingsLine(const std::string& program, const std::string& programFolder, const std::string& path,
                               const std::string& reason);

}  // namespace vexla
