// The last two steps of writing a file durably under a temporary name: give
// it the mode and owner of the file it stands for, and rename it into place
// without replacing anything. Shared by the file system's new files and the
// engine's compacted database, which SQLite itself writes.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vexla {

// Gives the open file `fd` the owner and group `owner` (when given) and
// then `mode`, as far as the system lets this process give them away: a
// group that cannot be given takes the group's permission bits with it, so
// the file is never open to more people than the one it stands for. The
// owner goes first, as giving a file away clears its set-id bits. Answers 0
// or the errno of a failed chmod; `ownerKept` (when given) learns whether
// owner and group were both given.
[[nodiscard]] int giveModeAndOwner(int fd, unsigned mode, const std::optional<std::pair<unsigned, unsigned>>& owner,
                                   bool* ownerKept = nullptr);

// Renames `temp` to `target` unless something stands at `target`: 0, or the
// errno (EEXIST when the name is taken). On a file system without
// RENAME_NOREPLACE a hard link, which never replaces either, stands in.
[[nodiscard]] int renameWithoutReplacing(const std::string& temp, const std::string& target);

}  // namespace vexla
