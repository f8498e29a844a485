#pragma once

namespace vexla::testing {

// Makes the one QApplication a widget test needs (offscreen under ctest).
void ensureQApplication();

}  // namespace vexla::testing
