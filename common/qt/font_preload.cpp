#include "common/qt/font_preload.h"

#include <fontconfig/fontconfig.h>

namespace vexla {

// FcInit makes the configuration the process's current one, which the
// toolkit's font database takes as it is. A failure leaves nothing behind:
// the toolkit then tries again and says what it found.
FontPreload::FontPreload() : thread_([] { FcInit(); }) {}

FontPreload::~FontPreload() { wait(); }

void FontPreload::wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace vexla
