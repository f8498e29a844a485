// Shared pieces of the language-text tests: a scratch folder, a Lang.ini
// written from UTF-8 lines, and message boxes that record what they show.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/cp1252.h"
#include "common/platform/message_boxes.h"

namespace vexla::testing_support {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexla-texts-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes `lines` (UTF-8) as a Windows-1252 file with CR LF line ends.
inline void writeLangIni(const std::string& path, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += utf8ToCp1252(line) + "\r\n";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class RecordingMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        std::string title;
        MsgIcon icon;
        MsgButtons buttons;
    };
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override {
        shown.push_back({text, title, icon, buttons});
        return MsgAnswer::Ok;
    }
    void beep() override { ++beeps; }

    std::vector<Shown> shown;
    int beeps = 0;
};

}  // namespace vexla::testing_support
