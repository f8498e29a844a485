// What every maintenance job works with: the main window (its state, its
// information line, its log), the platform, the language texts and the
// locale formats. Handed to each job whole.
#pragma once

#include <string>

#include "common/paths.h"
#include "common/platform.h"
#include "common/platform/text_source.h"
#include "common/result.h"
#include "session/admin_state.h"

namespace vexla {

struct JobContext {
    AdminWindow& main;
    Platform& platform;
    TextSource& texts;
    // The compaction checks its result with the full integrity check
    // instead of the quick check and the counts alone.
    bool fullCheck = false;

    std::string text(const std::string& code) const { return texts.TextTillAndra(code); }
    // The current date and time as the system writes a date-time value.
    std::string now() const;
    // A failure's number and description, a file error naming its file and
    // what was done to it in the user's language.
    Error described(const Error& e) const;
    std::string inDatabaseFolder(const std::string& name) const {
        return main.state().msSökväg + kPathSeparator + name;
    }
};

// "Error number" CR LF "description": the head of most job failure messages.
std::string numberAndDescription(const Error& e);

}  // namespace vexla
