// A maintenance job's world in a scratch folder: a small demo database, the
// scripted platform and a main window pointing at the database.
#pragma once

#include <map>
#include <string>

#include "db/engine.h"
#include "session/job_context.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/fake_platform.h"

namespace vexla::testing {

// An engine that hands every call to `real`: a test's engine overrides the
// calls it changes.
class ForwardingEngine : public db::DBEngine {
public:
    explicit ForwardingEngine(db::DBEngine& real) : real_(real) {}
    Result<std::unique_ptr<db::Database>> OpenDatabase(const std::string& path, bool exclusive) override {
        return real_.OpenDatabase(path, exclusive);
    }
    Status CompactDatabase(const std::string& source, const std::string& destination) override {
        return real_.CompactDatabase(source, destination);
    }
    Result<db::DatabaseFence> FenceDatabase(const std::string& path) override { return real_.FenceDatabase(path); }
    Result<std::unique_ptr<db::ExaminedFile>> OpenForExamination(const std::string& path) override {
        return real_.OpenForExamination(path);
    }

protected:
    db::DBEngine& real_;
};

struct JobWorld {
    // A fresh demo database, or a copy of the database file `copyOf`.
    explicit JobWorld(const std::string& copyOf = {});

    TempFolder dir;
    FakePlatform fakes;
    FakeAdminWindow window;
    CodeTexts texts;
    Platform platform;
    JobContext ctx;
    std::string db;  // the database path

    // Rows per table of a database file, read with the engine; empty when it
    // does not open or fails its integrity check.
    std::map<std::string, long> rowsIn(const std::string& path);
    // The message boxes shown, texts only.
    std::vector<std::string> boxTexts() const;
    // The compaction as the window's button runs it: the job, then its
    // outcome shown. Answers whether the database was compacted.
    bool compactInWindow();
};

}  // namespace vexla::testing
