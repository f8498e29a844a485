#include "db/sqlite_errors.h"

#include <sqlite3.h>

#include <string_view>

namespace vexla::db {

namespace {

// The part of an SQLite constraint message after its ": ".
std::string_view subject(std::string_view message) {
    const size_t at = message.find(": ");
    return at == std::string_view::npos ? std::string_view() : message.substr(at + 2);
}

}  // namespace

Error errorFromSqlite(sqlite3* db, int rc, const char* src) {
    const std::string_view message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    Error e;
    switch (rc) {
        case SQLITE_CONSTRAINT_NOTNULL: e = requiredValue(subject(message)); break;
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_ROWID: e = duplicateKey(); break;
        case SQLITE_CONSTRAINT_CHECK: e = validationRule(subject(message)); break;
        case SQLITE_CONSTRAINT_FOREIGNKEY: e = relatedRecordRequired(); break;
        default:
            switch (rc & 0xFF) {
                case SQLITE_BUSY:
                case SQLITE_LOCKED: e = recordLocked(localHostName()); break;
                case SQLITE_READONLY: e = readOnly(); break;
                case SQLITE_FULL: e = notEnoughSpace(); break;
                case SQLITE_IOERR: e = diskError(); break;
                case SQLITE_NOMEM: e = outOfMemory(); break;
                case SQLITE_CORRUPT: e = corrupt(db ? sqlite3_db_filename(db, "main") : ""); break;
                case SQLITE_NOTADB: e = unrecognizedFormat(db ? sqlite3_db_filename(db, "main") : ""); break;
                case SQLITE_TOOBIG: e = fieldTooSmall(); break;
                case SQLITE_MISMATCH: e = typeMismatch(); break;
                default: e = reserved(rc, message); break;
            }
    }
    e.source = src;
    return e;
}

}  // namespace vexla::db
