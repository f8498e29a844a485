// Paths as users name their folders: blanks, quotes, ";", brackets, "%"
// and letters outside Windows-1252, for the database, the register file and
// the program folder: an export, the import of it back, and the program
// itself run unattended from that folder as cron runs it, compacting.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "common/cp1252.h"
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
    w.window.state_.db = std::move(w.window.engine_.OpenDatabase(db, true).value());

    ExportContext exporting{w.window, w.platform, w.texts};
    w.fakes.dialogs.choices = {skv};
    EXPECT_EQ(exportRegister(exporting, 0).n, 30);
    EXPECT_EQ(w.fakes.dialogs.asked.at(0).initialDir, folder);
    const ImportRun run = runImport(*w.window.state_.db, "Kund", skv, true);
    EXPECT_EQ(run.outcome.inserted, 30);
    EXPECT_EQ(run.message, "");
    // What came back exports to the same file again.
    w.fakes.dialogs.choices = {again};
    EXPECT_EQ(exportRegister(exporting, 0).n, 30);
    EXPECT_EQ(fileBytes(again), fileBytes(skv));
    (void)w.window.state_.db->Close();
    const Tables imported = allRows(db);

    // The compaction by the program in the same folder, run as cron runs it
    // with no display at all; by the job itself where a double quote in the
    // path cannot be written quoted on the command line.
    if (db.find('"') == std::string::npos) {
        fs::copy_file(db::testing::programDir() + "/vexla-admin", folder + "/vexla-admin");
        fs::copy_file(db::testing::programDir() + "/bin/Lang.ini", folder + "/bin/Lang.ini");
        const pid_t child = ::fork();
        if (child == 0) {
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            const std::string exe = folder + "/vexla-admin";
            ::execl(exe.c_str(), exe.c_str(), "/ak", "/d", db.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string log = fileBytes(folder + "/Logg.txt");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
        // The log is Windows-1252: what it cannot hold of the path is a "?".
        EXPECT_NE(log.find(utf8ToCp1252(db)), std::string::npos) << log;
    } else {
        w.window.state_.DataBas = db;
        w.window.state_.msSökväg = folder;
        EXPECT_TRUE(compactNow(w.ctx));
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

}  // namespace
}  // namespace vexla
