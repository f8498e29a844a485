// The window system's open and save file dialogs, described by the same
// record the dialog procedure fills (an open-file-name record): a
// NUL-separated filter list, a blank-padded file buffer, initial folder,
// title and option bits. The host honours the option bits listed below and
// answers true with the chosen full path in `file`, or false on cancel.
#pragma once

#include <cstdint>
#include <string>

namespace vexla {

namespace ofn {
constexpr std::uint32_t OverwritePrompt = 0x2;
constexpr std::uint32_t HideReadOnly = 0x4;
constexpr std::uint32_t PathMustExist = 0x800;
constexpr std::uint32_t FileMustExist = 0x1000;
constexpr std::uint32_t CreatePrompt = 0x2000;
constexpr std::uint32_t Explorer = 0x80000;
constexpr std::uint32_t LongNames = 0x200000;
}  // namespace ofn

struct OpenFileName {
    std::string filter;     // "desc\0pattern\0...\0" ending with an empty entry
    std::string file;       // in: default name padded with blanks; out: chosen path
    int maxFile = 255;      // the chosen path must fit in maxFile - 1 characters
    std::string fileTitle;  // in: blanks; out: the chosen file's name
    int maxFileTitle = 255;
    std::string initialDir;
    std::string title;
    std::uint32_t flags = 0;
    int filterIndex = 1;  // in: the file type shown first; out: the type chosen (1-based, as the filter lists them)
};

class FileDialogHost {
public:
    virtual ~FileDialogHost() = default;
    virtual bool getOpenFileName(OpenFileName& ofn) = 0;
    virtual bool getSaveFileName(OpenFileName& ofn) = 0;
};

}  // namespace vexla
