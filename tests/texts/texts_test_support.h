// Shared pieces of the language-text tests: a Lang.ini written from UTF-8
// lines, and the shared scratch folder and recording message boxes.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "common/cp1252.h"
#include "tests/support/fake_platform.h"

namespace vexla::testing_support {

using TempFolder = vexla::testing::TempFolder;
using RecordingMessageBoxes = vexla::testing::FakeMessageBoxes;

// Writes `lines` (UTF-8) as a Windows-1252 file with CR LF line ends.
inline void writeLangIni(const std::string& path, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += utf8ToCp1252(line) + "\r\n";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace vexla::testing_support
