#include "common/open_save_dialog.h"

#include <algorithm>

#include "common/platform.h"
#include "common/result.h"

namespace vexla {

namespace {

// Characters, not bytes: the buffer is counted in the dialog's characters,
// and a UTF-8 continuation byte starts none.
std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The default name padded with blanks to the buffer's size; a name too long
// for the buffer would need a negative number of blanks.
Result<std::string> fileBuffer(const std::string& defaultName) {
    const std::size_t length = characterCount(defaultName);
    if (length > kDialogFileBuffer) return Error{5, "Invalid procedure call or argument", "Vexla Admin"};
    return defaultName + std::string(kDialogFileBuffer - length, ' ');
}

void reportFailure(MessageBoxes& messages, const Error& e) {
    messages.show(std::to_string(e.number) + "\r\nFel har uppstått! Kontakta Trevanto\r\n" + e.description +
                      "\r\nFunktioner.OpenSaveDialog ",
                  kProgramTitle, MsgIcon::None, MsgButtons::Ok);
}

}  // namespace

std::string dialogFilter(const std::string& filter) {
    std::string list = filter;
    if (list.empty() || list.back() != '|') list += '|';
    std::replace(list.begin(), list.end(), '|', '\0');
    return list;
}

std::string OpenSaveDialog(FileDialogHost& form, MessageBoxes& messages, std::int16_t saveMode, std::uint32_t flags,
                           const std::string& filter, const std::string& title, const std::string& initialDir,
                           const std::string& defaultName, int* filterIndex) {
    OpenFileName ofn;
    ofn.filter = dialogFilter(filter);
    Result<std::string> file = fileBuffer(defaultName);
    if (!file) {
        reportFailure(messages, file.error());
        return {};
    }
    ofn.file = std::move(*file);
    ofn.maxFile = 255;
    ofn.fileTitle = std::string(kDialogFileBuffer, ' ');
    ofn.maxFileTitle = 255;
    ofn.initialDir = initialDir;
    ofn.title = title;
    ofn.flags = flags;
    if (filterIndex) ofn.filterIndex = *filterIndex;

    const bool chosen = saveMode != 0 ? form.getSaveFileName(ofn) : form.getOpenFileName(ofn);
    if (!chosen) return {};
    if (filterIndex) *filterIndex = ofn.filterIndex;
    return ofn.file.substr(0, ofn.file.find('\0'));
}

}  // namespace vexla
