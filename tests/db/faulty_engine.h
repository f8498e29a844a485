// An engine that forwards to a real one and fails chosen calls: the nth call
// of a named operation returns the given error instead of running. For
// testing how the jobs above the engine handle each failure.
//
// Operation names: OpenDatabase, CompactDatabase, FenceDatabase (engine);
// Execute, OpenRecordset, Prepare, BeginTrans, CommitTrans, Rollback,
// TableNames, TableRecordCount, CheckIntegrity, Close (database); MoveNext
// (recordset); PreparedExecute (prepared statement). Calls are counted per
// engine across every database it opened.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "db/engine.h"

namespace vexla::db::testing {

class FaultPlan {
public:
    // Makes the nth call (counted from 1) of op fail with error.
    void failOn(const std::string& op, int nth, Error error) { faults_[{op, nth}] = std::move(error); }
    // Counts the call; the error when this call is to fail.
    const Error* call(const std::string& op);
    int calls(const std::string& op) const;

private:
    std::map<std::pair<std::string, int>, Error> faults_;
    std::map<std::string, int> calls_;
};

class FaultyEngine final : public DBEngine {
public:
    explicit FaultyEngine(DBEngine& real) : real_(real), plan_(std::make_shared<FaultPlan>()) {}
    FaultPlan& plan() { return *plan_; }

    Result<std::unique_ptr<Database>> OpenDatabase(const std::string& path, bool exclusive = true) override;
    Status CompactDatabase(const std::string& source, const std::string& destination,
                           const std::string& locale = "") override;
    Result<DatabaseFence> FenceDatabase(const std::string& path) override;

private:
    DBEngine& real_;
    std::shared_ptr<FaultPlan> plan_;
};

}  // namespace vexla::db::testing
