// The durable file steps: a change of a folder counts only once the disk
// confirms it, so one it does not confirm is a failure though it was made.
#include "common/file_writing.h"

#include <cerrno>
#include <functional>

#include <gtest/gtest.h>

#include "common/posix_file_system.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using testing::FaultyFileSystem;
using testing::TempFolder;

TEST(DurableSteps, AChangeTheDiskDoesNotConfirmIsAFailure) {
    struct Step {
        const char* name;
        std::function<Status(FileSystem&, const TempFolder&)> take;
        std::vector<std::string> left;  // the folder's names after the step
    };
    for (const Step& step :
         {Step{"remove", [](FileSystem&f, const TempFolder&d) { return removeDurably(f, d.file("a")); }, {}},
          Step{"rename",
               [](FileSystem&f, const TempFolder&d) { return renameDurably(f, d.file("a"), d.file("b")); },
               {"b"}}}) {
        SCOPED_TRACE(step.name);
        TempFolder dir;
        dir.write("a", "bytes");
        FaultyFileSystem files;
        files.failCall("syncFolder", 1, fileError(EIO, dir.path() + "/", fileop::Sync));
        const Status taken = step.take(files, dir);
        ASSERT_FALSE(taken.ok());
        EXPECT_EQ(taken.error().number, fserr::PathFileAccess);
        EXPECT_EQ(dir.list(), step.left);
    }
}

}  // namespace
}  // namespace vexla
