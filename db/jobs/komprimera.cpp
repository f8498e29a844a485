#include "db/jobs/komprimera.h"

#include <map>

#include "db/errors.h"
#include "db/jobs/durable_files.h"
#include "db/jobs/testa_exklusiv.h"

namespace vexla {

namespace {

// The destination locale the compacted database is written with.
constexpr const char* kCompactLocale = ";LANGID=0x041D;CP=1252;COUNTRY=0";

using RowCounts = std::map<std::string, long>;

Result<RowCounts> countRows(db::DBEngine& engine, const std::string& path) {
    auto opened = engine.OpenDatabase(path, true);
    if (!opened) return opened.error();
    db::Database& database = **opened;
    auto tables = database.TableNames();
    if (!tables) return tables.error();
    RowCounts counts;
    for (const std::string& table : *tables) {
        auto n = database.TableRecordCount(table);
        if (!n) return n.error();
        counts[table] = *n;
    }
    if (auto s = database.Close(); !s) return s.error();
    return counts;
}

// Whether the compacted file is whole: a full integrity check and, for every
// table of the work copy, the same number of rows. A whole file is answered
// still open for exclusive use, so it stays locked when it takes the
// database's place.
Result<std::unique_ptr<db::Database>> verify(db::DBEngine& engine, const std::string& path,
                                             const RowCounts& expected) {
    auto opened = engine.OpenDatabase(path, true);
    if (!opened) return opened.error();
    db::Database& database = **opened;
    Status s = database.CheckIntegrity();
    for (auto it = expected.begin(); s && it != expected.end(); ++it) {
        auto n = database.TableRecordCount(it->first);
        if (!n)
            s = n.error();
        else if (*n != it->second)
            s = db::corrupt(path + ": " + it->first + " " + std::to_string(*n) + " <> " +
                            std::to_string(it->second));
    }
    if (s) return std::move(*opened);
    (void)database.Close();
    return s.error();
}

// `name`, or when that is taken the first free of "name.1", "name.2", ...:
// a file set aside never replaces one set aside earlier.
std::string unusedName(FileSystem& files, const std::string& name) {
    std::string free = name;
    for (int n = 1; files.exists(free); ++n) free = name + "." + std::to_string(n);
    return free;
}

// Moves an unverified result beside the database under a name that says so.
Status setAside(FileSystem& files, const std::string& result, const std::string& path, std::string& aside) {
    aside = unusedName(files, path + ".unverified");
    return renameDurably(files, result, aside);
}

// A journal beside the database may hold changes the file itself does not.
// The exclusive-use test's opening has already rolled a hot journal back and
// folded a write-ahead log in; what is still there holds nothing the engine
// would apply. It must not stay beside the compacted file (it would be taken
// for that file's journal), and it is the user's file: it is renamed aside
// and the activity log says where.
Status setJournalsAside(JobContext& ctx, const std::string& path) {
    FileSystem& files = ctx.platform.files;
    for (const char* suffix : {"-journal", "-wal"}) {
        const std::string journal = path + suffix;
        if (!files.exists(journal)) continue;
        const std::string aside = unusedName(files, journal + ".old");
        if (auto s = renameDurably(files, journal, aside); !s) return s;
        ctx.main.Logg(ctx.text("R9052") + ": " + aside);
    }
    return {};
}

// Room for the backup, the work copy and the result, each at most the
// database's size.
Status checkSpace(JobContext& ctx, const std::string& path, const std::string& folder) {
    auto size = ctx.platform.files.fileSize(path);
    if (!size) return size.error();
    auto free = ctx.platform.files.availableBytes(folder);
    if (!free) return free.error();
    const std::uint64_t needed = 3 * *size;
    if (*free >= needed) return {};
    constexpr std::uint64_t MB = 1024 * 1024;
    return Error{fserr::DiskFull,
                 ctx.text("R9051") + ": " + std::to_string((needed + MB - 1) / MB) + " MB / " +
                     std::to_string(*free / MB) + " MB",
                 "Vexla Admin"};
}

// The database path never stands empty and never holds a file this job has
// not locked: the test's connection keeps the database locked while it is
// copied, the compacted file is written under a name of its own and locked
// by its check, and one rename puts it in the database's place. A program
// that opens the database by itself, without our fence (a plain SQLite
// client), is refused from the test to the end; one that opened the old
// file and waited for its lock finds it replaced, which SQLite refuses to
// write to. Until that rename the database is the file it was, so a failure
// or a kill at any step leaves it whole where it was.
Status compact(JobContext& ctx, ExclusiveHold& hold) {
    AdminState& state = ctx.main.state();
    FileSystem& files = ctx.platform.files;
    db::DBEngine& engine = ctx.main.engine();
    const std::string& path = state.DataBas;
    const std::string backup = ctx.inDatabaseFolder(backupName(ctx.platform.clock.now()));
    const std::string work = ctx.inDatabaseFolder(kWorkCopyName);
    const std::string result = path + kCompactedSuffix;

    if (auto s = setJournalsAside(ctx, path); !s) return s;
    if (auto s = checkSpace(ctx, path, state.msSökväg); !s) return s;
    if (auto s = copyDurably(files, path, backup); !s) return s;
    if (auto s = copyDurably(files, path, work); !s) return s;
    if (state.Kommandorad) ctx.main.Logg(ctx.text("R1759") + ": " + ctx.now());

    auto counts = countRows(engine, work);
    if (!counts) return counts.error();
    // A result left by a run that was cut off before its rename: the
    // database was still the whole file then, so the leftover is redundant.
    if (files.exists(result)) {
        if (auto s = files.removeFile(result); !s) return s;
    }
    if (auto s = engine.CompactDatabase(work, result, kCompactLocale); !s) return s;
    auto compacted = verify(engine, result, *counts);
    if (!compacted) {
        std::string aside;
        if (auto moved = setAside(files, result, path, aside); !moved) return moved;
        const Error& e = compacted.error();
        return Error{e.number, e.description + "\r\n" + ctx.text("R9050") + ": " + aside, e.source};
    }
    if (auto s = renameDurably(files, result, path); !s) {
        (void)(*compacted)->Close();
        return s;
    }
    // The replaced file's connection goes first: while the new file is still
    // locked, nobody can have made a journal beside it that the old
    // connection's closing could take for its own.
    (void)hold.connection->Close();
    if (state.Kommandorad) ctx.main.Logg(ctx.text("R1760") + ": " + ctx.now());
    Status s = removeDurably(files, work);
    (void)(*compacted)->Close();
    return s;
}

}  // namespace

std::string backupName(const DateTime& day) { return "Vexla" + formatPicture(day, "yyyy-MM-dd") + ".db"; }

bool cmdKomprimera_Click(JobContext& ctx) {
    // Held, connection and fence, until the job has ended either way.
    auto hold = testAndHold(ctx, "");
    if (!hold) return false;
    AdminState& state = ctx.main.state();
    ctx.main.setInfo(ctx.text("R1749") + "...");
    ctx.platform.pointer.setBusy(true);
    if (state.Kommandorad) ctx.main.Logg(ctx.text("R1758") + ": " + state.DataBas + " " + ctx.now());

    const Status s = compact(ctx, *hold);
    (void)hold->connection->Close();
    ctx.platform.pointer.setBusy(false);
    if (!s) {
        ctx.platform.messages.show(numberAndDescription(s.error()) + " Rad: 0", kProgramTitle, MsgIcon::None,
                                   MsgButtons::Ok);
        ctx.main.setInfo("");
        return false;
    }
    ctx.main.setInfo(ctx.text("R1761"));
    return true;
}

}  // namespace vexla
