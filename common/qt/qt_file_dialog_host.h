// The open and save file dialogs on Qt Widgets: Qt's own (not the desktop's
// native) file dialog, modal, owned by the calling window, carrying out the
// option bits of the dialog record.
//
//   OverwritePrompt  save: Qt asks before an existing file is replaced;
//                    without the bit an existing file is taken at once.
//   FileMustExist    open: only an existing file is taken (Qt says so when
//                    the typed file is missing, and the dialog stays).
//   PathMustExist    the folder of the chosen path must exist; otherwise
//                    R9010 and the folder are shown and the dialog stays.
//   CreatePrompt     a chosen file that does not exist is taken only after
//                    the user answers Yes to R9011 (in either mode, unless
//                    FileMustExist already refuses it).
//   HideReadOnly     nothing to do: Qt's dialog has no read-only box.
//   Explorer, LongNames  no effect: the dialog always looks and works so.
//
// A chosen path longer than maxFile - 1 characters does not fit the
// caller's buffer: the call fails as if cancelled. The answer is the full
// path with "/" separators.
#pragma once

#include <QStringList>

#include "common/platform/file_dialog_host.h"
#include "common/platform/text_source.h"

class QWidget;

namespace vexla {

class QtFileDialogHost final : public FileDialogHost {
public:
    // `owner` is the window the dialogs are modal to (may be null); the
    // texts of its own messages come from `texts`. Both must outlive the host.
    QtFileDialogHost(QWidget* owner, TextSource& texts);

    bool getOpenFileName(OpenFileName& ofn) override;
    bool getSaveFileName(OpenFileName& ofn) override;

private:
    bool run(OpenFileName& ofn, bool save);

    QWidget* owner_;
    TextSource& texts_;
};

// The record's NUL-separated list of descriptions and patterns as Qt name
// filters, "description (pattern pattern)": patterns separated by ";" are
// separated by blanks, "*.*" becomes "*", and a description that already
// ends with its patterns in parentheses keeps them once. The list ends at
// its first empty description; a description without a pattern is dropped.
QStringList qtNameFilters(const std::string& filterList);

}  // namespace vexla
