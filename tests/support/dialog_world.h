// A dialog under test in a scratch program folder: the scripted platform,
// the texts of the folder's Lang.ini (which the test writes) and the one
// QApplication that widgets need.
#pragma once

#include "common/platform.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"
#include "texts/mtexter.h"

namespace vexla::testing {

struct DialogWorld {
    DialogWorld() { ensureQApplication(); }

    TempFolder dir;
    FakePlatform fakes;
    Platform platform = fakes.platform(dir.path());
    mTexter texts{dir.file("Lang.ini"), fakes.messages};
};

}  // namespace vexla::testing
