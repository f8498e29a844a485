// Export, import with "delete first" into a copy, export again: for a
// database without the values and columns a register file cannot carry, the
// two files are byte-identical, for every register and both languages.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "tools/sample_generator.h"
#include "registers/export_register.h"
#include "registers/field_mapping.h"
#include "registers/import.h"
#include "registers/register_kind.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/fake_platform.h"
#include "transfer/links.h"

namespace vexla {
namespace {

// The links vexla-transfer makes for the register file at `file`, the
// register's field types put into the request; none when the table or the
// file cannot be read.
LinkTable autoLinked(db::Database& db, ImportRequest& request, const std::string& file, const std::string& language) {
    const auto fields = databaseFields(db, *registerByName(request.registerName), language);
    if (!fields) return {};
    std::vector<std::string> captions;
    for (const DatabaseField& field : *fields) {
        captions.push_back(field.caption);
        request.fieldTypes.push_back(field.typeCode);
    }
    testing::FakeMessageBoxes unseen;
    testing::CodeTexts texts;
    const auto fileFields = registerFileFields(file, unseen, texts);
    return fileFields ? transfer::autoLinks(captions, *fileFields) : LinkTable{};
}

// One program's side of the trip, in a language.
struct Side {
    explicit Side(const char* language) { window.state_.Språk = language; }
    testing::FakePlatform fakes;
    testing::FakeAdminWindow window;
    testing::CodeTexts texts;
};

// Exports register `kind` of the database at dbPath to file; answers the count.
std::int32_t exportTo(Side& side, const std::string& dbPath, std::int16_t kind, const std::string& file,
                      const std::string& folder) {
    side.window.state_.DataBas = dbPath;
    side.window.state_.db = side.window.engine_.OpenDatabase(dbPath, true).value();
    Platform platform = side.fakes.platform(folder);
    side.fakes.dialogs.choices.push_back(file);
    ExportContext ctx{side.window, platform, side.texts};
    const std::int32_t n = exportRegister(ctx, kind).n;
    side.window.state_.db->Close();
    side.window.state_.db.reset();
    return n;
}

// Opens `in` in the spreadsheet and saves it as `out`, as an administrator
// editing a register would; false when no spreadsheet is installed.
bool throughSpreadsheet(const std::string& in, const std::string& out, const std::string& language) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) return false;
    const std::string script = std::string(std::getenv("VEXLA_SOURCE_DIR")) + "/scripts/spreadsheet-roundtrip.sh";
    const std::string command =
        script + " '" + in + "' '" + out + "' " + (language == "se" ? "1053" : "1033");
    return std::system(command.c_str()) == 0;
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<int, const char*, bool>> {};

TEST_P(RoundTrip, ExportImportExportGivesTheSameFile) {
    const auto [kind, language, spreadsheet] = GetParam();
    const RegisterKind& reg = *registerByKind(static_cast<std::int16_t>(kind));
    testing::TempFolder dir;
    ASSERT_TRUE(sample::makeSampleDatabase(dir.file("a.db"),
                                           {.customers = 40, .resources = 12, .bookings = 150, .clean = true}));
    std::filesystem::copy_file(dir.file("a.db"), dir.file("b.db"));

    Side first(language);
    const std::int32_t exported = exportTo(first, dir.file("a.db"), reg.kind, dir.file("first.skv"), dir.path());
    ASSERT_GT(exported, 0);
    std::string imported = dir.file("first.skv");
    if (spreadsheet) {
        imported = dir.file("sheet.skv");
        if (!throughSpreadsheet(dir.file("first.skv"), imported, language)) GTEST_SKIP() << "no spreadsheet here";
    }

    Side second(language);
    auto db = second.window.engine_.OpenDatabase(dir.file("b.db"), true).value();
    ImportRequest request{std::string(reg.name), imported, true, {}, false};
    const LinkTable links = autoLinked(*db, request, imported, language);
    ImportServices services(*db, language);
    const ImportOutcome outcome = importRegister(links, request, services);
    EXPECT_EQ(outcome.inserted, exported);
    EXPECT_TRUE(outcome.committed && outcome.deletedFirst);
    ASSERT_TRUE(db->CheckIntegrity());
    db->Close();
    db.reset();

    Side third(language);
    EXPECT_EQ(exportTo(third, dir.file("b.db"), reg.kind, dir.file("second.skv"), dir.path()), exported);
    EXPECT_EQ(dir.read("second.skv"), dir.read("first.skv"));
}

INSTANTIATE_TEST_SUITE_P(Registers, RoundTrip,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values("se", "en"),
                                            ::testing::Values(false, true)),
                         [](const auto& info) {
                             return "Kind" + std::to_string(std::get<0>(info.param)) + "_" + std::get<1>(info.param) +
                                    (std::get<2>(info.param) ? "_Spreadsheet" : "");
                         });

// The README's round trip on the default demo database, whose registers hold
// texts with ";" and columns the catalogue does not know: export, then
// import with "delete first" and automatic links. A file that cannot come
// back whole, and a register whose unknown column would lose its values,
// are refused, so nothing is lost or renumbered: the database is byte for
// byte what it was.
TEST(RoundTrip, TheDefaultDemoDatabaseLosesNothing) {
    testing::TempFolder dir;
    const std::string database = dir.file("demo.db");
    ASSERT_TRUE(sample::makeSampleDatabase(database, {.customers = 40, .resources = 12, .bookings = 150}));
    const auto dump = [&] {
        const std::string to = dir.file("dump.sql");
        EXPECT_EQ(std::system(("sqlite3 '" + database + "' .dump > '" + to + "'").c_str()), 0);
        return dir.read("dump.sql");
    };
    const std::string before = dump();
    for (const RegisterKind& reg : kRegisters) {
        SCOPED_TRACE(reg.name);
        Side side("se");
        const std::string file = dir.file(std::string(reg.defaultFile));
        ASSERT_GT(exportTo(side, database, reg.kind, file, dir.path()), 0);
        auto db = side.window.engine_.OpenDatabase(database, true).value();
        ImportRequest request{std::string(reg.name), file, true, {}, false};
        const LinkTable links = autoLinked(*db, request, file, "se");
        ImportServices services(*db, "se");
        const ImportOutcome outcome = importRegister(links, request, services);
        EXPECT_TRUE(outcome.stopped());
        db->Close();
    }
    EXPECT_EQ(dump(), before);
}

}  // namespace
}  // namespace vexla
