// The toolkit's standard buttons (Yes, No, OK, Cancel) captioned from the
// language file: the toolkit brings no Swedish of its own for them.
#pragma once

class QDialog;
class QFileDialog;
class QMessageBox;

namespace vexla {

class TextSource;

// Captions the box's Yes, No, OK and Cancel buttons (those it has) with the
// language texts R9012, R9013, R0898 and R1048; a code the file lacks
// leaves the toolkit's caption.
void captionStandardButtons(QMessageBox& box, TextSource& texts);

// Captions the file dialog's cancel button with R1048.
void captionCancelButton(QFileDialog& dialog, TextSource& texts);

}  // namespace vexla
