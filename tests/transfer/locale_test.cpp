// vexla-transfer as cron (no LANG), a server (C.UTF-8) and desktops run it:
// the environment's locale changes no byte the program writes or reads;
// Locale= of Vexla.ini and --locale do.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/db/db_test_support.h"
#include "texts/kompilerad.h"
#include "tools/sample_generator.h"

namespace vexla {
namespace {

namespace fs = std::filesystem;

// The program copied into a folder of its own with the built Lang.ini, beside a demo database.
struct Installed {
    testing::TempFolder dir;
    const std::string folder = dir.file("opt/vexla");
    const std::string db = dir.file("bok.db");

    Installed() {
        const std::string built = db::testing::programDir();
        fs::create_directories(folder);
        fs::create_directories(fs::path(langIniPath(folder)).parent_path());
        fs::copy_file(built + "/vexla-transfer", folder + "/vexla-transfer");
        fs::copy_file(built + "/bin/Lang.ini", langIniPath(folder));
        EXPECT_TRUE(sample::makeSampleDatabase(db, {.customers = 5, .resources = 3, .bookings = 20, .clean = true}));
    }
    void settings(const std::string& locale) const {
        dir.write("opt/vexla/Vexla.ini", "[System]\r\nLocale=" + locale + "\r\n");
    }
    // Runs the program with nothing of the environment but `environment`
    // (as cron gives); its standard error is kept in "err".
    int run(const std::string& environment, const std::string& args) const {
        const std::string line = "env -i VEXLA_PASSWORD=vexla " + environment + " '" + folder + "/vexla-transfer' " +
                                 args + " --db '" + db + "' >/dev/null 2>'" + dir.file("err") + "'";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string exported(const std::string& environment, const std::string& args, const std::string& name) const {
        EXPECT_EQ(run(environment, "export --user admin --out '" + dir.file(name) + "' " + args), 0)
            << environment << " " << args << ": " << dir.read("err");
        return dir.read(name);
    }
};

const char* const kEnvironments[] = {"", "LANG=C.UTF-8", "LANG=sv_SE.UTF-8", "LANG=C LC_ALL=sv_SE.UTF-8",
                                     "LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8"};

const char* const kSwedishTime = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
const char* const kEnglishTime = R"(\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M)";

TEST(TransferLocale, WritesTheSameBytesUnderEveryEnvironment) {
    struct Choice {
        const char* setting;  // Locale= of Vexla.ini
        const char* option;
        const char* time;     // a date and time as the chosen locale writes it
        const char* decimal;  // a field with a decimal separator
    };
    // No setting: the locale of the installed language (here Swedish).
    const Choice choices[] = {{"", "", kSwedishTime, R"(;\d+,\d+;)"},
                              {"sv_SE", "", kSwedishTime, R"(;\d+,\d+;)"},
                              {"en_US", "", kEnglishTime, R"(;\d+\.\d+;)"},
                              {"", "--locale en_US", kEnglishTime, R"(;\d+\.\d+;)"},
                              {"en_US", "--locale=sv_SE", kSwedishTime, R"(;\d+,\d+;)"}};
    Installed in;
    for (const Choice& c : choices) {
        SCOPED_TRACE(std::string(c.setting) + " " + c.option);
        in.settings(c.setting);
        fs::remove(in.folder + "/Logg.txt");
        const std::string args = std::string("--register bokningar --force ") + c.option;
        const std::string first = in.exported(kEnvironments[0], args, "0.skv");
        EXPECT_TRUE(std::regex_search(first, std::regex(std::string(";") + c.time + ";"))) << first.substr(0, 400);
        EXPECT_TRUE(std::regex_search(first, std::regex(c.decimal))) << first.substr(0, 400);
        for (const char* environment : kEnvironments)
            EXPECT_TRUE(in.exported(environment, args, "n.skv") == first) << "differs under " << environment;
        // Every line of the activity log begins with its time, as the locale writes it.
        const std::string log = in.dir.read("opt/vexla/Logg.txt");
        const std::regex stamp(std::string("(^|\r\n)") + c.time + " Export ");
        EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), stamp), std::sregex_iterator()),
                  std::size(kEnvironments) + 1)
            << log;
    }
}

TEST(TransferLocale, ReadsASwedishDecimalWithoutLang) {
    Installed in;
    in.settings("sv_SE");
    const std::string args = "--register kund --force";
    const std::string file = in.exported("", args, "kund.skv");
    // The first customer again, under a new ID and with a discount (the eighth field) of 5,5.
    const std::size_t header = file.find("\r\n") + 2;
    std::vector<std::string> fields(1);
    for (char ch : file.substr(header, file.find("\r\n", header) - header))
        ch == ';' ? void(fields.emplace_back()) : fields.back().push_back(ch);
    fields[0] = "9001", fields[7] = "5,5";
    std::string line = fields[0];
    for (std::size_t i = 1; i < fields.size(); ++i) line += ";" + fields[i];
    in.dir.write("new.skv", file.substr(0, header) + line + "\r\n");
    EXPECT_EQ(in.run("", "import --user admin --register kund --in '" + in.dir.file("new.skv") + "'"), 0)
        << in.dir.read("err");
    EXPECT_NE(in.exported("", args, "again.skv").find("\r\n" + line + "\r\n"), std::string::npos) << line;
}

TEST(TransferLocale, RefusesAnUnknownNameAndToldOfOneInTheSettings) {
    Installed in;
    EXPECT_EQ(in.run("", "compact --locale xx_XX"), 1);
    EXPECT_NE(in.dir.read("err").find(": xx_XX\n"), std::string::npos) << in.dir.read("err");
    // A setting that names no locale: the language's, and one line that names the value.
    const std::string byLanguage = in.exported("", "--register kund", "a.skv");
    in.settings("sv");
    EXPECT_EQ(in.exported("LANG=en_US.UTF-8", "--register kund --force", "a.skv"), byLanguage);
    EXPECT_NE(in.dir.read("err").find(": sv. "), std::string::npos) << in.dir.read("err");
}

}  // namespace
}  // namespace vexla
