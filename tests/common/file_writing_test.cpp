// Renaming and removing durably: the step itself, then the sync of the
// folder that records it, and a failure of either is the answer.
#include "common/file_writing.h"

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using testing::FaultyFileSystem;
using testing::TempFolder;

TEST(FileWriting, RenameAndRemoveSyncTheFolderAndAnswerItsFailure) {
    struct Case {
        const char* name;
        const char* failing;  // the call that fails, or ""
        bool renames;
    };
    const Error refused{75, "I/O error", "Vexla Admin"};
    for (const Case c : {Case{"Rename", "", true}, Case{"RenameSyncFails", "syncFolder", true},
                         Case{"RenameFails", "renameFile", true}, Case{"Remove", "", false},
                         Case{"RemoveSyncFails", "syncFolder", false}}) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        FaultyFileSystem files;
        if (*c.failing) files.failCall(c.failing, 1, refused);
        const std::string from = dir.write("a.db", "a"), to = dir.file("b.db");
        const Status s = c.renames ? renameDurably(files, from, to) : removeDurably(files, from);
        EXPECT_EQ(s ? 0L : s.error().number, *c.failing ? refused.number : 0L);
        EXPECT_EQ(files.calls("syncFolder"), std::string(c.failing) == "renameFile" ? 0 : 1);
        EXPECT_EQ(dir.list(), c.renames && std::string(c.failing) != "renameFile" ? std::vector<std::string>{"b.db"}
                              : c.renames                                         ? std::vector<std::string>{"a.db"}
                                                                                  : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace vexla
