// A recordset read a batch of rows ahead, on a thread of its own.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/engine.h"

namespace vexla {

// The rows of `inner`, read by a thread of its own up to two batches of
// kBatchRows ahead of the reader: the engine steps through the next rows
// while the reader writes out the last ones. Each row's values are copied
// (texts and all) into its batch. Forward only; the columns' names and types
// are `inner`'s. `inner` is stepped by the thread alone until the ReadAhead
// is closed or destroyed (which end the thread); a failure of its MoveNext
// is answered by the MoveNext that reaches that row.
class ReadAhead final : public db::Recordset {
public:
    static constexpr std::size_t kBatchRows = 256;

    explicit ReadAhead(db::Recordset& inner);
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    bool Eof() const override { return row_ >= batch_.rows; }
    // Only where it stands on the first row: the rows before are gone.
    Status MoveFirst() override;
    Status MoveNext() override;
    long RecordCount() const override { return visited_; }
    // Ends the thread; `inner` is its owner's to close.
    void Close() override;
    int FieldCount() const override { return fields_; }
    const std::string& name(int index) const override { return inner_.name(index); }
    int type(int index) const override { return inner_.type(index); }
    // Booleans and dates by the column's type, as the engine gives them.
    Result<db::Variant> value(int index) const override;
    db::RawValue raw(int index) const override;
    int indexOf(std::string_view name) const override { return inner_.indexOf(name); }

private:
    struct Cell {
        db::RawValue::Kind kind;
        std::int64_t integer;
        double real;
        std::size_t offset, length;  // of the text in the batch's bytes
    };
    struct Batch {
        std::vector<Cell> cells;  // rows * fields
        std::string bytes;
        std::size_t rows = 0;
        bool last = false;
        Status failure;  // inner's MoveNext after the last row
    };

    void run();
    void fill(Batch& batch);
    bool take();

    db::Recordset& inner_;
    const int fields_;
    Batch batch_;  // the reader's
    std::size_t row_ = 0;
    long visited_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vexla
