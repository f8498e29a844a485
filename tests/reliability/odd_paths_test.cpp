// Paths as users name their folders: blanks, quotes, ";", brackets, "%"
// and letters outside Windows-1252, for the database, the register file and
// the program folder, through export, import back and compaction, and the
// program itself run unattended from such a folder.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/cp1252.h"
#include "maintenance/compaction.h"
#include "db/sqlite_engine.h"
#include "registers/export_register.h"
#include "tests/db/db_test_support.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/fake_admin_window.h"

namespace vexla {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct OddPath {
    const char* name;
    std::string folder, database, registerFile;
};

void PrintTo(const OddPath& p, std::ostream* os) { *os << p.name; }

class OddPaths : public ::testing::TestWithParam<OddPath> {};

TEST_P(OddPaths, ExportImportAndCompactionFindTheirFiles) {
    const OddPath& p = GetParam();
    TempFolder scratch;
    const std::string folder = scratch.path() + "/" + p.folder;
    fs::create_directories(folder);
    const std::string db = folder + "/" + p.database;
    const std::string skv = folder + "/" + p.registerFile;
    fs::copy_file(demoDatabase(true), db);
    const Rows before = tableRows(db, "Kund");
    ASSERT_FALSE(before.empty());

    FakePlatform fakes;
    Platform platform = fakes.platform(folder);  // the program folder too
    FakeAdminWindow window;
    CodeTexts texts;
    window.state_.DataBas = db;
    window.state_.msSökväg = folder;
    window.state_.Språk = "se";
    window.state_.db = std::move(window.engine_.OpenDatabase(db, true).value());

    ExportContext exporting{window, platform, texts};
    fakes.dialogs.choices = {skv};
    const ExportOutcome exported = exportRegister(exporting, 0);
    EXPECT_EQ(exported.n, 30);
    EXPECT_EQ(fakes.dialogs.asked.at(0).initialDir, folder);
    ASSERT_TRUE(fs::exists(skv));

    const ImportRun run = runImport(*window.state_.db, "Kund", skv, true);
    EXPECT_EQ(run.outcome.inserted, 30);
    EXPECT_EQ(run.message, "");
    // What came back exports to the same file again.
    const std::string again = folder + "/" + "2 " + p.registerFile;
    fakes.dialogs.choices = {again};
    EXPECT_EQ(exportRegister(exporting, 0).n, 30);
    EXPECT_EQ(readFile(again), readFile(skv));
    (void)window.state_.db->Close();
    window.state_.db.reset();
    const Rows imported = tableRows(db, "Kund");

    JobContext job{window, platform, texts};
    EXPECT_TRUE(compactDatabase(job).compacted()) << (fakes.messages.shown.empty() ? "" : fakes.messages.shown[0].text);
    EXPECT_TRUE(fakes.messages.shown.empty());
    EXPECT_EQ(openAndCheck(db), "");
    EXPECT_EQ(rowsDiff(tableRows(db, "Kund"), imported), "");
    EXPECT_TRUE(fs::exists(folder + "/Vexla2026-12-04.db"));
    EXPECT_FALSE(fs::exists(folder + "/Vexlaol.db"));
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

// The program copied into an odd folder and run as cron runs it, on a
// database in another odd folder: it finds its language file, writes its
// log beside itself and compacts. (A path holding a double quote cannot be
// written quoted on the command line; the jobs above take such paths.)
TEST(OddPaths, ProgramRunsUnattendedFromAnOddFolder) {
    TempFolder scratch;
    const std::string program = scratch.path() + "/Program ';[x] Ωμέγα 日本";
    const std::string data = scratch.path() + "/Data ;'#1 100% 日本";
    fs::create_directories(program + "/bin");
    fs::create_directories(data);
    const std::string from = db::testing::programDir();
    fs::copy_file(from + "/vexla-admin", program + "/vexla-admin");
    fs::copy_file(from + "/bin/Lang.ini", program + "/bin/Lang.ini");
    const std::string db = data + "/bok 'x'; Ωμέγα.db";
    fs::copy_file(demoDatabase(), db);
    const Rows before = tableRows(db, "Kund");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        const std::string exe = program + "/vexla-admin";
        ::execl(exe.c_str(), exe.c_str(), "/ak", "/d", db.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string log = readFile(program + "/Logg.txt");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << log;
    // The log is Windows-1252: what it cannot hold of the path is a "?".
    EXPECT_NE(log.find(utf8ToCp1252(db)), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 10) << log;
    // Beside the database: the dated backup of today, and no work copy.
    int backups = 0;
    for (const auto& entry : fs::directory_iterator(data)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("Vexla") && name.ends_with(".db")) ++backups;
    }
    EXPECT_EQ(backups, 1);
    EXPECT_FALSE(fs::exists(data + "/Vexlaol.db"));
    EXPECT_EQ(openAndCheck(db), "");
    EXPECT_EQ(rowsDiff(tableRows(db, "Kund"), before), "");
}

}  // namespace
}  // namespace vexla
