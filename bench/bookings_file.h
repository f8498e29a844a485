// The bookings of a database written as a register file, the way the export
// writes it: the file the import benchmarks read.
#pragma once

#include <string>

#include "common/posix_file_system.h"
#include "db/sqlite_engine.h"
#include "registers/register_file_writer.h"
#include "registers/register_kind.h"

namespace vexla::bench {

// Writes the bookings of the database at `dbPath` to `file` (Swedish
// captions, ";" between fields, CR LF); false when any step fails.
inline bool writeBookingsFile(const std::string& dbPath, const std::string& file) {
    db::SqliteEngine engine;
    auto db = engine.OpenDatabase(dbPath, true);
    if (!db) return false;
    auto rs = (*db)->OpenRecordset(registerByName("Bokningar")->exportQuery);
    PosixFileSystem files;
    auto out = files.createFile(file, Placement{});
    return rs && out && writeRegisterFile(**rs, **out, "se", ValueTextFormat{}) && (*out)->commit();
}

}  // namespace vexla::bench
