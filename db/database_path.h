// What the system says about a database path before and after the engine
// tries it: each refusal named for what it is (missing, denied to this user,
// no regular file, a loop of links, too long, no database), never the
// engine's catch-all 3051 where the real cause can be told.
#pragma once

#include <optional>
#include <string>

#include "common/result.h"

namespace vexla::db {

// Why `path` cannot be opened as a database file, judged from the file
// system alone (and the engine's longest path); nothing when it names a
// non-empty regular file whose journal, log and shared-memory names hold no
// other kind of file.
std::optional<Error> refusalOfPath(const std::string& path);

// Why the engine could not open a file refusalOfPath let through: the file
// may not be read by this user, else 3051. It asks the system, without
// opening the file: a descriptor of our own, closed, would drop the locks
// of this process's other connections to it.
Error unopenedFile(const std::string& path);

// Why `path` is no database file at all: refusalOfPath, a file this user
// may not read, or 3343 for a file that is no SQLite database. A database
// whose content is damaged is a database file. Read as the backups are
// read: no lock taken, no journal looked for, nothing written.
std::optional<Error> refusalAsDatabaseFile(const std::string& path);

}  // namespace vexla::db
