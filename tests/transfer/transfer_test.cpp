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
#include "tests/support/source_tree.h"
#include "tests/transfer/transfer_test_support.h"
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

using testing::Args;
using testing::at;
using testing::contents;
using testing::operator+;
using testing::World;

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

const Args kExport{"export", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--out"};
const Args kImport{"import", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--in", "@/in.skv"};
const Args kCompact{"compact", "--db", "@/bok.db"};
const Args kCopy{"copy", "--db", "@/bok.db", "--out"};
const Args kCheck{"check", "--db", "@/bok.db"};
const Args kRecover{"recover", "--db", "@/bok.db", "--out", "@/new.db"};
const Args kRestore{"restore", "--db", "@/bok.db", "--from", "@/Vexla2026-12-03.db"};

// The notice of the columns no link takes in a file of 1000 fields, ID and Name captioned.
const std::string kWideFileUnlinked = [] {
    std::string notice = "R9123: ";
    for (int column = 3; column <= 1000; ++column)
        notice += (column > 3 ? ", R9041 " : "R9041 ") + std::to_string(column);
    return notice + "\n";
}();

std::function<void(World&)> file(const char* name, const std::string& bytes) {
    return [=](World& w) { w.dir.write(name, bytes); };
}
using Connection = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;
// `sql` run on the file; the connection stays open while the answer lives.
Connection execute(const std::string& file, const std::string& sql) {
    Connection db{nullptr, sqlite3_close};
    sqlite3* opened = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &opened), SQLITE_OK);
    db.reset(opened);
    EXPECT_EQ(sqlite3_exec(opened, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(opened);
    return db;
}
void holdDatabase(World& w) { w.holder = execute(w.db, "BEGIN EXCLUSIVE"); }
// The database's page `page` (from 1) overwritten with `byte`.
void overwritePage(World& w, std::uintmax_t page, char byte = '\xff') {
    std::fstream f(w.db, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>((page - 1) * 4096));
    f.write(std::string(4096, byte).data(), 4096);
}
// A page in the middle of the database overwritten.
void damage(World& w) { overwritePage(w, std::filesystem::file_size(w.db) / 2 / 4096 + 1); }
// The root page of the customers overwritten, so that they cannot even be
// counted, and the rows that can still be read rescued into @/new.db.
void rescueDamaged(World& w) {
    overwritePage(
        w,
        std::stoul(db::testing::queryWithSqlite(w.db, "SELECT rootpage FROM sqlite_schema WHERE name = 'Kund'").at(0)));
    ASSERT_EQ(w.run({"recover", "--db", "@/bok.db", "--out", "@/new.db", "--quiet"}, {}), 0);
}
// The first page overwritten with zeros: the engine cannot open the file.
void destroyFirstPage(World& w) { overwritePage(w, 1, '\0'); }
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
    // An err that begins with the program's name is where standard error
    // begins: each error does, whether a job's box, the login's or the
    // command line's says it.
    const std::size_t said = err.find(at(c.err, w.dir.path()));
    if (c.err.empty())
        EXPECT_EQ(err, "");
    else if (c.err.starts_with("vexla-transfer: "))
        EXPECT_EQ(said, 0u) << err;
    else
        EXPECT_NE(said, std::string::npos) << err;
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
        Case{"UnknownOption", kCompact + Args{"--force"}, 1, "vexla-transfer: R9079: --force\nR9065", ""},
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
             "20 R1740", nullptr, "vexla",
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
        Case{"NoPassword", kExport + Args{"@/k.skv"}, 1, "vexla-transfer: R9083", "", nullptr, std::nullopt},
        Case{"WrongPassword", kExport + Args{"@/k.skv"}, 2, "vexla-transfer: R0137\nR0138", "", nullptr, "Vexla"},
        Case{"NotAnAdministrator",
             Args{"export", "--register", "kund", "--db", "@/bok.db", "--user", "anna"} + Args{"--out", "@/k.skv"}, 2,
             "vexla-transfer: R0137\nR0138", ""},
        // Another program holds the database.
        Case{"HeldAtLogin", kExport + Args{"@/k.skv"}, 3, "R1784!\nR1785 R0558!\nR1786", "", holdDatabase},
        Case{"HeldAtCompaction", kCompact, 3, "vexla-transfer: R1784!\nR1785 R0558!\nR1786", "", holdDatabase},
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
        Case{"DatabaseMissingAtCompaction", {"compact", "--db", "@/nope.db"}, 4, "vexla-transfer: R1787!", ""},
        Case{"ExportTargetExists", kExport + Args{"@/k.skv"}, 4, "R9084: @/k.skv", "", file("k.skv", "old")},
        Case{"ExportFolderMissing",
             kExport + Args{"@/no/k.skv"},
             4,
             "R9275 (R9140: @/no/k.skv)",
             "R1739", nullptr, "vexla",
             logged("R9548", "no/k.skv", "0 R9551; R9555: 76 R9275 (R9140: @/no/k.skv)")},
        Case{"ImportFileMissing", kImport, 4, "R9106: @/in.skv", ""},
        Case{"ReportCannotBeWritten", kImport + Args{"--report", "@/no/r.txt"}, 4, "R9372: @/no/r.txt (76", "",
             file("in.skv", kTwoCustomers)},
        Case{"ImportFromAFolder", kImport + Args{"--in", "@"}, 4, "R9622: @", ""},
        Case{"ImportFileWithoutFields", kImport, 4, "R1798!", "", file("in.skv", "ID\r\n1\r\n"), "vexla",
             logged("R9546", "in.skv", "0 R9552, 0 R9553, 0 R9554; R9555: R1798!")},
        // A header of 1000 fields is the most the import takes (told of the 998 no link takes).
        Case{"ImportOfTheMostFields", kImport, 0, kWideFileUnlinked.c_str(), "1 R1805\n",
             file("in.skv", "ID;Name" + std::string(998, ';') + "\r\n5001;Alfa" + std::string(998, ';') + "\r\n")},
        Case{"ImportOfAFieldTooMany", kImport, 4, "R9105!", "", file("in.skv", "ID;Name" + std::string(999, ';') + "\r\n")},
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
        Case{"RecoverOntoTheDatabase", {"recover", "--db", "@/bok.db", "--out", "@/bok.db", "--force"}, 4, "R9600: @/bok.db", ""},
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
             "20 R1740 @/k.skv\n", nullptr, "vexla",
             logged("R9548", "k.skv", "20 R9551; R9555: R9556")},
        Case{"ExportEmptyRegister", kExport + Args{"@/k.skv"}, 0, "", "R1738",
             [](World& w) { execute(w.db, "DELETE FROM Kund"); }, "vexla",
             logged("R9548", "k.skv", "0 R9551; R9555: R9556")},
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
        Case{"ExportOverTheDatabase", kExport + Args{"@/bok.db", "--force"}, 4, "vexla-transfer: 75\nR9278 (R9600: @/bok.db)", ""},
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
// the sign in Swedish, none in English. A phase that goes on reporting its
// total (the interval copy making its indexes) draws its bar once, not at
// every report; the next total at once.
TEST(TransferStatusLine, WritesTheShareInTheLanguagesFormAndARepeatedTotalOnce) {
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
        for (int i = 0; i < 100; ++i) progress.report(7, 7, ProgressUnit::Rows);
        progress.report(9, 9, ProgressUnit::Rows);
        const std::string drawn = contents(err.get());
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 3) << drawn;
    }
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

// The tool itself (its main and the locale it chooses) against the
// export button's code path, on the same database.
TEST(TransferExport, WritesTheBookingsByteForByteAsTheWindow) {
    TempFolder dir;
    const std::string database = dir.file("bok.db");
    ASSERT_TRUE(sample::makeSampleDatabase(database, {.bookings = 300, .clean = true}));
    const std::string program = db::testing::programDir();
    const std::string command = "VEXLA_PASSWORD=vexla '" + program +
                                "/vexla-transfer' export --register bokningar --db '" + database + "' --out '" +
                                dir.file("tool.skv") + "' --user admin >/dev/null 2>&1";
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
std::string shown(const QJsonValue& v) {
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).toStdString();
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
// More customers whose names hold the separator than the object lists.
void oddCustomers(World& w) {
    execute(w.db,
            "UPDATE Kund SET Namn = Namn || ';' || ID WHERE ID % 7 = 3; "
            "INSERT INTO Kund (ID, Namn) SELECT ID + 1000, 'x;' || ID FROM Kund");
}

// The import of `in` ("" for standard input): customers inserted and
// deleted as the file before and after the run tell; the lines skipped, a
// field count other than the header's or an ID the database held already.
// A dry run leaves the customers as they were and counts the lines it would
// have inserted (it deletes nothing first here).
Fields imported(const char* in, bool dry = false) {
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
    const auto inserted = [=](const Ran& r) {
        return dry ? static_cast<qint64>(lines(r).size() - 1 - skipped(r).size()) : only(r.w.db, r.before);
    };
    const auto unchanged = [=](const Ran& r) { return only(r.w.db, r.before) + only(r.before, r.w.db) == 0; };
    return {{"inserted", inserted},
            {"deleted", [=](const Ran& r) { return only(r.before, r.w.db); }},
            {"skipped", [=](const Ran& r) { return static_cast<qint64>(skipped(r).size()); }},
            {"skipped_lines", skipped},
            {"unmapped_values", unmapped},
            {"dry_run", [=](const Ran& r) { return dry ? QJsonValue(unchanged(r)) : false; }},
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
    const std::string was = testing::fileBytes(r.pristine), is = testing::fileBytes(r.w.db);
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
    overwritePage(w, std::stoul(queryWithSqlite(
                                    w.db, "SELECT max(pageno) FROM dbstat WHERE name = 'Bokning' AND pagetype = 'leaf'")
                                    .at(0)));
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
        JsonCase{"ImportDryRun", kImport + Args{"--dry-run"}, imported("in.skv", true), file("in.skv", kSkipping)},
        JsonCase{"ImportFromStandardInput", kImport + Args{"--in", "-", "--delete-first"}, imported(""),
                 [](World& w) { std::fputs(kTwoCustomers, w.in.get()), std::rewind(w.in.get()); }},
        JsonCase{"ImportRefusedForValuesNoLinkTakes", kImport,
                 imported("in.skv") + Fields{{"error", errorOf(txt::number(txt::UnlinkedColumnsHoldValues))}},
                 file("in.skv", "ID;Name;\r\n5001;Alfa;rest\r\n")},
        JsonCase{"UnknownOption", kCompact + Args{"--bogus"}, {{"error", errorOf(txt::number(txt::UnknownOption))}}},
        JsonCase{"Compact", kCompact, kCompacted},
        // A reader keeps its snapshot: the log cannot all go back.
        JsonCase{
            "CompactInWal", kCompact, kCompacted,
            [](World& w) { execute(w.db, "PRAGMA journal_mode = WAL");
                     w.holder = execute(w.db, "BEGIN; SELECT count(*) FROM Kund"); }},
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
        JsonCase{"Restore", kRestore, restored("Vexla2026-12-03.db"),
                 [](World& w) { backup()(w), halveTheBookings(w); }},
        // A rescued file put in place into a database whose customers no
        // longer count, and a backup into a file the engine cannot open.
        JsonCase{"RestoreRescuedIntoDamaged",
                 {"restore", "--db", "@/bok.db", "--from", "@/new.db"},
                 restored("new.db"),
                 rescueDamaged},
        JsonCase{"RestoreIntoUnopenable", kRestore, restored("Vexla2026-12-03.db"),
                 [](World& w) { backup()(w), destroyFirstPage(w); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Held by another of our programs, a refused job names it from our lock
// file on standard error, and a compaction in its JSON object's "holders"
// by the name the system gives it, run by this user. An export only reads and takes no
// fence: it is not refused.
TEST(TransferHeld, NamesTheHolder) {
    TempFolder dir;
    const std::string database = dir.file("bok.db"), program = db::testing::programDir();
    ASSERT_TRUE(sample::makeSampleDatabase(database, {.bookings = 10, .clean = true}));
    db::testing::Child holder(program + "/vexla-holddb", {database});
    ASSERT_TRUE(holder.waitForLine("holding"));
    std::string name = testing::fileBytes("/proc/" + std::to_string(holder.pid()) + "/comm");
    name.erase(name.find_last_not_of('\n') + 1);
    const QJsonArray want{QJsonObject{{"program", QString::fromStdString(name)},
                                      {"pid", static_cast<qint64>(holder.pid())},
                                      {"user", QString::fromStdString(systemUserName())}}};
    for (const std::string& job :
         {std::string("compact"), std::string("check"), "recover --out '" + dir.file("r.db") + "'"}) {
        SCOPED_TRACE(job);
        const std::string command = "VEXLA_PASSWORD=vexla '" + program + "/vexla-transfer' " + job + " --db '" +
                                    database + "' --wait 1 --json >'" + dir.file("out") + "' 2>'" + dir.file("err") +
                                    "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 3);
        const std::string said = dir.read("err");
        EXPECT_NE(said.find("vexla-holddb"), std::string::npos) << said;
        EXPECT_NE(said.find(" " + std::to_string(holder.pid()) + ")"), std::string::npos) << said;
        if (job == "compact") {
            EXPECT_EQ(shown(parsedObject(dir.read("out"))["holders"]), shown(want)) << dir.read("out");
        }
    }
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
