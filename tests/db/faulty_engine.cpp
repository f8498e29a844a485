#include "tests/db/faulty_engine.h"

namespace vexla::db::testing {

const Error* FaultPlan::call(const std::string& op) {
    const int n = ++calls_[op];
    auto it = faults_.find({op, n});
    return it == faults_.end() ? nullptr : &it->second;
}

int FaultPlan::calls(const std::string& op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

namespace {

class FaultyRecordset final : public Recordset {
public:
    FaultyRecordset(std::unique_ptr<Recordset> real, std::shared_ptr<FaultPlan> plan)
        : real_(std::move(real)), plan_(std::move(plan)) {}
    bool Eof() const override { return real_->Eof(); }
    Status MoveFirst() override { return real_->MoveFirst(); }
    Status MoveNext() override {
        if (const Error* e = plan_->call("MoveNext")) return *e;
        return real_->MoveNext();
    }
    long RecordCount() const override { return real_->RecordCount(); }
    void Close() override { real_->Close(); }
    int FieldCount() const override { return real_->FieldCount(); }
    const std::string& name(int i) const override { return real_->name(i); }
    int type(int i) const override { return real_->type(i); }
    Result<Variant> value(int i) const override { return real_->value(i); }
    RawValue raw(int i) const override { return real_->raw(i); }
    int indexOf(std::string_view n) const override { return real_->indexOf(n); }

private:
    std::unique_ptr<Recordset> real_;
    std::shared_ptr<FaultPlan> plan_;
};

Result<std::unique_ptr<Recordset>> wrap(Result<std::unique_ptr<Recordset>> rs, const std::shared_ptr<FaultPlan>& plan) {
    if (!rs) return rs.error();
    return std::unique_ptr<Recordset>(std::make_unique<FaultyRecordset>(std::move(*rs), plan));
}

class FaultyPrepared final : public PreparedStatement {
public:
    FaultyPrepared(std::unique_ptr<PreparedStatement> real, std::shared_ptr<FaultPlan> plan)
        : real_(std::move(real)), plan_(std::move(plan)) {}
    int ParameterCount() const override { return real_->ParameterCount(); }
    Status BindText(int s, std::string_view t) override { return real_->BindText(s, t); }
    Status BindDate(int s, std::string_view t) override { return real_->BindDate(s, t); }
    Status BindBare(int s, std::string_view t) override { return real_->BindBare(s, t); }
    Status BindNull(int s) override { return real_->BindNull(s); }
    Status Bind(int s, const Variant& v) override { return real_->Bind(s, v); }
    Status Execute() override {
        if (const Error* e = plan_->call("PreparedExecute")) return *e;
        return real_->Execute();
    }
    Result<std::unique_ptr<Recordset>> OpenRecordset() override { return wrap(real_->OpenRecordset(), plan_); }
    long RecordsAffected() const override { return real_->RecordsAffected(); }
    void Close() override { real_->Close(); }

private:
    std::unique_ptr<PreparedStatement> real_;
    std::shared_ptr<FaultPlan> plan_;
};

class FaultyDatabase final : public Database {
public:
    FaultyDatabase(std::unique_ptr<Database> real, std::shared_ptr<FaultPlan> plan)
        : real_(std::move(real)), plan_(std::move(plan)) {}

    Status Execute(std::string_view sql, int options) override {
        if (const Error* e = plan_->call("Execute")) return *e;
        return real_->Execute(sql, options);
    }
    Result<std::unique_ptr<Recordset>> OpenRecordset(std::string_view sql, int type, int options, int lock) override {
        if (const Error* e = plan_->call("OpenRecordset")) return *e;
        return wrap(real_->OpenRecordset(sql, type, options, lock), plan_);
    }
    Result<std::unique_ptr<Recordset>> OpenRecordset(std::string_view sql,
                                                     const std::vector<Variant>& parameters) override {
        if (const Error* e = plan_->call("OpenRecordset")) return *e;
        return wrap(real_->OpenRecordset(sql, parameters), plan_);
    }
    Result<std::unique_ptr<PreparedStatement>> Prepare(std::string_view sql) override {
        if (const Error* e = plan_->call("Prepare")) return *e;
        auto p = real_->Prepare(sql);
        if (!p) return p.error();
        return std::unique_ptr<PreparedStatement>(std::make_unique<FaultyPrepared>(std::move(*p), plan_));
    }
    long RecordsAffected() const override { return real_->RecordsAffected(); }
    Status BeginTrans() override { return guarded("BeginTrans", [&] { return real_->BeginTrans(); }); }
    Status CommitTrans() override { return guarded("CommitTrans", [&] { return real_->CommitTrans(); }); }
    Status Rollback() override { return guarded("Rollback", [&] { return real_->Rollback(); }); }
    Result<std::vector<std::string>> TableNames() override {
        if (const Error* e = plan_->call("TableNames")) return *e;
        return real_->TableNames();
    }
    Result<long> TableRecordCount(std::string_view table) override {
        if (const Error* e = plan_->call("TableRecordCount")) return *e;
        return real_->TableRecordCount(table);
    }
    Status CheckIntegrity() override { return guarded("CheckIntegrity", [&] { return real_->CheckIntegrity(); }); }
    // A failed Close still closes the real database, as a failing engine
    // would not keep the file either.
    Status Close() override {
        const Status closed = real_->Close();
        if (const Error* e = plan_->call("Close")) return *e;
        return closed;
    }
    const std::string& Name() const override { return real_->Name(); }

private:
    template <class F>
    Status guarded(const char* op, F run) {
        if (const Error* e = plan_->call(op)) return *e;
        return run();
    }
    std::unique_ptr<Database> real_;
    std::shared_ptr<FaultPlan> plan_;
};

}  // namespace

Result<std::unique_ptr<Database>> FaultyEngine::OpenDatabase(const std::string& path, bool exclusive) {
    if (const Error* e = plan_->call("OpenDatabase")) return *e;
    auto db = real_.OpenDatabase(path, exclusive);
    if (!db) return db.error();
    return std::unique_ptr<Database>(std::make_unique<FaultyDatabase>(std::move(*db), plan_));
}

Status FaultyEngine::CompactDatabase(const std::string& source, const std::string& destination,
                                     const std::string& locale) {
    if (const Error* e = plan_->call("CompactDatabase")) return *e;
    return real_.CompactDatabase(source, destination, locale);
}

Result<DatabaseFence> FaultyEngine::FenceDatabase(const std::string& path) {
    if (const Error* e = plan_->call("FenceDatabase")) return *e;
    return real_.FenceDatabase(path);
}

}  // namespace vexla::db::testing
