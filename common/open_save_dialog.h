// The one way the program asks the user for a file: the window system's
// open-file or save-file dialog, modal to the calling window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/platform/file_dialog_host.h"
#include "common/platform/message_boxes.h"

namespace vexla {

// The largest default name the dialog's file buffer holds, in characters.
inline constexpr std::size_t kDialogFileBuffer = 254;

// Shows the open dialog (saveMode 0) or the save dialog (any other
// saveMode; callers pass -1) through `form`, the host that owns the dialog
// for the calling window, and answers the chosen full path, or "" when the
// user cancelled or the dialog failed (a chosen path longer than 254
// characters among them).
//
// `flags` are the ofn:: option bits, handed over unchanged. `filter` holds
// pairs of description and pattern, each followed by "|" ("Files
// (*.skv)|*.skv|"); the final "|" may be left out. `defaultName` may be
// empty; the dialog starts in `initialDir` under `title`.
//
// A default name longer than 254 characters cannot be padded into the file
// buffer: that is runtime error 5, "Invalid procedure call or argument",
// shown through `messages` in a box with an OK button and no icon as the
// number, CR LF, "Fel har uppstått! Kontakta Trevanto", CR LF, the
// description, CR LF and "Funktioner.OpenSaveDialog ". The result is then "".
// `filterIndex`, when given, holds the file type shown first (1-based) and
// receives the one the user chose.
std::string OpenSaveDialog(FileDialogHost& form, MessageBoxes& messages, std::int16_t saveMode, std::uint32_t flags,
                           const std::string& filter, const std::string& title, const std::string& initialDir,
                           const std::string& defaultName, int* filterIndex = nullptr);

// The filter as the dialog record wants it: a "|" appended when the last
// character is not one, then every "|" replaced by NUL, so that the list
// ends in an empty entry.
std::string dialogFilter(const std::string& filter);

}  // namespace vexla
