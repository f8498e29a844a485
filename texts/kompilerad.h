// Whether the program runs as an installed build, and so where its
// language file lies. An installed program keeps Lang.ini in bin/ below its
// own folder; a development build runs from the build tree, whose program
// folder has the bin/ folder beside it. The build setting VEXLA_KOMPILERAD
// decides which.
#pragma once

#include <string>

namespace vexla {

// True for an installed build, false for a development build. Never fails.
bool Kompilerad();

// The Lang.ini the program reads: programFolder + "/bin/Lang.ini" when
// Kompilerad() is true, else programFolder + "/../bin/Lang.ini".
// `programFolder` has no trailing separator. Never fails; the file need not
// exist.
std::string langIniPath(const std::string& programFolder);

}  // namespace vexla
