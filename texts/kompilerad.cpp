#include "texts/kompilerad.h"

#ifndef VEXLA_KOMPILERAD
#error "VEXLA_KOMPILERAD must be defined to 0 or 1 by the build"
#endif

namespace vexla {

bool Kompilerad() { return VEXLA_KOMPILERAD != 0; }

std::string langIniPath(const std::string& programFolder) {
    return programFolder + (Kompilerad() ? "/bin/Lang.ini" : "/../bin/Lang.ini");
}

}  // namespace vexla
