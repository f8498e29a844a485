// The language texts: every visible text of the program comes from the
// installed Lang.ini by text code (section [System], one key per code).
// Windows apply their texts when they load with SetTextOfForm; code that
// builds a message asks for each piece with TextTillAndra. Lang.ini is read
// once, at the first text asked for, and kept: a changed file counts from
// the next start of the program. A Lang.ini passed over (no regular file,
// larger than 1 MB, UTF-16 or UTF-32: common/ini_file.h) reads as missing:
// every text is empty.
//
// Each operation catches the failures of its own work and reports them in
// a message box (OK only, no icon, the program's title): the text of R0030,
// " ", the error number, " (", the description and ") in procedure <name>
// in Module mTexter". The answer is then empty or false, and the program
// goes on.
#pragma once

#include <optional>
#include <string>

#include "common/ini_file.h"
#include "common/platform/message_boxes.h"
#include "common/platform/text_source.h"
#include "common/result.h"
#include "texts/text_control.h"
#include "texts/text_form.h"

namespace vexla {

class mTexter : public TextSource {
public:
    // Buffer sizes of the reads: a text by itself, a caption piece, a
    // tooltip. A read gives at most one character less than its buffer.
    static constexpr int kTextBuffer = 255;
    static constexpr int kCaptionBuffer = 500;
    static constexpr int kToolTipBuffer = 2000;

    // Reads texts from the Lang.ini at `langIniPath` (langIniPath() in
    // texts/kompilerad.h gives the installed one) and reports failures
    // through `messages`, which must outlive this object.
    mTexter(std::string langIniPath, MessageBoxes& messages);

    // The text of one code, at most 254 characters. An empty code gives ""
    // without reading; a code missing from the file, or a missing file,
    // gives "". A file that is there but cannot be read is reported (in
    // procedure TextTillAndra) and gives "".
    std::string TextTillAndra(const std::string& code) override;

    // Applies the window's texts: when the window's tag is not empty its
    // title becomes the text of that code, also when that text is empty;
    // then each control with a non-empty tag, in control order, gets its
    // texts through TextTillControl (tooltipForInput true). A control that
    // fails reports itself and the next control goes on. Answers true, or
    // false after the title could not be set (reported in procedure
    // SetTextOfForm; no control is then touched).
    bool SetTextOfForm(TextForm& form);

    // Applies the texts named by `tag` (grammar in texts/text_tag.h) to one
    // control. The caption is the text of the caption code (at most 499
    // characters) followed by the text of the second code (at most 499),
    // unless that one begins with "<<SAKNAS>>". A non-empty caption goes to
    // the caption of a Caption control, to the tooltip of an Input control
    // when tooltipForInput is true, nowhere for Tabs. Then a non-empty text
    // of the tooltip code (at most 1999 characters) becomes the tooltip,
    // replacing one set just before. An empty text never replaces what the
    // control shows. Answers false at once for an empty tag, false after a
    // failure (reported in procedure TextTillControl; the control's
    // remaining texts are not applied), true otherwise.
    bool TextTillControl(TextControl& control, const std::string& tag, bool tooltipForInput);

    const std::string& langIniPath() const { return path_; }

private:
    Result<std::string> read(const std::string& code, int bufferSize);
    void report(const Error& error, const char* procedure);

    std::string path_;
    std::optional<Result<IniFile>> file_;  // read at the first text
    MessageBoxes& messages_;
    bool reporting_ = false;  // a failing R0030 read inside a report stays silent
};

// The language of the installed language file: "se" when its R0692 is the
// Swedish "Kontakta Trevanto.", "en" for anything else (no file included).
std::string languageOfTexts(TextSource& texts);

// `percent` as the language of `texts` writes a share: "25 %" with a
// no-break space in Swedish (the number never parts from its sign at a line
// end), "25%" in English. The window's bar and the terminal's both use it.
std::string percentText(int percent, TextSource& texts);

}  // namespace vexla
