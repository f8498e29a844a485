// CompactDatabase: a compacted copy with every row, the locale recorded, an
// existing destination never touched, and the source's refusals passed on.
#include <gtest/gtest.h>
#include <tuple>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db {
namespace {

using testing::TempDir;

const char* const kLocale = ";LANGID=0x041D;CP=1252;COUNTRY=0";

class Compact : public ::testing::Test {
protected:
    void SetUp() override {
        source = dir.file("Vexlaol.db");
        target = dir.file("Vexla.db");
        std::string sql = testing::kBookingSchema;
        sql +=
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
            "INSERT INTO Bokning (ID, KundID, StartTid, Anteckning) "
            "SELECT i, i % 50, '2026-01-01 08:00:00', printf('%0500d', i) FROM n;"
            "DELETE FROM Bokning WHERE ID % 3 = 0;";
        testing::makeDatabase(source, sql);
    }
    TempDir dir;
    std::string source, target;
    SqliteEngine engine;
};

TEST_F(Compact, WritesASmallerCopyWithEveryRowAndTheLocale) {
    const Status s = engine.CompactDatabase(source, target, kLocale);
    ASSERT_TRUE(s.ok()) << s.error().description;
    EXPECT_LT(testing::fileSize(target), testing::fileSize(source));
    EXPECT_EQ(testing::queryWithSqlite(target,
                                       "SELECT count(*) FROM Bokning UNION ALL "
                                       "SELECT * FROM pragma_integrity_check"),
              (std::vector<std::string>{"2000", "ok"}));
    EXPECT_EQ(testing::queryWithSqlite(target,
                                       "SELECT group_concat(Name || '=' || Value, ';') FROM "
                                       "(SELECT * FROM MSysLocale ORDER BY Name)"),
              std::vector<std::string>{"COUNTRY=0;CP=1252;LANGID=0x041D;Locale=;LANGID=0x041D;CP=1252;COUNTRY=0"});
    EXPECT_FALSE(testing::fileExists(target + ".compacting") || testing::fileExists(source + ".lock"));
    // Compacted again without a locale, the copy keeps its source's record.
    ASSERT_TRUE(engine.CompactDatabase(target, dir.file("again.db")).ok());
    EXPECT_EQ(testing::queryWithSqlite(dir.file("again.db"), "SELECT Value FROM MSysLocale WHERE Name = 'LANGID'"),
              std::vector<std::string>{"0x041D"});

    // The engine's own listing leaves its bookkeeping table out.
    EXPECT_EQ(engine.OpenDatabase(target).value()->TableNames().value(),
              (std::vector<std::string>{"Kund", "Person", "Bokning", "Users"}));
}

// A refused compaction: the files of the scratch folder that stand in for the
// booking database and the new file, and the locale.
struct Refusal {
    const char *name, *src, *dst;  // src nullptr: the booking database; dst nullptr: a new file
    const char *written, *locale;  // written: bytes put in the destination (or in an other source) first
    long number;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class CompactRefuses : public Compact, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CompactRefuses, WithTheEngineNumberLeavingBothFilesAlone) {
    const Refusal& r = GetParam();
    const std::string src = r.src ? dir.file(r.src) : source, dst = r.dst ? dir.file(r.dst) : target;
    if (r.written) testing::writeFile(r.src ? src : dst, r.written);
    const auto sizes = [&] {
        return std::make_tuple(testing::fileSize(src), testing::fileSize(dst),
                               testing::fileExists(dst + ".compacting"));
    };
    const auto before = sizes();
    EXPECT_EQ(engine.CompactDatabase(src, dst, r.locale).error().number, r.number);
    EXPECT_EQ(sizes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompactRefuses,
    ::testing::Values(Refusal{"DestinationExists", nullptr, nullptr, "någon annans fil", kLocale, 3204},
                      Refusal{"DestinationFolderMissing", nullptr, "nej/ny.db", nullptr, kLocale, 3044},
                      Refusal{"SourceMissing", "borta.db", nullptr, nullptr, kLocale, 3024},
                      Refusal{"SourceNoDatabase", "text.db", nullptr, "hej", kLocale, 3343},
                      Refusal{"UnknownLocaleKey", nullptr, nullptr, nullptr, ";LANG=sv;CP=1252", 3001},
                      Refusal{"LocaleTwice", nullptr, nullptr, nullptr, ";LANGID=0x041D;LANGID=0x0409", 3001}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla::db
