// The two dialogs of the maintenance jobs as the jobs see them. The Qt
// windows implement these; tests script them.
#pragma once

#include <string>

#include "common/datetime.h"

namespace vexla {

// The database path dialog. It starts from the main window's path label.
class PathDialog {
public:
    virtual ~PathDialog() = default;
    // Loads the dialog (its text box filled with startPath, trimmed of
    // blanks), shows it modally and answers when it is hidden. The answer is
    // the dialog's tag: "Ok" when confirmed, "" when cancelled.
    virtual std::string showModal(const std::string& startPath) = 0;
    // The text box as the user left it.
    virtual std::string txtSökväg() const = 0;
    // Unloads the dialog; the next showModal loads it afresh.
    virtual void unload() = 0;
};

// The interval dialog of the copy job. Its values stay readable after it is
// hidden, until it is unloaded.
class IntervalDialog {
public:
    virtual ~IntervalDialog() = default;
    // Loads (when not loaded) and shows the dialog modally. Answers its tag:
    // "OK" when confirmed, "Avbryt" when cancelled, "" when closed by the
    // window's close box.
    virtual std::string showModal() = 0;
    virtual DateTime DTPStartTid() const = 0;
    virtual DateTime DTPSlutTid() const = 0;
    virtual void unload() = 0;
};

}  // namespace vexla
