// Every --db command of the built vexla-transfer, given a path it cannot
// use as the database, says the real cause in the installed language with
// exit status 4, on standard error and in its --json "error".
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/console_platform.h"
#include "tests/db/db_test_support.h"
#include "tests/support/fake_platform.h"
#include "tests/transfer/transfer_test_support.h"
#include "texts/mtexter.h"
#include "texts/text_codes.h"
#include "tools/sample_generator.h"

namespace vexla {
namespace {

using testing::TempFolder;

struct Cause {
    const char* name;
    // Makes the path in `dir` (a folder every user may enter); "" when this
    // machine cannot make it, with why in `skip`.
    std::function<std::string(const TempFolder& dir, std::string& skip)> make;
    long number;                     // error.number
    std::vector<const char*> texts;  // one of them words it (a refusal box has its own)
    bool asNobody = false;           // run by the user nobody (only root can)
};

void PrintTo(const Cause& c, std::ostream* os) { *os << c.name; }

void makeDatabase(const std::string& path) {
    ASSERT_TRUE(sample::makeSampleDatabase(path, {.customers = 5, .bookings = 10, .clean = true}));
    std::filesystem::permissions(path, std::filesystem::perms(0644));
}

const Cause kCauses[] = {
    {"Missing",
     [](const TempFolder& d, std::string&) { return d.file("none.db"); },
     3024,
     {txt::ErrFileNotFound, txt::DatabaseFileNotFound}},
    {"FileDenied",
     [](const TempFolder& d, std::string&) {
         makeDatabase(d.file("closed.db"));
         std::filesystem::permissions(d.file("closed.db"), std::filesystem::perms(0600));
         return d.file("closed.db");
     },
     EACCES,
     {txt::FileDeniedToUser},
     true},
    {"FolderDenied",
     [](const TempFolder& d, std::string&) {
         std::filesystem::create_directory(d.file("private"));
         makeDatabase(d.file("private/bok.db"));
         std::filesystem::permissions(d.file("private"), std::filesystem::perms(0700));
         return d.file("private/bok.db");
     },
     EACCES,
     {txt::FolderDeniedToUser},
     true},
    {"Fifo",
     [](const TempFolder& d, std::string&) { return ::mkfifo(d.file("pipe.db").c_str(), 0644), d.file("pipe.db"); },
     txt::number(txt::DatabaseIsFifo),
     {txt::DatabaseIsFifo}},
    {"Device",
     [](const TempFolder& d, std::string& skip) {
         if (::geteuid() != 0) return skip = "only root may make a device node", std::string();
         return ::mknod(d.file("null.db").c_str(), S_IFCHR | 0666, makedev(1, 3)), d.file("null.db");
     },
     txt::number(txt::DatabaseIsDevice),
     {txt::DatabaseIsDevice}},
    {"Folder",
     [](const TempFolder& d, std::string&) {
         return std::filesystem::create_directory(d.file("f.db")), d.file("f.db");
     },
     txt::number(txt::DatabaseIsFolder),
     {txt::DatabaseIsFolder}},
    {"Socket",
     [](const TempFolder& d, std::string& skip) {
         if (testing::makeSocket(d.file("s.db"))) return d.file("s.db");
         return skip = "the folder's path is too long for a socket", std::string();
     },
     txt::number(txt::DatabaseIsSocket),
     {txt::DatabaseIsSocket}},
    {"LinkLoop",
     [](const TempFolder& d, std::string&) {
         std::filesystem::create_symlink("b.db", d.file("a.db"));
         std::filesystem::create_symlink("a.db", d.file("b.db"));
         return d.file("a.db");
     },
     ELOOP,
     {txt::SymbolicLinkLoop}},
    // A name longer than the system takes, and a whole path longer than the engine takes.
    {"NameTooLong",
     [](const TempFolder& d, std::string&) { return d.file(std::string(300, 'n') + ".db"); },
     ENAMETOOLONG,
     {txt::PathTooLong}},
    {"PathTooLongForTheEngine",
     [](const TempFolder& d, std::string&) {
         std::string folder = d.path();
         while (folder.size() < 600) folder += "/" + std::string(100, 'p');
         std::filesystem::create_directories(folder);
         // The engine could not make it there either: made nearby, then moved.
         makeDatabase(d.file("deep.db"));
         std::filesystem::rename(d.file("deep.db"), folder + "/bok.db");
         return folder + "/bok.db";
     },
     ENAMETOOLONG,
     {txt::PathTooLong}},
    {"TextFile",
     [](const TempFolder& d, std::string&) { return d.write("text.db", "ID;Namn\r\n1;Anna\r\n"); },
     3343,
     {txt::ErrNotADatabase, txt::NotARecognisedDatabase}},
};

// One command of each family; "@" is the scratch folder.
const std::vector<std::string> kCommands{
    "export --register kund --user admin --out @/out.skv",
    "import --register kund --user admin --in @/in.skv",
    "compact",
    "copy --out @/copy.db",
    "check",
    "recover --out @/new.db",
    "backups",
    "restore --from @/Vexla2026-01-01.db",
};

std::string quoted(const std::string& s) { return "'" + s + "'"; }

class OpenCauses : public ::testing::TestWithParam<Cause> {};

TEST_P(OpenCauses, EveryDbCommandSaysTheCauseWithStatus4) {
    const Cause& cause = GetParam();
    if (cause.asNobody && ::geteuid() != 0) GTEST_SKIP() << "only root can run the program as another user";
    TempFolder dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));  // nobody may enter
    makeDatabase(dir.file("Vexla2026-01-01.db"));
    dir.write("in.skv", "KundID;Namn\r\n1;Anna\r\n");
    std::string skip;
    const std::string database = cause.make(dir, skip);
    if (database.empty()) GTEST_SKIP() << skip;

    const std::string program = db::testing::programDir();
    ConsoleMessageBoxes quiet(stderr);
    mTexter texts(program + "/bin/Lang.ini", quiet);
    for (std::string command : kCommands) {
        for (std::size_t p = command.find('@'); p != std::string::npos; p = command.find('@', p))
            command.replace(p, 1, dir.path());
        SCOPED_TRACE(command);
        const std::string line = std::string(cause.asNobody ? "runuser -u nobody -- " : "") +
                                 "env VEXLA_PASSWORD=vexla " + quoted(program + "/vexla-transfer") + " " + command +
                                 " --json --wait 0 --db " + quoted(database) + " >" + quoted(dir.file("out")) + " 2>" +
                                 quoted(dir.file("err")) + " </dev/null";
        const int status = std::system(line.c_str());
        const std::string err = dir.read("err"), out = dir.read("out");
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 4) << err;
        const QJsonObject error =
            QJsonDocument::fromJson(QByteArray::fromStdString(out)).object().value("error").toObject();
        EXPECT_EQ(error.value("number").toInteger(), cause.number) << out;
        const std::string said = error.value("text").toString().toStdString();
        bool worded = false;
        for (const char* code : cause.texts) {
            const std::string text = texts.TextTillAndra(code);
            ASSERT_NE(text, "") << code;
            worded = worded || (err.find(text) != std::string::npos && said.find(text) != std::string::npos);
        }
        EXPECT_TRUE(worded) << err << out;
        if (cause.asNobody) {
            EXPECT_NE(said.find(" nobody: "), std::string::npos) << said;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, OpenCauses, ::testing::ValuesIn(kCauses),
                         [](const ::testing::TestParamInfo<Cause>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
