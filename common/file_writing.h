// The file steps the jobs share, on top of FileSystem::createFile: a copy
// put in place whole, a durable rename and delete, and the words of a file
// error in the user's language.
#pragma once

#include <functional>
#include <string>

#include "common/paths.h"
#include "common/platform/file_system.h"
#include "common/platform/notices.h"
#include "common/platform/text_source.h"

namespace vexla {

// Writes the bytes of `from` to `to` as placed; nothing of `to` changes on
// failure. `ownerKept` (when given) learns whether the owner could be given.
// `goOn` (when given) is asked now and then while the bytes are copied; a
// false answer stops the copy (stoppedByUser, nothing of `to` left). A
// temporary file a failure could not remove is told to `notices`.
Status copyDurably(FileSystem& files, const Notices& notices, const std::string& from, const std::string& to,
                   const Placement& placement, bool* ownerKept = nullptr, const std::function<bool()>& goOn = {});

// Closes `file`, abandoned before it took its place: its temporary file is
// removed, and one that cannot be is told to `notices` (txt::FileLeftBehind).
void closeAbandoned(NewFile& file, const Notices& notices);

// Renames `from` over `to` and syncs the folder of `to`.
Status renameDurably(FileSystem& files, const std::string& from, const std::string& to);

// Deletes `path` and syncs its folder.
Status removeDurably(FileSystem& files, const std::string& path);

// The error in the user's language: its description worded by its number
// (errorDescription), completed by what was done to which file for a file
// error: "Disken är full (skriva: /srv/vexla/Vexla2026-12-04.db)". A file
// error without a description of its own (a refusal) becomes "text: file",
// or "text subject: file" when it names whom it refused (Error::subject).
// The answer is marked worded, so describing it again changes nothing.
Error describedFileError(const Error& e, TextSource& texts);

}  // namespace vexla
