#include "tests/support/qt_app.h"

#include <QApplication>

namespace vexla::testing {

void ensureQApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "vexla-test", *argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

}  // namespace vexla::testing
