#include "tests/maintenance/job_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "maintenance/compaction.h"
#include "tools/sample_generator.h"

namespace vexla::testing {

JobWorld::JobWorld(const std::string& copyOf)
    : platform(fakes.platform(dir.path())), ctx{window, platform, texts}, db(dir.file("bok.db")) {
    if (!copyOf.empty()) {
        std::filesystem::copy_file(copyOf, db);
    } else {
        sample::Options options;
        options.customers = 30;
        options.resources = 6;
        options.bookings = 400;
        EXPECT_TRUE(sample::makeSampleDatabase(db, options));
    }
    window.state_.DataBas = db;
    window.state_.msSökväg = dir.path();
}

std::map<std::string, long> JobWorld::rowsIn(const std::string& path) {
    std::map<std::string, long> rows;
    auto opened = window.engine_.OpenDatabase(path, true);
    if (!opened || !(*opened)->CheckIntegrity()) return rows;
    auto tables = (*opened)->TableNames();
    if (!tables) return rows;
    for (const std::string& table : *tables) rows[table] = (*opened)->TableRecordCount(table).value();
    (void)(*opened)->Close();
    return rows;
}

std::vector<std::string> JobWorld::boxTexts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : fakes.messages.shown) texts.push_back(box.text);
    return texts;
}

bool JobWorld::compactInWindow() {
    const CompactionOutcome outcome = compactDatabase(ctx);
    showCompaction(ctx, outcome);
    return outcome.compacted();
}

}  // namespace vexla::testing
