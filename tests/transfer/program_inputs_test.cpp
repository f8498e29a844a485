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
// and `out` (closed when negative). Sends SIGTERM after `stopAfterMs` when that is not negative;
// kills the child when it still runs after 10 s.
Ran run(const std::vector<std::string>& args, int in, int out, int stopAfterMs = -1) {
    int err[2];
    if (::pipe(err) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in, 0), out < 0 ? ::close(1) : ::dup2(out, 1), ::dup2(err[1], 2);
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
    const std::string lang = langIniPath(folder);
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
    // Standard output on `out`: /dev/null when -1, closed when -2.
    Ran transfer(std::vector<std::string> args, int out = -1) {
        args.insert(args.begin(), folder + "/vexla-transfer");
        return run(args, devNull, out == -1 ? devNull : out);
    }
    // Standard output into the file `path`.
    Ran transferInto(const std::string& path, std::vector<std::string> args) {
        const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const Ran ran = transfer(std::move(args), out);
        ::close(out);
        return ran;
    }
    Ran admin(std::vector<std::string> args) {
        args.insert(args.begin(), folder + "/vexla-admin");
        return run(args, devNull, devNull);
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
    const std::string transfer = w.folder + "/vexla-transfer", admin = w.folder + "/vexla-admin";
    const struct {
        std::string placed;  // a settings file made a node as well, or ""
        std::vector<std::string> args;
        int status;
        std::vector<std::string> told;
    } cases[] = {
        {"",
         {transfer, "import", "--register", "kund", "--db", w.db, "--in", node, "--user", "admin"},
         4,
         {said + ": " + node, "--in -"}},
        {"",
         {transfer, "import", "--register", "kund", "--db", w.db, "--in", w.customers, "--map", node, "--user",
          "admin"},
         4,
         {said + ": " + node}},
        {"", {transfer, "restore", "--db", w.db, "--from", node}, 4, {said + ": " + node}},
        {w.folder + "/Vexla.ini",
         {admin, "/a", "k"},
         1,
         {"vexla-admin: Vexla.ini not read: not a regular file (" + kind + ")\n"}},
        {w.lang,
         {transfer, "check", "--db", w.db},
         0,
         {"vexla-transfer: " + w.shownLang + " not read: not a regular file (" + kind + ")\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.placed);
        if (!c.placed.empty()) place(c.placed);
        const Ran ran = run(c.args, w.devNull, w.devNull);
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
            const Ran ran = w.transferInto(w.dir.file("help"), {"--help"});
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
    const std::string transfer = w.folder + "/vexla-transfer";
    const struct {
        std::vector<std::string> args;
        int in;
    } cases[] = {
        {{transfer, "check", "--db", w.db, "--wait", "60"}, w.devNull},
        {{transfer, "compact", "--db", w.db, "--wait", "60"}, w.devNull},
        {{transfer, "export", "--register", "kund", "--db", w.db, "--out", w.dir.file("k"), "--user", "admin", "--wait",
          "60"},
         w.devNull},
        {{transfer, "import", "--register", "kund", "--db", w.db, "--in", w.customers, "--user", "admin",
          "--password-stdin"},
         silent[0]},
        {{w.folder + "/vexla-admin", "/a", "k", "--wait", "60", "/d", w.db}, w.devNull},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.in == silent[0] ? " password" : ""));
        const Ran r = run(c.args, c.in, w.devNull, 700);
        ASSERT_FALSE(r.hung());
        EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
        EXPECT_LT(r.afterStop, 1.0);
    }
    ::close(silent[0]), ::close(silent[1]);
    sqlite3_close(locker);
}

// A product (the register file, the JSON object) that standard output does
// not take ends the job with nothing changed, exit 4 and one line; a mere
// summary line that is lost changes nothing. Standard output closed (a cron
// line's ">&-"), nothing of a product ends up in a file opened later in its
// place (the activity log).
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
        {"check --json", {"check", "--db", w.db, "--json"}, 4},
        {"summary of an export",
         {"export", "--register", "kund", "--db", w.db, "--out", w.dir.file("k"), "--user", "admin"},
         0},
    };
    for (const std::string into : {"/dev/full", "a closed pipe", "closed"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " to " + into);
            fs::remove(w.dir.file("k"));
            int ends[2];
            ASSERT_EQ(::pipe(ends), 0);
            ::close(ends[0]);
            const int out = into == "closed" ? -2 : into == "/dev/full" ? ::open("/dev/full", O_WRONLY) : ends[1];
            const std::string before = w.customerCount();
            const Ran ran = w.transfer(c.args, out);
            if (out != ends[1] && out >= 0) ::close(out);
            ::close(ends[1]);
            EXPECT_EQ(ran.status, c.status) << ran.err;
            if (c.status == 4) {
                EXPECT_EQ(std::count(ran.err.begin(), ran.err.end(), '\n'), 1) << ran.err;
            }
            EXPECT_EQ(w.customerCount(), before);
        }
    }
    const std::string log = testing::fileBytes(w.folder + "/Logg.txt");
    EXPECT_EQ(log.find("ID;"), std::string::npos) << log;
    EXPECT_EQ(log.find("\"command\""), std::string::npos) << log;
}

// The JSON object's error gives a script a file the system refused by the
// system's own number, one we refuse for its kind by the number of our
// text. An activity log that cannot be written is told beside the job: the
// error stays the job's own failure.
TEST(JsonError, GivesTheJobsOwnFailureByItsNumber) {
    Installed w;
    fs::create_directory(w.dir.file("folder"));
    std::ofstream(w.dir.file("empty.skv")).flush();
    const auto importing = [&](const std::string& in, std::vector<std::string> more = {}) {
        std::vector<std::string> args{"import", "--register", "kund", "--db", w.db, "--user", "admin", "--in", in};
        return args.insert(args.end(), more.begin(), more.end()), args;
    };
    const struct {
        std::vector<std::string> args;
        long number;
        const char* code;  // a text the error's says, or null
        bool logRefused;   // Logg.txt a folder, from this case on
    } cases[] = {
        {{"export", "--register", "kund", "--db", w.db, "--user", "admin", "--out",
          w.dir.file(std::string(300, 'x') + ".skv")},
         ENAMETOOLONG,
         nullptr,
         false},
        {importing(w.dir.file("gone.skv")), ENOENT, nullptr, false},
        {importing(w.dir.file("folder")), txt::number(txt::FolderNotRead), nullptr, false},
        {importing(w.dir.file("empty.skv")), 1800, txt::FileHasNoHeaderLine, true},
        {importing(w.customers, {"--dry-run", "--report", w.dir.path()}), 9372, txt::ReportNotWritable, true},
    };
    const std::string refused = builtText(txt::ActivityLogNotWritable);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[8]);
        if (c.logRefused && !fs::is_directory(w.folder + "/Logg.txt"))
            fs::remove(w.folder + "/Logg.txt"), fs::create_directory(w.folder + "/Logg.txt");
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const Ran ran = w.transferInto(w.dir.file("report.json"), args);
        EXPECT_EQ(ran.status, 4) << ran.err;
        EXPECT_EQ(ran.err.find(refused) != std::string::npos, c.logRefused) << ran.err;
        const std::string json = w.dir.read("report.json");
        const QJsonObject error = QJsonDocument::fromJson(QByteArray::fromStdString(json))["error"].toObject();
        EXPECT_EQ(error["number"].toInteger(), c.number) << json;
        const std::string text = error["text"].toString().toStdString();
        EXPECT_EQ(text.find(refused), std::string::npos) << text;
        if (c.code) {
            EXPECT_NE(text.find(builtText(c.code)), std::string::npos) << text;
        }
    }
}

// The programs copied into a folder of their own find the language file
// where the build's kind of layout puts it (installed: bin/ below the
// program's folder; development: bin/ beside it) and say their help in that
// file's words, as the build tree's program does.
TEST(InstalledLayout, ReadsTheLanguageFileOfItsOwnLayout) {
    Installed w;
    const auto help = [&](const std::string& folder, const char* name) {
        const int out = ::open(w.dir.file(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(run({folder + "/vexla-transfer", "--help"}, w.devNull, out).status, 0);
        ::close(out);
        return w.dir.read(name);
    };
    const std::string said = help(w.built, "built");
    ASSERT_NE(said.find("vexla-transfer"), std::string::npos) << said;
    EXPECT_EQ(help(w.folder, "copied"), said);
}

}  // namespace
}  // namespace vexla
