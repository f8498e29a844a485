// The tables of the demo database: their columns and declared types, and
// a row writer that binds one INSERT column by column.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/datetime.h"

namespace vexla::sample {

struct Column {
    const char* name;
    const char* type;
};

// The register tables; `clean` leaves out the column the field catalogue does not know.
std::vector<Column> kundColumns(bool clean);
std::vector<Column> personColumns(bool clean);
std::vector<Column> bokningColumns(bool clean);
extern const std::vector<Column> kPrelColumns;
extern const std::vector<Column> kUserColumns;

// "CREATE TABLE ..." with every name quoted.
std::string createTable(const std::string& table, const std::vector<Column>& columns);

// Writes t in the engine's stored date form (19 characters).
void formatStored(const DateTime& t, char* out);

// One INSERT of a table, bound column by column in declaration order.
class Insert {
public:
    Insert(sqlite3* db, const std::string& table, const std::vector<Column>& columns) : count_(columns.size()) {
        std::string sql = "INSERT INTO \"" + table + "\" (";
        std::string marks;
        for (size_t i = 0; i < columns.size(); ++i) {
            sql += (i ? ", \"" : "\"") + std::string(columns[i].name) + "\"";
            marks += i ? ", ?" : "?";
        }
        sql += ") VALUES (" + marks + ")";
        rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &st_, nullptr);
    }
    ~Insert() { sqlite3_finalize(st_); }

    Insert& null() { return check(sqlite3_bind_null(st_, ++at_)); }
    Insert& integer(std::int64_t v) { return check(sqlite3_bind_int64(st_, ++at_, v)); }
    Insert& real(double v) { return check(sqlite3_bind_double(st_, ++at_, v)); }
    Insert& text(const std::string& v) {
        return check(sqlite3_bind_text(st_, ++at_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    Insert& date(const DateTime& t) {
        char buf[19];
        formatStored(t, buf);
        return check(sqlite3_bind_text(st_, ++at_, buf, sizeof buf, SQLITE_TRANSIENT));
    }
    Insert& textOrNull(bool isNull, const std::string& v) { return isNull ? null() : text(v); }

    // Runs the row; every column must have been bound.
    int run() {
        if (rc_ == SQLITE_OK && static_cast<size_t>(at_) != count_) rc_ = SQLITE_MISUSE;
        if (rc_ == SQLITE_OK) {
            const int step = sqlite3_step(st_);
            rc_ = step == SQLITE_DONE ? SQLITE_OK : step;
        }
        sqlite3_reset(st_);
        at_ = 0;
        return rc_;
    }

private:
    Insert& check(int rc) {
        if (rc_ == SQLITE_OK && rc != SQLITE_OK) rc_ = rc;
        return *this;
    }
    sqlite3_stmt* st_ = nullptr;
    size_t count_;
    int at_ = 0;
    int rc_ = SQLITE_OK;
};

}  // namespace vexla::sample
