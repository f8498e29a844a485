// vexla-transfer run whole on a small clean demo database: every command's
// exit status and what it says, and the export compared with the window's.
#include <sys/resource.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <regex>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "common/console_platform.h"
#include "common/fixed_locale.h"
#include "common/system_user.h"
#include "db/errors.h"
#include "registers/export_register.h"
#include "tests/db/db_test_support.h"
#include "tests/support/fake_admin_window.h"
#include "texts/installed_locale.h"
#include "texts/kompilerad.h"
#include "texts/mtexter.h"
#include "texts/text_codes.h"
#include "tools/sample_generator.h"
#include "transfer/console.h"
#include "transfer/help.h"
#include "transfer/links.h"
#include "transfer/transfer.h"

namespace vexla {
namespace {

using testing::TempFolder;

// "@" stands for the scratch folder in arguments and expected texts.
std::string at(const std::string& text, const std::string& folder) {
    std::string s = text;
    for (std::size_t p = s.find('@'); p != std::string::npos; p = s.find('@', p + folder.size()))
        s.replace(p, 1, folder);
    return s;
}

std::string contents(std::FILE* f) {
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
    return s;
}

// The engine, except that another program holds the file `held`.
class Engine final : public db::DBEngine {
public:
    db::SqliteEngine real;
    std::string held;
    Result<std::unique_ptr<db::Database>> OpenDatabase(const std::string& path, bool exclusive) override {
        if (path == held) return db::openedExclusively("elsewhere");
        return real.OpenDatabase(path, exclusive);
    }
    Status CompactDatabase(const std::string& from, const std::string& to) override {
        return real.CompactDatabase(from, to);
    }
    Result<db::DatabaseFence> FenceDatabase(const std::string& path) override { return real.FenceDatabase(path); }
    Result<std::unique_ptr<db::ExaminedFile>> OpenForExamination(const std::string& path) override {
        if (path == held) return db::openedExclusively("elsewhere");
        return real.OpenForExamination(path);
    }
    Result<std::unique_ptr<db::Database>> OpenSnapshot(const std::string& path) override {
        if (path == held) return db::openedExclusively("elsewhere");
        return real.OpenSnapshot(path);
    }
    Result<std::unique_ptr<db::Database>> OpenStagingCopy(const std::string& path) override {
        return real.OpenStagingCopy(path);
    }
    Result<double> OverwriteUnopenable(const std::string& path, const std::string& content,
                                       const std::function<Status()>& keep) override {
        return real.OverwriteUnopenable(path, content, keep);
    }
    void SetWait(double seconds) override { real.SetWait(seconds); }
    void ReadValuesBy(LocaleInfo& locale) override { real.ReadValuesBy(locale); }
};

struct World {
    TempFolder dir;
    std::string db = dir.file("bok.db");
    testing::FakeClock clock;
    testing::FakeLocaleInfo locale;
    PosixFileSystem files;
    Engine engine;
    testing::CodeTexts texts;  // every text is its code
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in{std::tmpfile(), std::fclose}, out{std::tmpfile(), std::fclose},
        err{std::tmpfile(), std::fclose};
    ConsoleMessageBoxes console{err.get()};
    // Another connection in a transaction that does not end and keeps
    // readers out too, as a booking system hung in its commit would.
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> holder{nullptr, sqlite3_close};
    int signal = 0;  // the signal the run is told of
    testing::FakeSystemLog systemLog;

    World() {
        EXPECT_TRUE(sample::makeSampleDatabase(db, {.customers = 20, .resources = 4, .bookings = 60, .clean = true}));
    }
    int run(const std::vector<std::string>& args, std::optional<std::string> password, bool terminal = false) {
        std::vector<std::string> line;
        for (const std::string& a : args) line.push_back(at(a, dir.path()));
        // Held, a job need not wait the default ten seconds to be refused.
        if (holder && line.size() > 1 && line.back() != "--help") line.insert(line.end(), {"--wait", "0"});
        transfer::Environment env{
            texts,    engine,    console,   clock,    locale,   files,   dir.path(),
            in.get(), out.get(), err.get(), terminal, password, nullptr, [this] { return signal; },
            systemLog};
        return transfer::runTransfer(line, env);
    }
};

struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string err;                          // a part of standard error; "" when nothing may be written there
    std::string out;                          // the start of standard output
    std::function<void(World&)> before = {};  // readies the scratch folder
    std::optional<std::string> password = "vexla";
    std::function<void(World&)> after = {};  // checks the files afterwards
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

using Args = std::vector<std::string>;

const Args kExport{"export", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--out"};
const Args kImport{"import", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--in", "@/in.skv"};
const Args kCompact{"compact", "--db", "@/bok.db"};
const Args kCopy{"copy", "--db", "@/bok.db", "--out"};
const Args kCheck{"check", "--db", "@/bok.db"};
const Args kRecover{"recover", "--db", "@/bok.db", "--out", "@/new.db"};
const Args kRestore{"restore", "--db", "@/bok.db", "--from", "@/Vexla2026-12-03.db"};

Args operator+(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::function<void(World&)> file(const char* name, const char* bytes) {
    return [=](World& w) { w.dir.write(name, bytes); };
}
void holdDatabase(World& w) {
    sqlite3* db = nullptr;
    sqlite3_open(w.db.c_str(), &db);
    w.holder.reset(db);
    EXPECT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
}
// A page in the middle of the database overwritten.
void damage(World& w) {
    std::fstream f(w.db, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(std::filesystem::file_size(w.db) / 2 / 4096 * 4096));
    f.write(std::string(4096, '\xff').data(), 4096);
}
// The root page of the customers overwritten, so that they cannot even be
// counted, and the rows that can still be read rescued into @/new.db.
void rescueDamaged(World& w) {
    const long root =
        std::stol(db::testing::queryWithSqlite(w.db, "SELECT rootpage FROM sqlite_schema WHERE name = 'Kund'").at(0));
    std::fstream f(w.db, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>((root - 1) * 4096));
    f.write(std::string(4096, '\xff').data(), 4096);
    f.close();
    ASSERT_EQ(w.run({"recover", "--db", "@/bok.db", "--out", "@/new.db", "--quiet"}, {}), 0);
}
// The first page overwritten with zeros: the engine cannot open the file.
void destroyFirstPage(World& w) {
    std::fstream f(w.db, std::ios::in | std::ios::out | std::ios::binary);
    f.write(std::string(4096, '\0').data(), 4096);
}
void removeACustomer(World& w) {
    const std::string id = db::testing::queryWithSqlite(w.db, "SELECT KundID FROM Bokning ORDER BY ID LIMIT 1").at(0);
    EXPECT_TRUE(w.engine.OpenDatabase(w.db, true).value()->Execute("DELETE FROM Kund WHERE ID = " + id));
}
// Yesterday's backup of the database as it is now; `keep` bytes of it when not 0.
std::function<void(World&)> backup(std::uintmax_t keep = 0) {
    return [=](World& w) {
        const std::string b = w.dir.file("Vexla2026-12-03.db");
        std::filesystem::copy_file(w.db, b);
        if (keep) std::filesystem::resize_file(b, keep);
    };
}
// The activity log holds one line, for the transfer, ending with what it
// names after the time: kind, register (customers), file, who, and `rest`.
std::function<void(World&)> logged(const char* kind, const char* file, const std::string& rest,
                                   std::function<void(World&)> also = {}) {
    return [=](World& w) {
        const std::string log = w.dir.read("Logg.txt");
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        const std::string tail = std::string(" ") + kind + " R9557: " + w.dir.file(file) + "; R9549 admin, R9550 " +
                                 systemUserName() + "; " + at(rest, w.dir.path()) + "\r\n";
        EXPECT_TRUE(log.ends_with(tail)) << log << "\nwanted the end: " << tail;
        if (also) also(w);
    };
}
const char* const kTwoCustomers = "ID;Name\r\n5001;Alfa\r\n5002;Beta\r\n";
const char* const kNoName = "ID;Address\r\n5001;Storgatan 1\r\n";

class Transfer : public ::testing::TestWithParam<Case> {};

TEST_P(Transfer, ExitsWithItsStatusAndSaysWhy) {
    const Case& c = GetParam();
    World w;
    if (c.before) c.before(w);
    EXPECT_EQ(w.run(c.args, c.password), c.status);
    const std::string err = contents(w.err.get()), out = contents(w.out.get());
    if (c.err.empty())
        EXPECT_EQ(err, "");
    else
        EXPECT_NE(err.find(at(c.err, w.dir.path())), std::string::npos) << err;
    EXPECT_EQ(out.rfind(at(c.out, w.dir.path()), 0), 0u) << out;
    if (c.after) c.after(w);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Transfer,
    ::testing::Values(
        // The command line.
        Case{"NoArguments", {}, 1, "R9060", ""}, Case{"GeneralHelp", {"--help"}, 0, "", "R9060\nR9061"},
        Case{"CommandHelp", {"import", "--db", "x", "--help", "--bogus"}, 0, "", "R9069\nR9073"},
        Case{"UnknownCommand", {"frobnicate"}, 1, "R9078: frobnicate\nR9065", ""},
        Case{"UnknownOption", kCompact + Args{"--force"}, 1, "R9079: --force", ""},
        Case{"OptionWithoutValue", {"compact", "--db"}, 1, "R9080: --db", ""},
        Case{"NoUser", {"export", "--register", "kund", "--db", "x", "--out", "y"}, 1, "R9081: --user", ""},
        Case{"OptionOfAnotherCommand", {"compact", "--db", "x", "--register", "kunder"}, 1, "R9079: --register", ""},
        Case{"UnknownRegisterName", {"export", "--register=kunder"}, 1, "R9236: kunder", ""},
        Case{"Version", {"--version", "--bogus"}, 0, "", "vexla-transfer " VEXLA_VERSION "\n"},
        Case{"ImpossibleDate", kCopy + Args{"@/k.db", "--from", "2026-02-30 08:00", "--to", "2026-03-01 08:00"}, 1,
             "R9082: --from 2026-02-30 08:00", ""},
        Case{"UnknownFormat", kExport + Args{"@/k.csv", "--format", "csv"}, 1, "R9082: --format csv", ""},
        Case{"UnknownEncoding", kExport + Args{"@/k.csv", "--format", "spreadsheet", "--encoding=latin1"}, 1,
             "R9082: --encoding latin1", ""},
        Case{"EncodingOfTheRegisterFormat", kExport + Args{"@/k.skv", "--encoding", "utf-8"}, 1, "R9695: --encoding",
             ""},
        Case{"SpreadsheetInWindows1252",
             kExport + Args{"@/k.csv", "--format=Spreadsheet", "--encoding", "windows-1252"},
             0,
             "",
             "20 R1740",
             {},
             "vexla",
             [](World& w) { EXPECT_EQ(w.dir.read("k.csv").substr(0, 11), "\"ID\";\"Name\""); }},
        // Times as the locale writes them, or ISO in every locale; a date or a time alone is no moment.
        Case{"TimeOfAnotherLocale", kCopy + Args{"@/k.db", "--from", "12/1/2026 8:00 AM", "--to", "2026-12-02 08:00"},
             1, "R9082: --from 12/1/2026 8:00 AM", ""},
        Case{"DateAlone", kCopy + Args{"@/k.db", "--from", "2026-12-01", "--to", "2026-12-02 08:00"}, 1,
             "R9082: --from 2026-12-01", ""},
        Case{"TimeAlone", kCopy + Args{"@/k.db", "--from", "2026-12-01 08:00", "--to", "17:00"}, 1, "R9082: --to 17:00",
             ""},
        Case{"AfternoonBeforeMorning",
             kCopy + Args{"@/k.db", "--locale", "en_US", "--from", "12/1/2026 1:00 PM", "--to", "12/1/2026 11:00 AM"},
             1, "R1795!", ""},
        Case{"UnknownLocale", kCompact + Args{"--locale", "sv"}, 1, "R9682: sv", ""},
        Case{"FromWithoutTo", kCopy + Args{"@/k.db", "--from", "2026-03-01 08:00"}, 1, "R9081: --to", ""},
        Case{"IntervalNotForward", kCopy + Args{"@/k.db", "--from", "2026-03-01 08:00", "--to", "2026-03-01 08:00"}, 1,
             "R1795!", ""},
        Case{"MappingLineUnknown", kImport + Args{"--map", "@/m.txt"}, 1, "R9085: ID;Nope", "",
             [](World& w) { file("in.skv", kTwoCustomers)(w), file("m.txt", "Name;Name\nID;Nope\n")(w); }},
        // The login.
        Case{"NoPassword", kExport + Args{"@/k.skv"}, 1, "R9083", "", {}, std::nullopt},
        Case{"WrongPassword", kExport + Args{"@/k.skv"}, 2, "vexla-transfer: R0137\nR0138", "", {}, "Vexla"},
        Case{"NotAnAdministrator",
             Args{"export", "--register", "kund", "--db", "@/bok.db", "--user", "anna"} + Args{"--out", "@/k.skv"}, 2,
             "vexla-transfer: R0137\nR0138", ""},
        // Another program holds the database.
        Case{"HeldAtLogin", kExport + Args{"@/k.skv"}, 3, "R1784!\nR1785 R0558!\nR1786", "", holdDatabase},
        Case{"HeldAtCompaction", kCompact, 3, "R1784!\nR1785 R0558!\nR1786", "", holdDatabase},
        Case{"HeldAtCopy", kCopy + Args{"@/k.db"}, 3, "R1784!", "", holdDatabase},
        Case{"HeldAtRestore", kRestore, 3, "R1784!", "", [](World& w) { backup()(w), holdDatabase(w); }},
        Case{"RestoreWithoutBackup", {"restore", "--db", "@/bok.db"}, 1, "R9081: --from", ""},
        Case{"RestoreHelp", kRestore + Args{"--help"}, 0, "", "R9492\nR9494\nR9572\nR9573\nR9583\nR9683\nR9495\n"},
        Case{"RestoreTruncatedBackup", kRestore, 6, "R9476: @/Vexla2026-12-03.db", "", backup(8192)},
        Case{"RestoreMissingBackup", kRestore, 4, "3024\n", ""},
        Case{"RestoreInterrupted", kRestore, 143, "", "R9475\n", [](World& w) { backup()(w), w.signal = SIGTERM; }},
        Case{"Restore", kRestore, 0, "", "R9474: @/Vexla2026-12-03.db\nR9155: @/Vexla2026-12-04.db\nR9481\n", backup()},
        Case{"Backups", {"backups", "--db", "@/bok.db"}, 0, "", "R9483: @/bok.db\nR9484  ", backup()},
        Case{"BackupsOfAMissingDatabase", {"backups", "--db", "@/nope.db"}, 4, "3024\n", ""},
        // Files.
        Case{"DatabaseMissingAtLogin", kImport + Args{"--db", "@/nope.db"}, 4, "R1787!\n\nR1788.", ""},
        Case{"DatabaseMissingAtCompaction", {"compact", "--db", "@/nope.db"}, 4, "R1787!", ""},
        Case{"ExportTargetExists", kExport + Args{"@/k.skv"}, 4, "R9084: @/k.skv", "", file("k.skv", "old")},
        Case{"ExportFolderMissing",
             kExport + Args{"@/no/k.skv"},
             4,
             "R9275 (R9140: @/no/k.skv)",
             "R1739",
             {},
             "vexla",
             logged("R9548", "no/k.skv", "0 R9551; R9555: 76 R9275 (R9140: @/no/k.skv)")},
        Case{"ImportFileMissing", kImport, 4, "R9106: @/in.skv", ""},
        Case{"ReportCannotBeWritten", kImport + Args{"--report", "@/no/r.txt"}, 4, "R9372: @/no/r.txt (76", "",
             file("in.skv", kTwoCustomers)},
        Case{"ImportFromAFolder", kImport + Args{"--in", "@"}, 4, "R9622: @", ""},
        Case{"ImportFileWithoutFields", kImport, 4, "R1798!", "", file("in.skv", "ID\r\n1\r\n"), "vexla",
             logged("R9546", "in.skv", "0 R9552, 0 R9553, 0 R9554; R9555: R1798!")},
        Case{"ImportSplitByCommas", kImport, 4, "R9251.", "", file("in.skv", "ID,Name\r\n5001,Alfa\r\n")},
        Case{"ImportSplitByTabs", kImport, 4, "R9252.", "", file("in.skv", "ID\tName\r\n5001\tAlfa\r\n")},
        Case{"ImportUtf8FileWithALineThatIsNot", kImport, 4, "R9250\nR9040 70003\nR9100.", " 0 R1805! R9100.",
             [](World& w) {
                 w.dir.write("in.skv",
                             "ID;Name\r\n5001;Hed\xC3\xA9n\r\n" + std::string(70000, '\r') + "5002;Caf\xE9\r\n");
             }},
        Case{"MappingFileMissing", kImport + Args{"--map", "@/m.txt", "--dry-run"}, 4, "53 R9274: @/m.txt", "",
             file("in.skv", kTwoCustomers), "vexla",
             logged("R9547", "in.skv", "0 R9552, 0 R9553, 0 R9554; R9555: 53 R9274: @/m.txt")},

        Case{"CopyOntoTheDatabase", kCopy + Args{"@/bok.db"}, 4, "R1747", ""},
        // The check and the rescue: a file that is no booking database, or that another program holds.
        Case{"CheckEmptyFile", kCheck, 4, "3343", "", file("bok.db", "")},
        Case{"CheckNoDatabase", kCheck, 4, "3343", "", file("bok.db", "ID;Name\r\n")},
        Case{"CheckHeld", kCheck, 3, "3356", "", holdDatabase},
        Case{"RecoverNoDatabase", kRecover, 4, "3343", "", file("bok.db", "x")},
        Case{"RecoverHeld", kRecover, 3, "3356", "", holdDatabase},
        Case{"RecoverOverAFile", kRecover, 4, "R9084: @/new.db", "", file("new.db", "old")},
        Case{"RecoverOntoTheDatabase",
             {"recover", "--db", "@/bok.db", "--out", "@/bok.db", "--force"},
             4,
             "R9600: @/bok.db",
             ""},
        Case{"CheckDamaged", kCheck, 7, "", "R9431\n", damage},
        Case{"CheckLinksBroken", kCheck, 8, "", "R9432\n", removeACustomer},
        Case{"CheckSound", kCheck + Args{"--full"}, 0, "", "R9430\nKund: 23 R9433\n"},
        Case{"RecoverDamaged", kRecover, 0, "", "Kund: 23 R9450, 0 R9451\n", damage},
        Case{"CopyIntoMissingFolder", kCopy + Args{"@/no/k.db"}, 4, "R1753: @/no\n\nR1754", ""},
        // An import that stopped: nothing of it stays.
        Case{"ImportRefusedBeforeAnyLine", kImport, 6, "R9110: Name\nR9100.", " 0 R1805! R9100.",
             file("in.skv", kNoName)},
        Case{"ImportStoppedAtALine", kImport, 6, "R1799!\nR9040 3\nR9100.", " 0 R1805! R9100.",
             file("in.skv", "ID;Name\r\n5001;Alfa\r\nbroken\r\n"), "vexla",
             logged("R9546", "in.skv", "0 R9552, 0 R9553, 0 R9554; R9555: R1799! R9040 3 R9100.")},
        Case{"ImportWithDeleteFirstStoppedAtAShortLine", kImport + Args{"--delete-first"}, 6, "R9103: 3 / 2",
             " 0 R1805! R9100.", file("in.skv", "ID;Name\r\n5001;Alfa\r\n5002;Beta;x\r\n")},
        Case{"ImportInterrupted", kImport + Args{"--delete-first"}, 130, "R9113\nR9100.", " 0 R1805! R9100.",
             [](World& w) { file("in.skv", kTwoCustomers)(w), w.signal = SIGINT; }, "vexla",
             logged("R9546", "in.skv", "0 R9552, 0 R9553, 0 R9554; R9555: R9113 R9100.")},
        // Done.
        Case{"Export",
             kExport + Args{"@/k.skv"},
             0,
             "",
             "20 R1740 @/k.skv\n",
             {},
             "vexla",
             logged("R9548", "k.skv", "20 R9551; R9555: R9556")},
        Case{"PasswordOnStandardInput", kExport + Args{"@/k.skv", "--password-stdin"}, 0, "", "20 R1740 @/k.skv\n",
             [](World& w) { std::fputs("vexla\r\nrest", w.in.get()), std::rewind(w.in.get()); }, std::nullopt},
        Case{"ExportOverAFileWithForce", kExport + Args{"@/k.skv", "--force"}, 0, "", "20 R1740 @/k.skv\n",
             file("k.skv", "old")},
        Case{"ImportByEqualNames", kImport + Args{"--delete-first"}, 0, "", "2 R1805\n20 R9120\n",
             file("in.skv", kTwoCustomers)},
        Case{"ImportDryRun", kImport + Args{"--delete-first", "--dry-run"}, 0, "", "R9119\n2 R9751\n20 R9752\n",
             file("in.skv", kTwoCustomers), "vexla",
             logged("R9547", "in.skv", "2 R9552, 20 R9553, 0 R9554; R9555: R9556",
                    [](World& w) {
                        EXPECT_EQ(db::testing::queryWithSqlite(w.db, "SELECT count(*) FROM Kund"), Args{"23"});
                    })},
        Case{"ImportByMappingFile", kImport + Args{"--map", "@/m.txt"}, 0, "", "1 R1805\n",
             [](World& w) { file("in.skv", "Nr;Namn\r\n5001;Alfa\r\n")(w), file("m.txt", "Nr;ID\r\nNamn;Name")(w); }},
        // The report shows each control character as its picture: tab, ESC, DEL.
        Case{"ImportSkipsAndReportsLines", kImport + Args{"--report", "@/r.txt"}, 5, "",
             "1 R1805\n1 R9114: R9115 (R9040 3)\n1 R9114: R9116 (R9040 2)\n",
             file("in.skv", "ID;Name\r\n1;Dup\r\n5003\t;x;y\x1b\x7f\r\n5001;Alfa\r\n"), "vexla",
             [](World& w) {
                 EXPECT_EQ(w.dir.read("r.txt"), "R9040 2: R9116: 1;Dup\nR9040 3: R9115: 5003\u2409;x;y\u241b\u2421\n");
             }},
        // A column no link takes holds a value: refused before anything changes, unless left out.
        Case{"ImportRefusesValuesNoLinkTakes", kImport, 6, "R9710: R9041 3 (1)\nR9100.\nR9712", " 0 R1805! R9100.",
             file("in.skv", "ID;Name;\r\n5001;Alfa;\r\n5002;Beta;rest\r\n"), "vexla",
             [](World& w) { EXPECT_EQ(db::testing::queryWithSqlite(w.db, "SELECT count(*) FROM Kund"), Args{"23"}); }},
        Case{"ImportLeavesOutAnIgnoredColumn", kImport + Args{"--ignore-column", "3", "--ignore-column=1"}, 0,
             "R9123: R9041 3",
             "2 R1805\n", file("in.skv", "ID;Name;\r\n5001;Alfa;\r\n5002;Beta;rest\r\n"), "vexla",
             [](World& w) {
                 EXPECT_EQ(db::testing::queryWithSqlite(w.db, "SELECT Namn FROM Kund WHERE ID > 5000"),
                           (Args{"Alfa", "Beta"}));
             }},
        Case{"IgnoreColumnZero", kImport + Args{"--ignore-column", "0"}, 1, "R9082: --ignore-column 0", ""},
        Case{"Compact", kCompact + Args{"--full-check"}, 0, "", "R1761. R9155: @/Vexla2026-12-04.db\n"},
        // --force replaces a regular file only, never the database under any name.
        Case{"ExportOverTheDatabase", kExport + Args{"@/bok.db", "--force"}, 4, "R9600: @/bok.db", ""},
        Case{"CopyOverAFileNeedsForce", kCopy + Args{"@/kopia.db"}, 4, "R9084: @/kopia.db", "",
             file("kopia.db", "old")},
        Case{"CopyOverAFileWithForce", kCopy + Args{"@/kopia.db", "--force"}, 0, "", "R1752@/kopia.db\n",
             file("kopia.db", "old")},
        Case{"WholeCopy", kCopy + Args{"@/kopia"}, 0, "", "R1752@/kopia.db\n"},
        Case{"IntervalCopy", kCopy + Args{"@/kopia", "--from=2026-01-01 08:00", "--to", "2026-12-31 17:00"}, 0, "",
             "R1750 '@/kopia.db' R1751!\n"},
        Case{"IntervalCopyInEnglishTimes",
             kCopy + Args{"@/kopia", "--locale=en_US", "--from", "2026-01-01 08:00", "--to", "12/31/2026 5:00:30 PM"},
             0, "", "R1750 '@/kopia.db' R1751!\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Each error on standard error begins with the program's name, whether a
// job's box, the login's or the command line's says it.
TEST(TransferErrors, BeginWithTheProgramsName) {
    struct Row {
        Args args;
        std::optional<std::string> password;
        std::function<void(World&)> before;
        const char* said;  // the error's first line after the name
    };
    for (const Row& r :
         {Row{{"compact", "--db", "@/none.db"}, {}, {}, "R1787!\n"},
          Row{kExport + Args{"@/k.skv"}, "Vexla", {}, "R0137\nR0138\n"},
          Row{kExport + Args{"@/k.skv"}, std::nullopt, {}, "R9083\n"},
          Row{kCompact + Args{"--bogus"}, {}, {}, "R9079: --bogus\nR9065\n"}, Row{kCompact, {}, holdDatabase, "R1784!"},
          Row{kExport + Args{"@/bok.db", "--force"}, "vexla", {}, "75\nR9278 (R9600: @/bok.db)"}}) {
        SCOPED_TRACE(r.said);
        World w;
        if (r.before) r.before(w);
        EXPECT_NE(w.run(r.args, r.password), 0);
        const std::string err = contents(w.err.get());
        EXPECT_EQ(err.rfind("vexla-transfer: " + at(r.said, w.dir.path()), 0), 0u) << err;
    }
}

// A help line on a terminal breaks at spaces within the width, counting
// characters rather than bytes, and hangs under the option's description.
TEST(TransferHelp, WrapsToTheWidthUnderTheDescription) {
    using Lines = std::vector<std::string>;
    struct Row {
        std::string line;
        std::size_t width;
        Lines want;
    };
    for (const Row& r : {
             Row{"  --quiet  say nothing but errors", 0, {"  --quiet  say nothing but errors"}},
             Row{"  --quiet  say nothing but errors", 33, {"  --quiet  say nothing but errors"}},
             Row{"  --quiet  say nothing but errors", 32, {"  --quiet  say nothing but", "           errors"}},
             Row{"  --wait <s> wait for the booking system",
                 34,
                 {"  --wait <s> wait for the booking", "             system"}},
             Row{"  --json   skriv ett JSON-objekt på standard ut",
                 35,
                 {"  --json   skriv ett JSON-objekt på", "           standard ut"}},
             Row{"Exit status: 0 done, 1 wrong command line", 16, {"Exit status: 0", "done, 1 wrong", "command line"}},
             // Too narrow to hang under the description: under the indent.
             Row{"  --format register|spreadsheet  a file", 24, {"  --format", "  register|spreadsheet a", "  file"}},
         }) {
        SCOPED_TRACE(r.line + " @" + std::to_string(r.width));
        EXPECT_EQ(transfer::wrapHelpLine(r.line, r.width), r.want);
    }
}

// The information line and the bar run on a terminal only; the result stays on standard output.
TEST(TransferStatusLine, ShowsOnATerminalAndIsClearedBeforeTheResult) {
    for (bool terminal : {false, true}) {
        World w;
        EXPECT_EQ(w.run(kCompact, std::nullopt, terminal), 0);
        const std::string result = "R1761. R9155: " + w.dir.file("Vexla2026-12-04.db");
        const std::string bars =
            "\r[##------------------] 14%  1 R9201 7 R9204\x1b[K\rR1749...\x1b[K"
            "\r[####################] 100%  7 R9201 7 R9204\x1b[K";
        EXPECT_EQ(contents(w.err.get()), terminal ? bars + "\r" + result + "\x1b[K\r\x1b[K" : "");
        EXPECT_EQ(contents(w.out.get()), result + "\n");
    }
}

// The bar's share in the installed language's form: a no-break space before
// the sign in Swedish, none in English.
TEST(TransferStatusLine, WritesTheShareInTheLanguagesForm) {
    for (const auto& [contact, shown] :
         {std::pair{"Kontakta Trevanto.", "] 25\u00a0%  "}, {"Contact Trevanto.", "] 25%  "}}) {
        struct : TextSource {
            const char* contact;
            std::string TextTillAndra(const std::string& code) override {
                return code == txt::ContactTrevanto ? contact : code;
            }
        } texts;
        texts.contact = contact;
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> err{std::tmpfile(), std::fclose};
        transfer::StatusLine line(err.get(), true);
        transfer::TerminalProgress progress(line, texts, {});
        progress.report(1, 4, ProgressUnit::Steps);
        EXPECT_NE(contents(err.get()).find(shown), std::string::npos) << contents(err.get());
    }
}

// A phase that goes on reporting its total (the interval copy making its
// indexes) draws its bar once, not at every report; the next total at once.
TEST(TransferStatusLine, DrawsARepeatedTotalOnce) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> err(std::tmpfile(), std::fclose);
    transfer::StatusLine line(err.get(), true);
    testing::CodeTexts texts;
    transfer::TerminalProgress bar(line, texts, {});
    for (int i = 0; i < 100; ++i) bar.report(7, 7, ProgressUnit::Rows);
    bar.report(9, 9, ProgressUnit::Rows);
    const std::string drawn = contents(err.get());
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 2) << drawn;
}

// Export, import with "delete first" and the automatic links, export again:
// every register of the clean demo database comes back byte for byte. The
// import names the register in English, in any letter case.
TEST(TransferRoundTrip, EveryRegisterComesBackByteForByte) {
    World w;
    using Names = std::pair<const char*, const char*>;
    for (const Names& reg :
         {Names{"kund", "Customers"}, Names{"RESURSER", "resources"}, Names{"bokningar", "BOOKINGS"}}) {
        SCOPED_TRACE(reg.first);
        const Args on{"--db", "@/bok.db", "--user", "admin", "--register"};
        ASSERT_EQ(w.run(Args{"export"} + on + Args{reg.first, "--out", "@/a.skv", "--force"}, "vexla"), 0);
        ASSERT_EQ(w.run(Args{"import"} + on + Args{reg.second, "--in", "@/a.skv", "--delete-first"}, "vexla"), 0);
        ASSERT_EQ(w.run(Args{"export"} + on + Args{reg.first, "--out", "@/b.skv", "--force"}, "vexla"), 0);
        EXPECT_EQ(w.dir.read("b.skv"), w.dir.read("a.skv"));
    }
}

TEST(TransferMappingFile, ReadsUtf8AndWindows1252Alike) {
    TempFolder dir;
    for (const char* bytes : {"\xEF\xBB\xBFNr;\xC3\x85r\r\n\r\nX;Y", "Nr;\xC5r\nX;Y\n", "Nr;\xC3\x85r\rX;Y"}) {
        dir.write("m.txt", bytes);
        EXPECT_EQ(transfer::readMappingLines(dir.file("m.txt")).value(), (Args{"Nr;\xC3\x85r", "X;Y"}));
    }
}

// Held by another of our programs, the tool's refusal on standard error
// names it from our lock file, and a refused check or rescue says "in use".
// An export only reads and takes no fence: it is not refused.
TEST(TransferHeld, NamesTheHolder) {
    TempFolder dir;
    const std::string database = dir.file("bok.db"), program = db::testing::programDir();
    ASSERT_TRUE(sample::makeSampleDatabase(database, {.bookings = 10, .clean = true}));
    db::testing::Child holder(program + "/vexla-holddb", {database});
    ASSERT_TRUE(holder.waitForLine("holding"));
    for (const std::string& job :
         {std::string("compact"), std::string("check"), "recover --out '" + dir.file("r.db") + "'"}) {
        SCOPED_TRACE(job);
        const std::string command = "VEXLA_PASSWORD=vexla '" + program + "/vexla-transfer' " + job + " --db '" +
                                    database + "' --wait 1 >/dev/null 2>'" + dir.file("err") + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 3);
        const std::string said = dir.read("err");
        EXPECT_NE(said.find("vexla-holddb"), std::string::npos) << said;
        EXPECT_NE(said.find(" " + std::to_string(holder.pid()) + ")"), std::string::npos) << said;
    }
}

// The program copied into a folder of its own finds its language file where
// the build's kind of layout puts it (installed: bin/ below the program's
// folder; development: bin/ beside it), and says its help in that file's
// words, as the build tree's program does.
TEST(TransferProgram, ReadsTheLanguageFileOfItsOwnLayout) {
    TempFolder dir;
    const std::string built = db::testing::programDir();
    const std::string folder = dir.file("opt/vexla");
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(dir.file(Kompilerad() ? "opt/vexla/bin" : "opt/bin"));
    std::filesystem::copy_file(built + "/vexla-transfer", folder + "/vexla-transfer");
    std::filesystem::copy_file(built + "/bin/Lang.ini",
                               dir.file(Kompilerad() ? "opt/vexla/bin/Lang.ini" : "opt/bin/Lang.ini"));
    const auto help = [&](const std::string& program, const char* out) {
        EXPECT_EQ(std::system(("'" + program + "/vexla-transfer' --help >'" + dir.file(out) + "' 2>&1").c_str()), 0);
        return dir.read(out);
    };
    const std::string said = help(built, "built");
    ASSERT_NE(said.find("vexla-transfer"), std::string::npos) << said;
    EXPECT_EQ(help(folder, "copied"), said);
}

// A cron line that closes standard output (">&-"): a job whose product goes
// there is refused before it starts, and nothing of the register ends up in
// a file opened later in standard output's place (the activity log); a job
// without such a product runs.
TEST(TransferProgram, AClosedStandardOutputReceivesNoProduct) {
    TempFolder dir;
    const std::string built = db::testing::programDir(), folder = dir.file("opt/vexla");
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(dir.file(Kompilerad() ? "opt/vexla/bin" : "opt/bin"));
    std::filesystem::copy_file(built + "/vexla-transfer", folder + "/vexla-transfer");
    std::filesystem::copy_file(built + "/bin/Lang.ini",
                               dir.file(Kompilerad() ? "opt/vexla/bin/Lang.ini" : "opt/bin/Lang.ini"));
    const std::string database = dir.file("bok.db");
    ASSERT_TRUE(sample::makeSampleDatabase(database, {.customers = 5, .bookings = 10, .clean = true}));
    const auto run = [&](const std::string& job) {
        const int status = std::system(("VEXLA_PASSWORD=vexla '" + folder + "/vexla-transfer' " + job + " --db '" +
                                        database + "' >&- 2>'" + dir.file("err") + "'")
                                           .c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("export --register kund --user admin --out -"), 4) << dir.read("err");
    EXPECT_EQ(run("check --json"), 4) << dir.read("err");
    EXPECT_EQ(run("compact"), 0) << dir.read("err");
    const std::string log = std::filesystem::exists(folder + "/Logg.txt") ? dir.read("opt/vexla/Logg.txt") : "";
    EXPECT_EQ(log.find("ID;"), std::string::npos) << log;
    EXPECT_EQ(log.find("\"command\""), std::string::npos) << log;
}

// The tool itself (its main and the locale it chooses) against the
// export button's code path, on the same database.
TEST(TransferExport, WritesTheBookingsByteForByteAsTheWindow) {
    TempFolder dir;
    const std::string database = dir.file("bok.db");
    ASSERT_TRUE(sample::makeSampleDatabase(database, {.bookings = 300, .clean = true}));
    const std::string program = db::testing::programDir();
    const std::string command = "VEXLA_PASSWORD=vexla '" + program +
                                "/vexla-transfer' export --register bokningar"
                                " --db '" +
                                database + "' --out '" + dir.file("tool.skv") +
                                "' --user admin"
                                " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    ConsoleMessageBoxes console;
    mTexter texts(langIniPath(program), console);
    FixedLocale locale(localeOfLanguage(languageOfTexts(texts)));
    db::SqliteEngine engine(db::engineSettingsFor(locale));
    testing::FakePlatform fakes;
    Platform platform{fakes.messages, fakes.dialogs, fakes.pointer, fakes.clock, locale, fakes.files, dir.path()};
    testing::FakeAdminWindow window;
    window.engineInUse = &engine;
    window.state_.Språk = languageOfTexts(texts);
    window.state_.DataBas = database;
    fakes.dialogs.choices = {dir.file("window.skv")};
    JobContext ctx{window, platform, texts};
    EXPECT_EQ(exportRegister(ctx, 2).n, 300);
    EXPECT_EQ(dir.read("tool.skv"), dir.read("window.skv"));
}

// --json: standard output holds one JSON object and nothing else (or, when
// it carries the register file, standard error's last line does). Every
// field of it is checked against a figure the test works out itself: rows
// counted in the files with SQLite, sizes and paths in the folder, the lines
// of the input file, what standard error said, the hold the system log names.
// A field that no row of the table checks fails the test, so a new one
// cannot go unchecked.
struct Ran {
    World& w;
    std::string before;                // a copy of the database as it was before the run
    std::string pristine;              // and one made before the case readied the folder
    std::string err;                   // standard error, without the JSON line
    const QJsonObject* got = nullptr;  // the object, for a text it must quote
};
using Expect = std::function<QJsonValue(const Ran&)>;
using Fields = std::vector<std::pair<QString, Expect>>;

struct JsonCase {
    const char* name;
    std::vector<std::string> args;
    Fields fields;  // every field but "command" and "status"
    std::function<void(World&)> before = {};
    std::optional<std::string> password = "vexla";
    bool onStandardError = false;
};
void PrintTo(const JsonCase& c, std::ostream* os) { *os << c.name; }

QJsonObject parsedObject(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    EXPECT_TRUE(doc.isObject()) << text;
    return doc.object();
}

using db::testing::queryWithSqlite;
std::string bytesOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
std::string shown(const QJsonValue& v) {
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).toStdString();
}
void execute(const std::string& file, const std::string& sql) {
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db{nullptr, sqlite3_close};
    sqlite3* opened = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &opened), SQLITE_OK);
    db.reset(opened);
    EXPECT_EQ(sqlite3_exec(opened, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(opened);
}
// The rows of `table`, or nothing when the file cannot count them.
std::optional<qint64> rowsIf(const std::string& file, const std::string& table) {
    const auto n = queryWithSqlite(file, "SELECT count(*) FROM \"" + table + "\"");
    return n.size() == 1 && !n[0].starts_with("ERROR") ? std::optional(std::stoll(n[0])) : std::nullopt;
}
qint64 countOf(const std::string& file, const std::string& table, const std::string& where = "1") {
    return std::stoll(queryWithSqlite(file, "SELECT count(*) FROM \"" + table + "\" WHERE " + where).at(0));
}
QJsonObject countsOf(const std::string& file) {
    return {{"customers", countOf(file, "Kund")},
            {"resources", countOf(file, "Person")},
            {"bookings", countOf(file, "Bokning")}};
}
// The counts as far as the file gives them: -1 where it cannot count.
QJsonObject knownCountsOf(const std::string& file) {
    const auto rows = [&](const char* table) { return rowsIf(file, table).value_or(-1); };
    return {{"customers", rows("Kund")}, {"resources", rows("Person")}, {"bookings", rows("Bokning")}};
}
// The backups in the folder (Vexla<day>.db), newest first.
std::vector<std::string> backupsIn(const World& w) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
        if (const std::string n = e.path().filename().string(); n.starts_with("Vexla") && n.ends_with(".db"))
            found.push_back(e.path().string());
    std::sort(found.rbegin(), found.rend());
    return found;
}
QJsonValue newestBackup(const Ran& r) {
    const auto all = backupsIn(r.w);
    return QString::fromStdString(all.empty() ? "" : all.front());
}
// The full path of `name` in the folder when the run left it there.
Expect database(const char* name) {
    return [=](const Ran& r) {
        const std::string p = r.w.dir.file(name);
        return QString::fromStdString(std::filesystem::exists(p) ? p : "");
    };
}
// The log's frames (its file less the 32 bytes of its header).
QJsonValue walBytes(const Ran& r) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(r.w.db + "-wal", ec);
    return ec || size < 32 ? 0 : static_cast<qint64>(size - 32);
}
// The hold the run's line in the system log names (" held=0.012 s").
QJsonValue heldInLog(const Ran& r) {
    std::smatch m;
    const std::string line = r.w.systemLog.lines.empty() ? "" : r.w.systemLog.lines.back().second;
    if (!std::regex_search(line, m, std::regex(" held=([0-9.]+) s")))
        return "no hold in " + QString::fromStdString(line);
    return std::stod(m[1]);
}
// The error: `number`, and as text lines that standard error said, as they stand there.
Expect errorOf(long number) {
    return [=](const Ran& r) {
        std::string said = "\n" + r.err;
        for (std::size_t at = 0; (at = said.find("\nvexla-transfer: ", at)) != std::string::npos;)
            said.erase(at + 1, 16);
        const std::string text = (*r.got)["error"]["text"].toString().toStdString();
        const bool shown = !text.empty() && said.find("\n" + text + "\n") != std::string::npos;
        return QJsonObject{{"number", static_cast<qint64>(number)},
                           {"text", QString::fromStdString(shown ? text : "not said: " + r.err)}};
    };
}
Expect is(QJsonValue v) {
    return [=](const Ran&) { return v; };
}

// The export's file: format and encoding from its first bytes; the records
// the import would not take back as they are, those whose line splits into
// another number of fields than the header (their IDs, the first 20).
Fields exported(const char* name) {
    const auto bytes = [=](const Ran& r) { return *name ? r.w.dir.read(name) : contents(r.w.out.get()); };
    // The file's records, each its fields: a spreadsheet's quotes hold line
    // ends and semicolons; the register format has no quotes of its own.
    const auto records = [=](const Ran& r) {
        const std::string b = bytes(r);
        const bool sheet = b.find('"') < 4;
        std::vector<std::vector<std::string>> found{{""}};
        bool quoted = false;
        for (std::size_t i = 0; i < b.size(); ++i) {
            if (sheet && b[i] == '"') quoted = !quoted;
            if (!quoted && b[i] == ';')
                found.back().emplace_back();
            else if (!quoted && b.compare(i, 2, "\r\n") == 0)
                found.emplace_back(1), ++i;
            else
                found.back().back() += b[i];
        }
        found.pop_back();  // after the last line end
        return found;
    };
    const auto odd = [=](const Ran& r, qsizetype most = 1 << 30) {
        const auto all = records(r);
        QJsonArray ids;
        for (std::size_t n = 1; n < all.size(); ++n)
            if (all[n].size() != all[0].size() && ids.size() < most) ids.append(QString::fromStdString(all[n][0]));
        return ids;
    };
    return {{"records", [=](const Ran& r) { return static_cast<qint64>(records(r).size()) - 1; }},
            {"format", [=](const Ran& r) { return bytes(r).find('"') < 4 ? "spreadsheet" : "register"; }},
            {"encoding", [=](const Ran& r) { return bytes(r).starts_with("\xEF\xBB\xBF") ? "utf-8" : "windows-1252"; }},
            {"not_returnable", [=](const Ran& r) { return static_cast<qint64>(odd(r).size()); }},
            {"not_returnable_ids", [=](const Ran& r) { return odd(r, 20); }},
            {"held_s", heldInLog}};
}
void oddCustomers(World& w) { execute(w.db, "UPDATE Kund SET Namn = Namn || ';' || ID WHERE ID % 7 = 3"); }

// The import of `in` ("" for standard input): customers inserted and
// deleted as the file before and after the run tell; the lines skipped, a
// field count other than the header's or an ID the database held already.
Fields imported(const char* in) {
    const auto text = [=](const Ran& r) { return *in ? r.w.dir.read(in) : std::string(kTwoCustomers); };
    const auto ids = [](const std::string& file) {
        const auto all = queryWithSqlite(file, "SELECT ID FROM Kund");
        return std::set<std::string>(all.begin(), all.end());
    };
    const auto only = [=](const std::string& a, const std::string& b) {
        std::vector<std::string> d;
        const auto x = ids(a), y = ids(b);
        std::set_difference(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(d));
        return static_cast<qint64>(d.size());
    };
    const auto lines = [=](const Ran& r) {
        std::vector<std::string> all;
        std::stringstream s(text(r));
        for (std::string line; std::getline(s, line);) all.push_back(line.substr(0, line.find('\r')));
        return all;
    };
    const auto fields = [](const std::string& l) { return static_cast<qint64>(std::count(l.begin(), l.end(), ';')); };
    const auto skipped = [=](const Ran& r) {
        const auto all = lines(r);
        QJsonArray found;
        for (std::size_t n = 1; n < all.size(); ++n) {
            const std::string id = all[n].substr(0, all[n].find(';'));
            const bool known = countOf(r.before, "Kund", "ID = '" + id + "'") > 0;
            if (fields(all[n]) != fields(all[0]) || known)
                found.append(QJsonObject{{"reason", fields(all[n]) != fields(all[0]) ? "field_count" : "duplicate_key"},
                                         {"line", static_cast<qint64>(n + 1)}});
        }
        return found;
    };
    // A last column without a caption, which no link takes, and the lines holding a value there.
    const auto unmapped = [=](const Ran& r) {
        const auto all = lines(r);
        qint64 values = 0;
        for (std::size_t n = 1; n < all.size(); ++n) values += !all[n].ends_with(';');
        if (!all[0].ends_with(';') || values == 0) return QJsonArray{};
        return QJsonArray{QJsonObject{{"column", fields(all[0]) + 1}, {"caption", ""}, {"values", values}}};
    };
    return {{"inserted", [=](const Ran& r) { return only(r.w.db, r.before); }},
            {"deleted", [=](const Ran& r) { return only(r.before, r.w.db); }},
            {"skipped", [=](const Ran& r) { return static_cast<qint64>(skipped(r).size()); }},
            {"skipped_lines", skipped},
            {"unmapped_values", unmapped},
            {"dry_run", is(false)},
            {"held_s", heldInLog}};
}

// The check's findings, from SQLite's own check of the file and its own
// counts: the tables' rows, and each link of the booking data with the rows
// whose value names no parent row (a Null names none).
QJsonArray linksOf(const std::string& file) {
    struct Link {
        const char *table, *column, *parent;
    };
    QJsonArray links;
    for (const Link& l : {Link{"Bokning", "KundID", "Kund"}, Link{"Bokning", "PersonID", "Person"},
                          Link{"PrelBokning", "KundID", "Kund"}, Link{"PrelBokning", "PersonID", "Person"},
                          Link{"Users", "GruppID", ""}}) {
        const std::string broken = std::string(" FROM \"") + l.table + "\" t WHERE t." + l.column + " IS NULL" +
                                   (*l.parent ? std::string(" OR NOT EXISTS (SELECT 1 FROM \"") + l.parent +
                                                    "\" p WHERE p.ID = t." + l.column + ")"
                                              : "");
        const auto first = queryWithSqlite(file, "SELECT rowid" + broken + " ORDER BY rowid LIMIT 5");
        if (!first.empty() && first.front().starts_with("ERROR")) continue;  // no such table or column
        QJsonArray ids;
        for (const std::string& id : first) ids.append(std::stoll(id));
        links.append(QJsonObject{{"table", l.table},
                                 {"column", l.column},
                                 {"parent", l.parent},
                                 {"rows", countOf(file, l.table)},
                                 {"broken", countOf(file, l.table, "rowid IN (SELECT t.rowid" + broken + ")")},
                                 {"first_ids", ids}});
    }
    return links;
}
std::vector<std::string> engineFindings(const std::string& file) {
    const auto found = queryWithSqlite(file, "PRAGMA quick_check");
    if (found == std::vector<std::string>{"ok"}) return {};
    std::vector<std::string> said;
    for (const std::string& f : found) said.push_back(f.starts_with("ERROR: ") ? f.substr(7) : f);
    return said;
}
// The table or index whose page the damage overwrote (the page that differs
// from the copy made before the damage), as that copy names it,
// and the entries a scan of it reads before the fault.
QJsonArray unreadableOf(const Ran& r) {
    const std::string was = bytesOf(r.pristine), is = bytesOf(r.w.db);
    std::size_t at = 0;
    while (at < is.size() && is.compare(at, 4096, was, at, 4096) == 0) at += 4096;
    const auto page = std::to_string(at / 4096 + 1);
    const auto hit = queryWithSqlite(r.pristine,
                                     "SELECT s.name || '|' || m.tbl_name || '|' || m.type FROM dbstat s "
                                     "JOIN sqlite_schema m USING (name) WHERE s.pageno = " +
                                         page);
    if (hit.empty()) return {};
    const std::string name = hit[0].substr(0, hit[0].find('|')), rest = hit[0].substr(name.size() + 1);
    const std::string table = rest.substr(0, rest.find('|'));
    const bool index = rest.ends_with("|index");
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    sqlite3_open_v2(r.w.db.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::string sql = index ? "SELECT rowid FROM \"" + table + "\" INDEXED BY \"" + name + "\""
                                  : "SELECT * FROM \"" + table + "\" NOT INDEXED";
    qint64 entries = 0;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) ++entries;
    sqlite3_finalize(st), sqlite3_close(db);
    return {QJsonObject{{"name", QString::fromStdString(name)},
                        {"table", QString::fromStdString(table)},
                        {"index", index},
                        {"entries", entries}}};
}
Fields checked() {
    const auto strings = [](const std::vector<std::string>& v) {
        QJsonArray a;
        for (const std::string& s : v) a.append(QString::fromStdString(s));
        return a;
    };
    const auto whole = [](const Ran& r) { return engineFindings(r.w.db).empty(); };
    return {
        {"result",
         [=](const Ran& r) {
             if (!whole(r)) return "damaged";
             for (const QJsonValue& l : linksOf(r.w.db))
                 if (l["broken"].toInteger() > 0) return "links_broken";
             return "sound";
         }},
        {"engine_messages", [=](const Ran& r) { return strings(engineFindings(r.w.db)); }},
        {"tables",
         [=](const Ran& r) {
             QJsonObject rows;
             for (const std::string& t : queryWithSqlite(r.w.db, "SELECT name FROM sqlite_schema WHERE type = 'table'"))
                 if (whole(r)) rows[QString::fromStdString(t)] = countOf(r.w.db, t);
             return rows;
         }},
        {"links", [=](const Ran& r) { return whole(r) ? linksOf(r.w.db) : QJsonArray{}; }},
        {"unreadable", [=](const Ran& r) { return whole(r) ? QJsonArray{} : unreadableOf(r); }},
        {"held_s", heldInLog}};
}

// The rescue's tables: rows as the new file holds them, known as the
// damaged file still counts them or else as the newest backup does (which
// is then named), lost the difference.
bool countsReadable(const Ran& r) {
    for (const std::string& t : queryWithSqlite(r.w.db, "SELECT name FROM sqlite_schema WHERE type = 'table'"))
        if (!rowsIf(r.w.db, t)) return false;
    return true;
}
QJsonValue rescuedTables(const Ran& r) {
    const std::string saved = newestBackup(r).toString().toStdString();
    QJsonArray tables;
    for (const std::string& t : queryWithSqlite(r.w.db, "SELECT name FROM sqlite_schema WHERE type = 'table'")) {
        const qint64 got = countOf(r.w.dir.file("new.db"), t);
        const auto known = rowsIf(r.w.db, t) ? rowsIf(r.w.db, t) : rowsIf(saved, t);
        tables.append(QJsonObject{{"table", QString::fromStdString(t)},
                                  {"rescued", got},
                                  {"known", known ? QJsonValue(*known) : QJsonValue()},
                                  {"lost", known ? QJsonValue(*known - got) : QJsonValue()}});
    }
    return tables;
}
// Each backup in the folder, as its file and its name say.
QJsonValue backupsListed(const Ran& r) {
    QJsonArray list;
    for (const std::string& path : backupsIn(r.w)) {
        const std::string name = std::filesystem::path(path).filename().string();
        QJsonObject entry = countsOf(path);
        entry["name"] = QString::fromStdString(name);
        entry["path"] = QString::fromStdString(path);
        entry["date"] = QString::fromStdString(name.substr(5, 10));
        entry["size"] = static_cast<qint64>(std::filesystem::file_size(path));
        entry["sound"] = engineFindings(path).empty();
        entry["problem"] = "";
        list.append(entry);
    }
    return list;
}
// The bookings' leaf page with the highest number overwritten.
void damageTheLastBookings(World& w) {
    const long page = std::stol(
        queryWithSqlite(w.db, "SELECT max(pageno) FROM dbstat WHERE name = 'Bokning' AND pagetype = 'leaf'").at(0));
    std::fstream f(w.db, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp((page - 1) * 4096);
    f.write(std::string(4096, '\xff').data(), 4096);
}
void halveTheBookings(World& w) { execute(w.db, "DELETE FROM Bokning WHERE ID % 2 = 0"); }

class TransferJson : public ::testing::TestWithParam<JsonCase> {};

TEST_P(TransferJson, EveryFieldHoldsWhatTheFilesSay) {
    const JsonCase& c = GetParam();
    World w;
    TempFolder kept;
    std::filesystem::copy_file(w.db, kept.file("pristine.db"));
    if (c.before) c.before(w);
    std::filesystem::copy_file(w.db, kept.file("before.db"));
    const auto began = std::chrono::steady_clock::now();
    const int status = w.run(c.args + Args{"--json"}, c.password);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::string err = contents(w.err.get()), json = contents(w.out.get());
    if (c.onStandardError) {
        ASSERT_FALSE(err.empty());
        json = err.substr(err.rfind('\n', err.size() - 2) + 1);
        err.erase(err.size() - json.size());
    }
    const QJsonObject got = parsedObject(json);
    EXPECT_EQ(got["status"].toInt(-1), status);
    EXPECT_EQ(got["command"].toString().toStdString(), c.args.front());
    const Ran ran{w, kept.file("before.db"), kept.file("pristine.db"), err, &got};
    QStringList listed{"command", "status"};
    for (const auto& [field, expect] : c.fields) {
        listed.append(field);
        EXPECT_EQ(shown(got[field]), shown(expect(ran))) << field.toStdString() << " in " << json;
    }
    EXPECT_LE(got["held_s"].toDouble(), took) << json;
    listed.sort();
    EXPECT_EQ(got.keys(), listed) << "a field the table does not check, or one missing: " << json;
}

const char* const kSkipping = "ID;Name\r\n1;Dup\r\n5003\t;x;y\r\n5001;Alfa\r\n";
const Fields kCompacted{{"backup", newestBackup}, {"held_s", heldInLog}, {"wal_bytes", walBytes}};
Fields operator+(Fields a, const Fields& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// A restore's object: the file put back, the state kept first, the counts
// before (-1 where damage hides them) and after.
Fields restored(const char* from) {
    return {{"backup", database(from)},
            {"kept", newestBackup},
            {"held_s", heldInLog},
            {"wal_bytes", walBytes},
            {"before", [](const Ran& r) { return knownCountsOf(r.before); }},
            {"restored", [](const Ran& r) { return countsOf(r.w.db); }}};
}

INSTANTIATE_TEST_SUITE_P(
    Commands, TransferJson,
    ::testing::Values(
        JsonCase{"Export", kExport + Args{"@/k.skv"}, exported("k.skv"), oddCustomers},
        JsonCase{"ExportSpreadsheet", kExport + Args{"@/k.csv", "--format", "spreadsheet"}, exported("k.csv")},
        JsonCase{"ExportToStandardOutput", kExport + Args{"-"}, exported(""), {}, "vexla", true},
        JsonCase{"WrongPassword",
                 kExport + Args{"@/k.skv"},
                 {{"error", errorOf(txt::number(txt::LoginRefused))}},
                 {},
                 "Vexla"},
        JsonCase{"Import", kImport + Args{"--report", "@/r.txt"}, imported("in.skv"), file("in.skv", kSkipping)},
        JsonCase{"ImportFromStandardInput", kImport + Args{"--in", "-", "--delete-first"}, imported(""),
                 [](World& w) { std::fputs(kTwoCustomers, w.in.get()), std::rewind(w.in.get()); }},
        JsonCase{"ImportRefusedForValuesNoLinkTakes", kImport,
                 imported("in.skv") + Fields{{"error", errorOf(txt::number(txt::UnlinkedColumnsHoldValues))}},
                 file("in.skv", "ID;Name;\r\n5001;Alfa;rest\r\n")},
        JsonCase{"UnknownOption", kCompact + Args{"--bogus"}, {{"error", errorOf(txt::number(txt::UnknownOption))}}},
        JsonCase{"Compact", kCompact, kCompacted},
        // A reader keeps its snapshot: the log cannot all go back.
        JsonCase{"CompactInWal", kCompact, kCompacted,
                 [](World& w) {
                     execute(w.db, "PRAGMA journal_mode = WAL");
                     sqlite3* db = nullptr;
                     sqlite3_open(w.db.c_str(), &db);
                     w.holder.reset(db);
                     EXPECT_EQ(sqlite3_exec(db, "BEGIN; SELECT count(*) FROM Kund", nullptr, nullptr, nullptr),
                               SQLITE_OK);
                 }},
        JsonCase{"CompactHeld", kCompact,
                 kCompacted + Fields{{"error", errorOf(db::err::OpenedExclusively)}, {"holders", is(QJsonArray{})}},
                 holdDatabase},
        JsonCase{"Copy", kCopy + Args{"@/kopia"}, kCompacted + Fields{{"target", database("kopia.db")}}},
        JsonCase{"CheckSound", kCheck, checked()}, JsonCase{"CheckDamaged", kCheck, checked(), damage},
        JsonCase{"CheckDamagedLate", kCheck, checked(), damageTheLastBookings},
        JsonCase{"CheckLinksBroken", kCheck, checked(), removeACustomer},
        JsonCase{"RecoverDamaged",
                 kRecover,
                 {{"target", database("new.db")},
                  {"backup", [](const Ran& r) { return countsReadable(r) ? QJsonValue("") : newestBackup(r); }},
                  {"tables", rescuedTables}},
                 [](World& w) { backup()(w), damage(w); },
                 std::nullopt},
        JsonCase{"Backups", {"backups", "--db", "@/bok.db"}, {{"backups", backupsListed}}, backup()},
        JsonCase{"Restore",
                 kRestore,
                 restored("Vexla2026-12-03.db"),
                 [](World& w) { backup()(w), halveTheBookings(w); }},
        // A rescued file put in place into a database whose customers no
        // longer count, and a backup into a file the engine cannot open.
        JsonCase{"RestoreRescuedIntoDamaged",
                 {"restore", "--db", "@/bok.db", "--from", "@/new.db"},
                 restored("new.db"),
                 rescueDamaged},
        JsonCase{"RestoreIntoUnopenable",
                 kRestore,
                 restored("Vexla2026-12-03.db"),
                 [](World& w) { backup()(w), destroyFirstPage(w); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A refusal names each process that holds the database: here the child the
// test started, by the name the system gives it, run by this user.
TEST(TransferJsonHolders, NameTheProcessThatHoldsTheDatabase) {
    TempFolder dir;
    const std::string database = dir.file("bok.db"), program = db::testing::programDir();
    ASSERT_TRUE(sample::makeSampleDatabase(database, {.bookings = 10, .clean = true}));
    db::testing::Child holder(program + "/vexla-holddb", {database});
    ASSERT_TRUE(holder.waitForLine("holding"));
    const std::string run = "'" + program + "/vexla-transfer' compact --json --wait 0 --db '" + database + "' >'" +
                            dir.file("out") + "' 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(run.c_str())), 3);
    std::string name = bytesOf("/proc/" + std::to_string(holder.pid()) + "/comm");
    name.erase(name.find_last_not_of('\n') + 1);
    const QJsonArray want{QJsonObject{{"program", QString::fromStdString(name)},
                                      {"pid", static_cast<qint64>(holder.pid())},
                                      {"user", QString::fromStdString(systemUserName())}}};
    EXPECT_EQ(shown(parsedObject(dir.read("out"))["holders"]), shown(want)) << dir.read("out");
}

// A disk that refuses the import's writes (here a limit on file size just
// above the database's) is a file error, not an import the user must fix,
// and the register is as it was.
TEST(TransferImport, ADiskThatRefusesTheWritesIsAFileError) {
    World w;
    std::string lines = "ID;Name\r\n";
    for (int id = 5001; id < 25001; ++id) lines += std::to_string(id) + ";" + std::string(40, 'n') + "\r\n";
    w.dir.write("in.skv", lines);
    const auto customers = [&] { return db::testing::queryWithSqlite(w.db, "SELECT COUNT(*) FROM Kund"); };
    const auto before = customers();
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = std::filesystem::file_size(w.db) + 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int status = w.run(kImport, "vexla");
    setrlimit(RLIMIT_FSIZE, &old), std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, transfer::exitcode::FileError) << contents(w.err.get());
    EXPECT_EQ(customers(), before);
}

// "-" is standard output for export and standard input for import: the same
// bytes as through a file, and no file named "-".
TEST(TransferStandardStreams, CarryTheRegisterFile) {
    World w;
    ASSERT_EQ(w.run(kExport + Args{"@/k.skv"}, "vexla"), 0);
    ASSERT_EQ(w.run(kExport + Args{"-"}, "vexla"), 0);
    const std::string exported = contents(w.out.get());
    EXPECT_EQ(exported.substr(exported.find('\n') + 1), w.dir.read("k.skv"));  // behind the first run's line
    EXPECT_NE(contents(w.err.get()).find("20 R1740 -\n"), std::string::npos);  // the result beside it, on stderr
    std::fputs(w.dir.read("k.skv").c_str(), w.in.get()), std::rewind(w.in.get());
    EXPECT_EQ(w.run(Args{"import", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--in", "/dev/stdin",
                         "--delete-first"},
                    "vexla"),
              0);
    EXPECT_EQ(db::testing::queryWithSqlite(w.db, "SELECT count(*) FROM Kund"), Args{"23"});
    EXPECT_FALSE(std::filesystem::exists("-"));
}

// --quiet prints nothing but errors; every run ends with one line in the
// system log naming the database, at a priority that fits how it ended.
TEST(TransferQuietAndSystemLog, OnlyErrorsAndOneSummaryLine) {
    struct Row {
        Args args;
        std::function<void(World&)> before;
        int status;
        const char* err;  // a part of standard error; "" for nothing there
        LogPriority priority;
    };
    for (const Row& r : {Row{kCompact, {}, 0, "", LogPriority::Notice},
                         Row{kImport, file("in.skv", kSkipping), 5, "", LogPriority::Warning},
                         Row{kImport, file("in.skv", "ID;Name;Extra\r\n5001;Alfa;\r\n"), 0, "", LogPriority::Notice},
                         Row{kCompact, holdDatabase, 3, "R1784!", LogPriority::Error}}) {
        SCOPED_TRACE(r.args.front() + std::to_string(r.status));
        World w;
        if (r.before) r.before(w);
        EXPECT_EQ(w.run(r.args + Args{"--quiet"}, "vexla"), r.status);
        EXPECT_EQ(contents(w.out.get()), "");
        const std::string err = contents(w.err.get());
        EXPECT_EQ(*r.err ? err.find(r.err) != std::string::npos : err.empty(), true) << err;
        ASSERT_FALSE(w.systemLog.lines.empty());
        const auto& [priority, line] = w.systemLog.lines.back();
        EXPECT_EQ(priority, r.priority);
        const std::string summary =
            "user tester: vexla-transfer " + r.args.front() + " R9570 " + std::to_string(r.status) + ": " + w.db;
        EXPECT_EQ(line.rfind(summary, 0), 0u) << line;
        EXPECT_EQ(line.find("R1784!") != std::string::npos, r.priority == LogPriority::Error) << line;
        // Each says how long its job held the booking system's commits off.
        EXPECT_TRUE(std::regex_search(line, std::regex("\\.db held=[0-9]+\\.[0-9]{3} s(: |$)"))) << line;
    }
}

}  // namespace
}  // namespace vexla
