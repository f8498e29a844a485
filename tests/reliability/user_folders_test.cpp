// The user's folders: odd path names, links and FIFOs planted where a job
// writes, the mode and owner the maintenance jobs leave, and what killed
// jobs left there.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <ctime>
#include <filesystem>

#include <gtest/gtest.h>

#include "common/cp1252.h"
#include "common/temporary_files.h"
#include "maintenance/compaction.h"
#include "maintenance/database_copy.h"
#include "registers/export_register.h"
#include "tests/db/db_test_support.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using namespace testing;
namespace fs = std::filesystem;

struct OddPath {
    const char* name;
    std::string folder, database, registerFile;
};

void PrintTo(const OddPath& p, std::ostream* os) { *os << p.name; }

class OddPaths : public ::testing::TestWithParam<OddPath> {};

TEST_P(OddPaths, ExportImportAndTheProgramFindTheirFiles) {
    const OddPath& p = GetParam();
    JobWorld w(demoDatabase());
    const std::string folder = w.dir.file(p.folder), db = folder + "/" + p.database;
    const std::string skv = folder + "/" + p.registerFile, again = folder + "/2 " + p.registerFile;
    fs::create_directories(folder + "/bin");
    fs::rename(w.db, db);
    w.platform.programFolder = folder;
    w.window.state_.Språk = "se";
    w.window.state_.DataBas = db;

    JobContext exporting{w.window, w.platform, w.texts};
    w.fakes.dialogs.choices = {skv};
    EXPECT_EQ(exportRegister(exporting, 0).n, 30);
    EXPECT_EQ(w.fakes.dialogs.asked.at(0).initialDir, folder);
    auto held = w.window.engine_.OpenDatabase(db, true);
    ASSERT_TRUE(held.ok());
    const ImportRun run = runImport(**held, "Kund", skv, true);
    (void)(*held)->Close();      // the exports below open the database themselves
    EXPECT_EQ(run.message, "");  // fewer inserted would export other bytes below
    w.fakes.dialogs.choices = {again};
    EXPECT_EQ(exportRegister(exporting, 0).n, 30);
    EXPECT_EQ(fileBytes(again), fileBytes(skv));
    const Tables imported = allRows(db);

    // The program compacts as cron runs it, or the job where a '"' cannot be quoted.
    if (db.find('"') == std::string::npos) {
        for (const char* file : {"/vexla-admin", "/bin/Lang.ini"})
            fs::copy_file(db::testing::programDir() + file, folder + file);
        const int status = runAs(0, [&] {
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
            const int quiet = ::open("/dev/null", O_WRONLY);
            for (int fd : {1, 2}) ::dup2(quiet, fd);
            const std::string exe = folder + "/vexla-admin";
            return ::execl(exe.c_str(), exe.c_str(), "/ak", "/d", db.c_str(), static_cast<char*>(nullptr)), 127;
        });
        const std::string log = fileBytes(folder + "/Logg.txt");
        EXPECT_EQ(status, 0) << log;
        // The log is Windows-1252: what it cannot hold of the path is a "?".
        EXPECT_NE(log.find(utf8ToCp1252(db)), std::string::npos) << log;
    } else {
        w.window.state_.DataBas = db;
        w.window.state_.msSökväg = folder;
        EXPECT_TRUE(compactDatabase(w.ctx).compacted());
    }
    EXPECT_EQ(openAndCheck(db), "");
    EXPECT_EQ(rowsDiff(allRows(db), imported), "");
    int backups = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("Vexla") && name.ends_with(".db") && rowsDiff(allRows(entry.path()), imported).empty())
            ++backups;
    }
    EXPECT_EQ(backups, 1);  // the day's backup, and no work copy
    EXPECT_FALSE(fs::exists(db + ".lock"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, OddPaths,
    ::testing::Values(OddPath{"BlanksAndQuotes", "Vexla 'data' \"2026\"", "bok 'x' \"y\".db", "Kund 'reg' \"1\".skv"},
                      OddPath{"SemicolonsAndMarks", "a;b [c] #d# 100%", "bok;1 [x] %s.db", "Kund;reg #1 %n.skv"},
                      OddPath{"GreekAndJapanese", "Ωμέγα 日本", "Ωμέγα.db", "日本 Kund.skv"},
                      OddPath{"AllAtOnce", "Vexla ';\" Ωμέγα 日本 [x] #1 %s", "bok 'x'; \"y\" Ωμέγα 日本.db",
                              "Kund 'reg'; Ωμέγα 日本.skv"}),
    [](const auto& info) { return std::string(info.param.name); });

// Program and data folders writable by all, and the user's file a link points at.
struct SharedFolder {
    TempFolder dir;
    std::string program = dir.file("program"), data = dir.file("data"), db = data + "/bok.db",
                victim = dir.file("victim");
    static constexpr const char* kPrecious = "the user's own file, not to be written";

    explicit SharedFolder(uid_t user) {
        fs::create_directories(program + "/bin");
        fs::create_directories(data);
        for (const char* file : {"/vexla-transfer", "/bin/Lang.ini"})
            fs::copy_file(db::testing::programDir() + file, program + file);
        fs::copy_file(demoDatabase(), db);
        dir.write("victim", kPrecious);
        for (const std::string& p : {dir.path(), program, data}) ::chmod(p.c_str(), 0777);
        for (const std::string& p : {db, victim}) {
            EXPECT_EQ(::chown(p.c_str(), user, user == 0 ? 0 : kNogroup), 0);
            ::chmod(p.c_str(), 0600);
        }
    }

    // vexla-transfer as `uid`, stopped by an alarm should a FIFO hang it.
    int transfer(uid_t uid, std::vector<std::string> args, std::string& err) {
        const std::string errFile = dir.file("stderr"), exe = program + "/vexla-transfer";
        const int status = runAs(uid, [&] {
            ::alarm(20);
            const int out = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            for (int fd : {1, 2}) ::dup2(out, fd);
            ::setenv("VEXLA_PASSWORD", "vexla", 1);
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            return 127;
        });
        err = fileBytes(errFile);
        return status;
    }
};

enum class Plant { Link, Fifo };

// Refused and Warned name the planted file in a message.
enum class Outcome { Succeeds, Refused, Warned };

struct PlantedNames {
    std::vector<std::string> names;  // relative to the data folder ("../program/" for the program folder)
    std::vector<const char*> jobs;   // run after planting: compact, copy, export
    Outcome outcome;
};

std::vector<PlantedNames> plantings() {
    const std::time_t now = std::time(nullptr);
    char backup[32];
    std::strftime(backup, sizeof backup, "Vexla%Y-%m-%d", std::localtime(&now));
    const std::string b = backup;
    return {
        {{b + ".db", b + "-2.db", b + ".db.part", "Vexlaol.db.part", "bok.db.compacting", "bok.db.unverified",
          "bok.db-journal.old", "kopia.db.part", "KundReg.skv.vexla-export", "KundReg.skv.part", ".vexla-compact"},
         {"compact", "copy", "export"},
         Outcome::Succeeds},
        {{"Vexlaol.db"}, {"compact"}, Outcome::Refused},
        {{"bok.db.compacted"}, {"compact"}, Outcome::Refused},
        {{"bok.db.lock"}, {"compact"}, Outcome::Refused},
        {{"bok.db-journal"}, {"compact"}, Outcome::Refused},
        {{"bok.db-wal"}, {"compact"}, Outcome::Refused},
        {{"kopia.db"}, {"copy"}, Outcome::Refused},
        {{"KundReg.skv"}, {"export"}, Outcome::Refused},
        {{"../program/Logg.txt"}, {"compact"}, Outcome::Warned},
    };
}

std::vector<std::string> jobArgs(const std::string& job, const SharedFolder& f) {
    if (job == "compact") return {"compact", "--db", f.db};
    if (job == "copy") return {"copy", "--db", f.db, "--out", f.data + "/kopia.db", "--force"};
    return {"export", "--register", "kund", "--db", f.db, "--user", "admin", "--out", f.data + "/KundReg.skv",
            "--force"};
}

class PlantedFiles : public ::testing::TestWithParam<std::tuple<uid_t, Plant>> {};

TEST_P(PlantedFiles, NoJobWritesThroughALinkOrIntoAFifo) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: the jobs run as root and as the user nobody";
    const auto [user, plant] = GetParam();
    for (const PlantedNames& p : plantings()) {
        SCOPED_TRACE(p.names[0]);
        SharedFolder f(user);
        const Tables before = allRows(f.db);
        for (const std::string& name : p.names) {
            const std::string path = f.data + "/" + name;
            // Planted by someone else: root for the ordinary user's run, nobody for root's.
            ASSERT_EQ(plant == Plant::Link ? ::symlink(f.victim.c_str(), path.c_str()) : ::mkfifo(path.c_str(), 0666),
                      0)
                << path;
            (void)::lchown(path.c_str(), user == 0 ? kNobody : 0, user == 0 ? kNogroup : 0);
        }
        for (const char* job : p.jobs) {
            std::string err;
            const int status = f.transfer(user, jobArgs(job, f), err);
            SCOPED_TRACE(std::string(job) + ": " + err);
            EXPECT_LT(status, 6);  // ended by itself, not killed by the alarm
            EXPECT_EQ(status == 0, p.outcome != Outcome::Refused);
            EXPECT_TRUE(p.outcome == Outcome::Succeeds ||
                        err.find(fs::path(p.names[0]).filename().string()) != std::string::npos);
        }
        EXPECT_EQ(fileBytes(f.victim), SharedFolder::kPrecious);
        for (const std::string& name : p.names) {
            const auto kind = fs::symlink_status(f.data + "/" + name).type();
            EXPECT_EQ(kind, plant == Plant::Link ? fs::file_type::symlink : fs::file_type::fifo) << name;
            fs::remove(f.data + "/" + name);  // before the database is read: a planted journal would hang it
        }
        EXPECT_EQ(openAndCheck(f.db), "");
        EXPECT_EQ(rowsDiff(allRows(f.db), before), "");
    }
}

INSTANTIATE_TEST_SUITE_P(RootAndUser, PlantedFiles,
                         ::testing::Combine(::testing::Values(uid_t{0}, kNobody),
                                            ::testing::Values(Plant::Link, Plant::Fifo)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "User" : "Root") +
                                    (std::get<1>(info.param) == Plant::Link ? "Link" : "Fifo");
                         });

// The database, its backup (linked or copied) and the copy keep the mode and
// owner of the database, never the umask's. A file its owner may not write,
// compacted by that owner, who cannot know whether another user's program
// has it open, can neither be replaced nor written back: refused, untouched.
TEST(FileModes, CompactionAndCopyKeepTheDatabasesModeAndOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: the database is given to the user nobody";
    const mode_t umask = ::umask(0);
    for (const mode_t mode : {0600, 0640, 0660, 0444})
        for (const auto& [owner, runner] :
             std::vector<std::pair<uid_t, uid_t>>{{0, 0}, {kNobody, 0}, {kNobody, kNobody}})
            for (const bool linked : {true, false}) {
                SCOPED_TRACE(std::to_string(mode) + " owner " + std::to_string(owner) + " run by " +
                             std::to_string(runner) + (linked ? " linked" : " copied"));
                JobWorld w(demoDatabase());
                if (!linked) w.fakes.files.failCall("linkFile", 1, Error{70, "Permission denied", "Vexla Admin"});
                ::chmod(w.dir.path().c_str(), 0777);
                const gid_t group = owner == 0 ? 0 : kNogroup;
                ASSERT_EQ(::chown(w.db.c_str(), owner, group), 0);
                ::chmod(w.db.c_str(), mode);
                const std::string copy = w.dir.file("kopia.db"), backup = w.dir.file(backupName(w.fakes.clock.time));
                const bool refused = runner != 0 && (mode & 0200) == 0;
                ASSERT_EQ(runAs(runner,
                                [&] {
                                    if (compactDatabase(w.ctx).compacted() == refused) return 1;
                                    return copyDatabase(w.ctx, copy, std::nullopt).failure ? 2 : 0;
                                }),
                          0);
                EXPECT_EQ(fs::exists(backup), !refused);
                for (const std::string& file : {w.db, refused ? w.db : backup, copy}) {
                    struct stat st {};
                    ::lstat(file.c_str(), &st);
                    EXPECT_EQ(std::make_tuple(st.st_mode & 07777, st.st_uid, st.st_gid),
                              std::make_tuple(static_cast<unsigned>(mode), owner, group))
                        << file;
                }
                EXPECT_FALSE(fs::exists(w.dir.file(kWorkCopyName)));
            }
    ::umask(umask);
}

// What killed jobs leave beside the user's files, and the user's files
// that look like it: the next job on the folder removes the first, each
// logged, and leaves every one of the others as it is.
enum class NextJob { Compaction, Copy, Export };

class Leftovers : public ::testing::TestWithParam<NextJob> {};

TEST_P(Leftovers, TheNextJobRemovesAKilledJobsFilesAndNothingElse) {
    JobWorld w(demoDatabase());
    const std::string dir = w.dir.path();
    // A killed export, a killed interval copy (its engine's journal and the
    // lock file of its opening beside it) and a killed compaction, each
    // killed while it writes.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        PosixFileSystem files;
        auto exporting = files.createFile(dir + "/KundReg.skv", {});
        auto copying = files.createFile(dir + "/Interval.db", {});
        PrivateFolder compacting;
        if (!exporting || !copying || compacting.make(dir) != 0) ::_exit(1);
        std::string paths = (*exporting)->temporaryPath() + "\n" + (*copying)->temporaryPath() + "\n";
        const std::string copy = (*copying)->temporaryPath().substr(dir.size() + 1);
        paths += dir + "/" + copy + "-journal\n" + dir + "/" + copy + ".lock\n" + compacting.path() + "\n";
        w.dir.write(copy + "-journal", "journal");
        w.dir.write(copy + ".lock", "pid=1");
        w.dir.write(compacting.path().substr(dir.size() + 1) + "/compacting.db", "half a database");
        (void)!::write(pipe[1], paths.data(), paths.size());
        ::raise(SIGKILL);
    }
    ::close(pipe[1]);
    std::string paths(4096, '\0');
    paths.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(pipe[0], paths.data(), paths.size()))));
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    std::vector<std::string> abandoned;
    for (std::size_t from = 0, end; (end = paths.find('\n', from)) != std::string::npos; from = end + 1)
        abandoned.push_back(paths.substr(from, end - from));
    ASSERT_EQ(abandoned.size(), 5u);

    // The user's look-alikes: plain ".part" names, a marked name on a link,
    // a folder, a FIFO, another user's file, and the files of a job still
    // writing (their locks held by this process).
    w.dir.write("notes.part", "notes");
    w.dir.write("x.part", "x");
    const std::string marked = ".vexla-AbCd1234.part";
    ASSERT_EQ(::symlink((dir + "/notes.part").c_str(), (dir + "/link" + marked).c_str()), 0);
    fs::create_directory(dir + "/folder" + marked);
    w.dir.write("folder" + marked + "/inside", "kept");
    ASSERT_EQ(::mkfifo((dir + "/fifo" + marked).c_str(), 0600), 0);
    w.dir.write("other" + marked, "another user's");
    const bool root = ::geteuid() == 0;
    if (root) {
        EXPECT_EQ(::chown((dir + "/other" + marked).c_str(), kNobody, kNogroup), 0);
    }
    auto writing = w.fakes.files.createFile(dir + "/live.skv", {});
    ASSERT_TRUE(writing);
    PrivateFolder compacting;
    ASSERT_EQ(compacting.make(dir), 0);
    std::vector<std::string> kept{dir + "/notes.part",      dir + "/x.part",        dir + "/link" + marked,
                                  dir + "/folder" + marked, dir + "/fifo" + marked, (*writing)->temporaryPath(),
                                  compacting.path()};
    if (root) kept.push_back(dir + "/other" + marked);

    w.window.state_.Språk = "se";
    if (GetParam() == NextJob::Compaction) {
        EXPECT_TRUE(compactDatabase(w.ctx).compacted());
    }
    if (GetParam() == NextJob::Copy) {
        EXPECT_FALSE(copyDatabase(w.ctx, dir + "/kopia.db", std::nullopt).failure);
    }
    if (GetParam() == NextJob::Export) {
        w.fakes.dialogs.choices = {dir + "/KundReg.skv"};
        EXPECT_EQ(exportRegister(w.ctx, 0).n, 30);
    }
    std::vector<std::string> logged;
    for (const std::string& line : w.window.logged)
        if (line.starts_with("R9370: ")) logged.push_back(line.substr(7));
    std::sort(logged.begin(), logged.end());
    std::sort(abandoned.begin(), abandoned.end());
    EXPECT_EQ(logged, abandoned);
    for (const std::string& path : abandoned) EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << path;
    EXPECT_EQ(fileBytes(dir + "/folder" + marked + "/inside"), "kept");
}

const char* const kNextJobNames[] = {"Compaction", "Copy", "Export"};

INSTANTIATE_TEST_SUITE_P(Jobs, Leftovers, ::testing::Values(NextJob::Compaction, NextJob::Copy, NextJob::Export),
                         [](const auto& info) { return std::string(kNextJobNames[static_cast<int>(info.param)]); });

// A copy is made by a child process, which would share the open file
// descriptions it inherits and with them their locks (the database's
// fence among them): it keeps none of its parent's, so a lock the parent
// lets go of, or that goes with a killed job, is free at once although
// the copy still runs.
TEST(CopyingChild, HoldsNoLockOfItsParent) {
    TempFolder dir;
    // A hole of 8 GiB: the child is still copying when the progress first looks.
    const std::string source = dir.file("big.db");
    const int big = ::open(source.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(big, 0);
    ASSERT_EQ(::ftruncate(big, off_t{8} << 30), 0);
    ::close(big);
    const std::string fence = dir.file("bok.db.lock");
    const int held = ::open(fence.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &lock), 0);

    PosixFileSystem files;
    auto copy = files.createFile(dir.file("copy.db"), {});
    ASSERT_TRUE(copy);
    bool looked = false;
    const Status copied = (*copy)->copyFrom(source, [&](std::uint64_t) {
        looked = true;
        ::close(held);
        const int other = ::open(fence.c_str(), O_RDWR | O_CLOEXEC);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        EXPECT_EQ(::fcntl(other, F_OFD_GETLK, &probe), 0);
        EXPECT_EQ(probe.l_type, F_UNLCK) << "the copying child still holds the fence";
        ::close(other);
        return false;  // a stop: the child is killed and the copy removed
    });
    EXPECT_TRUE(looked);
    EXPECT_EQ(copied.error().number, kStoppedByUser);
}

}  // namespace
}  // namespace vexla
