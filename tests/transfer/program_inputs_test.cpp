// The programs themselves (vexla-transfer, vexla-admin) against the inputs
// that used to hang them or flood them: a FIFO or a device wherever a file
// is read, a settings file they cannot read, a stop signal while they wait,
// and a standard output that takes no writes. Each run is a child process
// with a deadline: a hang is a failure, never a test that does not end.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/console_platform.h"
#include "tests/db/db_test_support.h"
#include "tests/support/source_tree.h"
#include "texts/kompilerad.h"
#include "texts/mtexter.h"
#include "texts/text_codes.h"
#include "tools/sample_generator.h"

namespace vexla {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using Clock = std::chrono::steady_clock;

struct Ran {
    int status = -1;       // the exit status, 128 + the signal that ended it, -1 hung
    double afterStop = 0;  // seconds from the SIGTERM sent to the end
    std::string err;       // standard error
    bool hung() const { return status == -1; }
};

// Runs `args` (the program first) with standard input and output on `in`
// and `out`. Sends SIGTERM after `stopAfterMs` when that is not negative;
// kills the child when it still runs after 10 s.
Ran run(const std::vector<std::string>& args, int in, int out, int stopAfterMs = -1) {
    int err[2];
    if (::pipe(err) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in, 0), ::dup2(out, 1), ::dup2(err[1], 2);
        ::setenv("VEXLA_PASSWORD", "vexla", 1);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(err[1]);
    Ran ran;
    const auto began = Clock::now();
    std::optional<Clock::time_point> stopped;
    char buffer[4096];
    int status = 0;
    for (;;) {
        pollfd watched{err[0], POLLIN, 0};
        if (::poll(&watched, 1, 20) > 0) {
            const ssize_t n = ::read(err[0], buffer, sizeof buffer);
            if (n > 0) ran.err.append(buffer, static_cast<std::size_t>(n));
        }
        if (::waitpid(pid, &status, WNOHANG) == pid) break;
        const auto now = Clock::now();
        if (stopAfterMs >= 0 && !stopped && now - began >= std::chrono::milliseconds(stopAfterMs)) {
            ::kill(pid, SIGTERM);
            stopped = now;
        }
        if (now - began > std::chrono::seconds(10)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ::close(err[0]);
            return ran;  // hung
        }
    }
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;)
        ran.err.append(buffer, static_cast<std::size_t>(n));
    ::close(err[0]);
    if (stopped) ran.afterStop = std::chrono::duration<double>(Clock::now() - *stopped).count();
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ran;
}

// Both programs copied into a folder of their own with the built Lang.ini,
// a demo database, and a register file of its customers.
struct Installed {
    TempFolder dir;
    const std::string built = db::testing::programDir();
    const std::string folder = dir.file("opt/vexla");
    const std::string lang = dir.file(Kompilerad() ? "opt/vexla/bin/Lang.ini" : "opt/bin/Lang.ini");
    const std::string shownLang = Kompilerad() ? "bin/Lang.ini" : "../bin/Lang.ini";
    const std::string db = dir.file("bok.db"), customers = dir.file("kund.skv");
    int devNull = ::open("/dev/null", O_RDWR);

    Installed() {
        fs::create_directories(fs::path(lang).parent_path());
        fs::create_directories(folder);
        for (const char* program : {"vexla-transfer", "vexla-admin"})
            fs::copy_file(built + "/" + program, folder + "/" + program);
        fs::copy_file(built + "/bin/Lang.ini", lang);
        EXPECT_TRUE(sample::makeSampleDatabase(db, {.customers = 5, .bookings = 0, .clean = true}));
        TempFolder source;
        EXPECT_TRUE(sample::makeSampleDatabase(source.file("k.db"), {.customers = 50, .bookings = 0, .clean = true}));
        EXPECT_EQ(transfer({"export", "--register", "kund", "--db", source.file("k.db"), "--out", customers, "--user",
                            "admin"})
                      .status,
                  0);
    }
    ~Installed() { ::close(devNull); }
    Ran transfer(std::vector<std::string> args, int out = -1, int stopAfterMs = -1, int in = -1) {
        args.insert(args.begin(), folder + "/vexla-transfer");
        return run(args, in < 0 ? devNull : in, out < 0 ? devNull : out, stopAfterMs);
    }
    Ran admin(std::vector<std::string> args, int stopAfterMs = -1) {
        args.insert(args.begin(), folder + "/vexla-admin");
        return run(args, devNull, devNull, stopAfterMs);
    }
    std::string customerCount() { return db::testing::queryWithSqlite(db, "SELECT count(*) FROM Kund").at(0); }
};

// The texts of the built Lang.ini, for what the programs say in it.
std::string builtText(const char* code) {
    ConsoleMessageBoxes console;
    mTexter texts(db::testing::programDir() + "/bin/Lang.ini", console);
    return texts.TextTillAndra(code);
}

// Wherever a file is read, a FIFO or a device is refused at once and says
// what it is; a settings file so placed is passed over with one English line.
class NoRegularFile : public ::testing::TestWithParam<bool> {};

TEST_P(NoRegularFile, IsRefusedWhereverAFileIsReadAndNeverWaitedFor) {
    const bool device = GetParam();
    if (device && ::geteuid() != 0) GTEST_SKIP() << "only root makes a device node";
    Installed w;
    const std::string kind = device ? "device" : "FIFO",
                      said = builtText(device ? txt::DeviceNotRead : txt::FifoNotRead);
    const auto place = [&](const std::string& path) {
        fs::remove(path);
        ASSERT_EQ(device ? ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) : ::mkfifo(path.c_str(), 0666), 0);
    };
    const std::string node = w.dir.file("node");
    place(node);
    struct Case {
        const char* name;
        std::function<Ran()> run;
        int status;
        std::vector<std::string> told;
    };
    const std::vector<Case> cases{
        {"--in",
         [&] {
             return w.transfer({"import", "--register", "kund", "--db", w.db, "--in", node, "--user", "admin"});
         },
         4,
         {said + ": " + node, "--in -"}},
        {"--map",
         [&] {
             return w.transfer(
                 {"import", "--register", "kund", "--db", w.db, "--in", w.customers, "--map", node, "--user", "admin"});
         },
         4,
         {said + ": " + node}},
        {"restore",
         [&] {
             return w.transfer({"restore", "--db", w.db, "--from", node});
         },
         4,
         {said + ": " + node}},
        {"Vexla.ini",
         [&] {
             place(w.folder + "/Vexla.ini");
             return w.admin({"/a", "k"});
         },
         1,
         {"vexla-admin: Vexla.ini not read: not a regular file (" + kind + ")\n"}},
        {"Lang.ini",
         [&] {
             place(w.lang);
             return w.transfer({"check", "--db", w.db});
         },
         0,
         {"vexla-transfer: " + w.shownLang + " not read: not a regular file (" + kind + ")\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Ran ran = c.run();
        ASSERT_FALSE(ran.hung());
        EXPECT_EQ(ran.status, c.status) << ran.err;
        for (const std::string& told : c.told) EXPECT_NE(ran.err.find(told), std::string::npos) << ran.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, NoRegularFile, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Device" : "Fifo"; });

// A settings file too large or in an encoding not read is passed over: the
// texts are empty (Lang.ini), there is no database (Vexla.ini), and one
// English line says why.
TEST(SettingsFilePassedOver, IsToldInOneEnglishLine) {
    Installed w;
    const std::string header = "[System]\r\nDataBas1=" + w.db + "\r\n";
    std::string wide16 = "\xFF\xFE", bare16, wide32("\xFF\xFE\0\0", 4);
    for (char c : header) wide16 += {c, '\0'}, bare16 += {c, '\0'}, wide32 += {c, '\0', '\0', '\0'};
    struct Case {
        const char* name;
        bool lang;
        std::string bytes, reason;
    } cases[] = {{"Large", true, "[System]\r\n" + std::string(kMaxIniBytes, ';'), "larger than 1 MB"},
                 {"Utf16", true, wide16, "UTF-16 encoded"},
                 {"Utf16WithoutMark", true, bare16, "UTF-16 encoded"},
                 {"Utf32", true, wide32, "UTF-32 encoded"},
                 {"Utf16VexlaIni", false, wide16, "UTF-16 encoded"}};
    const std::string texts = testing::fileBytes(w.lang);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db::testing::writeFile(c.lang ? w.lang : w.folder + "/Vexla.ini", c.bytes);
        if (c.lang) {
            const int out = ::open(w.dir.file("help").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const Ran ran = w.transfer({"--help"}, out);
            ::close(out);
            EXPECT_EQ(ran.err, "vexla-transfer: " + w.shownLang + " not read: " + c.reason + "\n");
            const std::string help = w.dir.read("help");
            EXPECT_EQ(help.find_first_not_of('\n'), std::string::npos) << help;  // every text empty
            db::testing::writeFile(w.lang, texts);
        } else {
            const Ran ran = w.admin({"/a", "k"});
            EXPECT_EQ(ran.status, 1);
            EXPECT_EQ(ran.err.rfind("vexla-admin: Vexla.ini not read: " + c.reason + "\n", 0), 0u) << ran.err;
        }
    }
}

// A stop signal ends every wait within a second: the engine's wait for a
// database another connection locks, and the password read from a pipe.
// vexla-transfer undoes and answers 143; vexla-admin ends at once.
TEST(StopSignal, EndsEveryWaitWithinASecond) {
    Installed w;
    sqlite3* locker = nullptr;
    ASSERT_EQ(sqlite3_open(w.db.c_str(), &locker), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    int silent[2];
    ASSERT_EQ(::pipe(silent), 0);  // a standard input nobody writes to
    const std::vector<std::pair<const char*, std::function<Ran()>>> cases{
        {"check",
         [&] {
             return w.transfer({"check", "--db", w.db, "--wait", "60"}, -1, 700);
         }},
        {"compact",
         [&] {
             return w.transfer({"compact", "--db", w.db, "--wait", "60"}, -1, 700);
         }},
        {"login",
         [&] {
             return w.transfer({"export", "--register", "kund", "--db", w.db, "--out", w.dir.file("k"), "--user",
                                "admin", "--wait", "60"},
                               -1, 700);
         }},
        {"password",
         [&] {
             return w.transfer({"import", "--register", "kund", "--db", w.db, "--in", w.customers, "--user", "admin",
                                "--password-stdin"},
                               -1, 700, silent[0]);
         }},
        {"vexla-admin /a k",
         [&] {
             return w.admin({"/a", "k", "--wait", "60", "/d", w.db}, 700);
         }},
    };
    for (const auto& [name, ran] : cases) {
        SCOPED_TRACE(name);
        const Ran r = ran();
        ASSERT_FALSE(r.hung());
        EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
        EXPECT_LT(r.afterStop, 1.0);
    }
    ::close(silent[0]), ::close(silent[1]);
    sqlite3_close(locker);
}

// A product (the register file, the JSON object) that standard output does
// not take ends the job with nothing changed, exit 4 and one line; a mere
// summary line that is lost changes nothing.
TEST(StandardOutput, ThatTakesNoWritesEndsAJobWhoseProductGoesThere) {
    Installed w;
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {"export", {"export", "--register", "kund", "--db", w.db, "--out", "-", "--user", "admin"}, 4},
        {"import --json",
         {"import", "--register", "kund", "--db", w.db, "--in", w.customers, "--user", "admin", "--json"},
         4},
        {"summary of an export",
         {"export", "--register", "kund", "--db", w.db, "--out", w.dir.file("k"), "--user", "admin"},
         0},
    };
    for (const bool full : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (full ? " to /dev/full" : " to a closed pipe"));
            fs::remove(w.dir.file("k"));
            int ends[2];
            ASSERT_EQ(::pipe(ends), 0);
            ::close(ends[0]);
            const int out = full ? ::open("/dev/full", O_WRONLY) : ends[1];
            const std::string before = w.customerCount();
            const Ran ran = w.transfer(c.args, out);
            if (full) ::close(out);
            ::close(ends[1]);
            EXPECT_EQ(ran.status, c.status) << ran.err;
            if (c.status == 4) {
                EXPECT_EQ(std::count(ran.err.begin(), ran.err.end(), '\n'), 1) << ran.err;
            }
            EXPECT_EQ(w.customerCount(), before);
        }
    }
}

// An activity log that cannot be written is told beside the job: the JSON
// object's error stays the job's own failure, with its number.
TEST(ActivityLogRefused, LeavesTheJobsFailureInItsReport) {
    Installed w;
    fs::remove(w.folder + "/Logg.txt");
    fs::create_directory(w.folder + "/Logg.txt");
    std::ofstream(w.dir.file("empty.skv")).flush();
    const struct {
        std::vector<std::string> args;
        long number;
        const char* code;
    } cases[] = {
        {{"import", "--register", "kund", "--db", w.db, "--in", w.dir.file("empty.skv"), "--user", "admin"},
         1800,
         txt::FileHasNoHeaderLine},
        {{"import", "--register", "kund", "--db", w.db, "--in", w.customers, "--user", "admin", "--dry-run", "--report",
          w.dir.path()},
         9372,
         txt::ReportNotWritable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const std::string report = w.dir.file("report.json");
        const int out = ::open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const Ran ran = w.transfer(args, out);
        ::close(out);
        EXPECT_EQ(ran.status, 4) << ran.err;
        EXPECT_NE(ran.err.find(builtText(txt::ActivityLogNotWritable)), std::string::npos) << ran.err;
        std::stringstream json;
        json << std::ifstream(report).rdbuf();
        const QJsonObject error = QJsonDocument::fromJson(QByteArray::fromStdString(json.str()))["error"].toObject();
        EXPECT_EQ(error["number"].toInteger(), c.number) << json.str();
        const std::string text = error["text"].toString().toStdString();
        EXPECT_EQ(text.find(builtText(txt::ActivityLogNotWritable)), std::string::npos) << text;
        if (c.code) {
            EXPECT_NE(text.find(builtText(c.code)), std::string::npos) << text;
        }
    }
}

// A file the system refused is given to a script by the system's own
// number; one we refuse for its kind, by the number of our text.
TEST(FileFailure, GivesScriptsTheSystemsNumberElseOurTexts) {
    Installed w;
    fs::create_directory(w.dir.file("folder"));
    const auto importing = [&](const std::string& in) {
        return std::vector<std::string>{"import", "--register", "kund", "--db", w.db, "--user", "admin", "--in", in};
    };
    const struct {
        std::vector<std::string> args;
        long number;
    } cases[] = {
        {{"export", "--register", "kund", "--db", w.db, "--user", "admin", "--out",
          w.dir.file(std::string(300, 'x') + ".skv")},
         ENAMETOOLONG},
        {importing(w.dir.file("gone.skv")), ENOENT},
        {importing(w.dir.file("folder")), txt::number(txt::FolderNotRead)},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        SCOPED_TRACE(c.args.back());
        const std::string report = w.dir.file("report.json");
        const int out = ::open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const Ran ran = w.transfer(args, out);
        ::close(out);
        EXPECT_EQ(ran.status, 4) << ran.err;
        std::stringstream json;
        json << std::ifstream(report).rdbuf();
        EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(json.str()))["error"]["number"].toInteger(),
                  c.number)
            << json.str();
    }
}

}  // namespace
}  // namespace vexla
