// Whether a database file can be replaced by a rename and still be the
// file it was for everyone who uses it, or must have new content written
// back into it: what a careful editor asks before it saves by renaming.
#pragma once

#include <string>

namespace vexla {

// How a compaction puts its result in the database's place.
enum class CompactionWay {
    Rename,     // the compacted file is renamed over the real file
    WriteBack,  // the compacted content is written back into the file itself
    Refused,    // neither keeps the file's owner, group and mode
};

struct WayChosen {
    CompactionWay way = CompactionWay::Refused;
    // The real file: every symbolic link on the way resolved.
    std::string file;
    // Why the rename would not keep the file (a text code, "" for Rename).
    std::string reason;
};

// Chooses for the database file `path` (which may be a symbolic link).
// Rename only where the renamed file keeps everything the old one had and
// nobody keeps the old one: this process may give the file its owner and
// group (root, or the owner with the file's group among its groups), the
// file has one name, no extended attributes or ACL, its folder may be
// written, and no other process has it open (its descriptors under /proc;
// one that cannot be read counts as open). Otherwise WriteBack, which
// needs only that the file may be written; Refused when it may not. Reads
// the file system only; an unreadable file is Refused with R9305.
WayChosen chooseCompactionWay(const std::string& path);

// Whether another process has the file (dev, ino) open: 1 yes, 0 no, -1
// cannot be known (a process's descriptors could not be read).
int openedElsewhere(unsigned long dev, unsigned long ino);

// Whether this process has the file (dev, ino) open itself.
bool openedHere(unsigned long dev, unsigned long ino);

}  // namespace vexla
