// The engine layer's own file steps, those SQLite does not take for it: the
// fence's lock file and the snapshot's scratch file. A test hooks them to
// fail, kill or stop a job at each, as it does SQLite's steps through a VFS
// and the file system's through FileSystem.
#pragma once

#include <functional>

namespace vexla::db {

// From now on, before each such step, `hook` hears its name ("lock file
// open", ...) and answers 0 to take it, or the errno the step then fails
// with. An empty hook takes every step (the program never sets one).
void onEngineStep(std::function<int(const char* step)> hook);

// The hook's answer for `step`: 0, or an errno, which errno is then set to.
[[nodiscard]] int engineStep(const char* step);

}  // namespace vexla::db
