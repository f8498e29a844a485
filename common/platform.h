// The platform a job runs on, handed to it whole. Each member is a small
// interface with a real implementation (window system, POSIX) and a
// scripted one in the tests, so a job can be driven end to end and any step
// made to fail.
#pragma once

#include <string>

#include "common/platform/clock.h"
#include "common/platform/file_dialog_host.h"
#include "common/platform/file_system.h"
#include "common/platform/folder_memory.h"
#include "common/platform/locale_info.h"
#include "common/platform/message_boxes.h"
#include "common/platform/mouse_pointer.h"
#include "common/platform/system_log.h"

namespace vexla {

struct Platform {
    MessageBoxes& messages;
    FileDialogHost& fileDialogs;
    MousePointer& pointer;
    Clock& clock;
    LocaleInfo& locale;
    FileSystem& files;
    std::string programFolder;                     // folder of the executable, without a trailing separator
    FolderMemory& folders = FolderMemory::none();  // where the user's file dialogs last were
    SystemLog& systemLog = SystemLog::none();      // where the activity log's lines are mirrored
};

// The title that captions the program's message boxes.
inline constexpr const char* kProgramTitle = "Vexla Admin";

}  // namespace vexla
