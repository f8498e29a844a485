// Modal message boxes and the system beep, as the jobs use them. The jobs
// never call a toolkit directly: a window-system implementation, a
// log-writing one for the unattended job, and a scripted one for tests all
// sit behind this interface.
#pragma once

#include <string>

namespace vexla {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
// YesNoDefaultNo: Yes and No with No the default, for a question whose Yes
// deletes or replaces something (Enter must not do it).
enum class MsgButtons { Ok, YesNo, YesNoCancel, YesNoDefaultNo };
enum class MsgAnswer { Ok, Yes, No, Cancel };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows text with the given title, icon and buttons and waits for the
    // answer. Closing the box without a button answers Cancel (or No for
    // Yes/No, Ok for Ok), the way the window system does.
    virtual MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) = 0;
    virtual void beep() = 0;
};

}  // namespace vexla
