#include "registers/read_ahead.h"

#include "db/errors.h"
#include "db/stored_format.h"

namespace vexla {

ReadAhead::ReadAhead(db::Recordset& inner) : inner_(inner), fields_(inner.FieldCount()) {
    thread_ = std::thread([this] { run(); });
    take();
    if (batch_.rows > 0) visited_ = 1;
}

ReadAhead::~ReadAhead() { Close(); }

void ReadAhead::Close() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    batch_ = {};
    row_ = 0;
}

// The thread: batches of rows until the end, a failure or the stop.
void ReadAhead::run() {
    for (;;) {
        Batch batch;
        fill(batch);
        const bool last = batch.last;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_.size() < 2 || stopping_; });
        if (stopping_) return;
        ready_.push_back(std::move(batch));
        changed_.notify_all();
        if (last) return;
    }
}

void ReadAhead::fill(Batch& batch) {
    batch.cells.reserve(kBatchRows * static_cast<std::size_t>(fields_));
    while (batch.rows < kBatchRows && !inner_.Eof()) {
        for (int i = 0; i < fields_; ++i) {
            const db::RawValue v = inner_.raw(i);
            batch.cells.push_back({v.kind, v.integer, v.real, batch.bytes.size(), v.text.size()});
            batch.bytes.append(v.text);
        }
        ++batch.rows;
        if (auto s = inner_.MoveNext(); !s) {
            batch.failure = s;
            batch.last = true;
            return;
        }
    }
    batch.last = inner_.Eof();
}

// The next batch into batch_; false when there is none (the last was taken).
bool ReadAhead::take() {
    if (batch_.last) return false;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty(); });
    batch_ = std::move(ready_.front());
    ready_.pop_front();
    row_ = 0;
    changed_.notify_all();
    return true;
}

Status ReadAhead::MoveFirst() { return visited_ <= 1 ? Status() : Status(db::noCurrentRecord(db::source::Recordset)); }

Status ReadAhead::MoveNext() {
    if (Eof()) return db::noCurrentRecord(db::source::Recordset);
    if (++row_ < batch_.rows) {
        ++visited_;
        return {};
    }
    if (!batch_.failure) return batch_.failure;
    if (take() && batch_.rows > 0) ++visited_;
    return {};
}

db::RawValue ReadAhead::raw(int index) const {
    if (Eof() || index < 0 || index >= fields_) return {};
    const Cell& c = batch_.cells[row_ * static_cast<std::size_t>(fields_) + static_cast<std::size_t>(index)];
    return {c.kind, c.integer, c.real, std::string_view(batch_.bytes).substr(c.offset, c.length)};
}

Result<db::Variant> ReadAhead::value(int index) const {
    if (index < 0 || index >= fields_) return db::itemNotFound(db::source::Recordset);
    if (Eof()) return db::noCurrentRecord(db::source::Recordset);
    const db::RawValue r = raw(index);
    const int daoType = type(index);
    switch (r.kind) {
        case db::RawValue::Kind::Null: return db::Variant(db::Null{});
        case db::RawValue::Kind::Integer:
            return daoType == db::dao::Boolean ? db::Variant(r.integer != 0) : db::Variant(r.integer);
        case db::RawValue::Kind::Real:
            return daoType == db::dao::Boolean ? db::Variant(r.real != 0) : db::Variant(r.real);
        case db::RawValue::Kind::Text:
            if (DateTime t; daoType == db::dao::Date && db::parseStoredDateTime(r.text, t)) return db::Variant(t);
            return db::Variant(std::string(r.text));
    }
    return db::Variant(db::Null{});
}

}  // namespace vexla
