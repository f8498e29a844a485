#include "db/errors.h"

#include "texts/text_codes.h"

#include <unistd.h>

#include <cerrno>

namespace vexla::db {

namespace {

Error make(long number, std::string description, const char* src = source::Database) {
    return Error{number, std::move(description), src};
}

// An error whose description quotes `subject`.
Error naming(Error e, std::string_view subject) {
    e.subject = subject;
    return e;
}

std::string quoted(std::string_view s) { return "'" + std::string(s) + "'"; }

}  // namespace

Error fileNotFound(const std::string& path) {
    return naming(make(err::FileNotFound, "Could not find file " + quoted(path) + ".", source::Engine), path);
}

Error unrecognizedFormat(const std::string& path) {
    return naming(make(err::UnrecognizedFormat, "Unrecognized database format " + quoted(path) + ".", source::Engine),
                  path);
}

Error openedExclusively(const std::string& host) {
    return naming(
        make(err::OpenedExclusively,
             "You attempted to open a database that is already opened exclusively by user 'Admin' on machine " +
                 quoted(host) + ". Try again when the database is available.",
             source::Engine),
        host);
}

Error cannotOpen(const std::string& path) {
    return naming(
        make(err::CannotOpen,
             "The database engine cannot open the file " + quoted(path) +
                 ". It is already opened exclusively by another user, or you need permission to view its data.",
             source::Engine),
        path);
}

Error corrupt(const std::string& path) {
    return naming(make(err::Corrupt,
                       "Cannot open database " + quoted(path) +
                           ". It may not be a database that your application recognizes, or the file may be corrupt.",
                       source::Engine),
                  path);
}

Error invalidPath(const std::string& path) {
    return naming(
        make(err::InvalidPath,
             quoted(path) + " is not a valid path. Make sure that the path name is spelled correctly and that you are "
                            "connected to the server on which the file resides.",
             source::Engine),
        path);
}

namespace {

// A refusal the text code `what` words, naming `file`; `subject` (when
// given) goes between the text and the file.
Error refusal(long number, const std::string& file, const char* what, const std::string& subject = {}) {
    Error e{number, "", source::Engine, file, what};
    e.subject = subject;
    return e;
}

}  // namespace

Error accessDenied(const std::string& file, bool folder, const std::string& user) {
    return refusal(EACCES, file, folder ? txt::FolderDeniedToUser : txt::FileDeniedToUser, user);
}

Error linkLoop(const std::string& path) { return refusal(ELOOP, path, txt::SymbolicLinkLoop); }

Error pathTooLong(const std::string& path) { return refusal(ENAMETOOLONG, path, txt::PathTooLong); }

Error notARegularFile(const std::string& path, FileKind kind) {
    const char* what = txt::DatabaseIsDevice;
    switch (kind) {
        case FileKind::Folder: what = txt::DatabaseIsFolder; break;
        case FileKind::Fifo: what = txt::DatabaseIsFifo; break;
        case FileKind::Socket: what = txt::DatabaseIsSocket; break;
        default: break;
    }
    return refusal(txt::number(what), path, what);
}

Error databaseExists() { return make(err::DatabaseExists, "Database already exists.", source::Engine); }
Error invalidArgument(const char* src) { return make(err::InvalidArgument, "Invalid argument.", src); }

Error noCurrentRecord(const char* src) { return make(err::NoCurrentRecord, "No current record.", src); }
Error noTransaction() {
    return make(err::NoTransaction,
                "You tried to commit or rollback a transaction without first beginning a transaction.");
}
Error cannotExecuteSelect(const char* src) {
    return make(err::CannotExecuteSelect, "Cannot execute a select query.", src);
}
Error invalidOperation(const char* src) { return make(err::InvalidOperation, "Invalid operation.", src); }
Error objectClosed(const char* src) { return make(err::ObjectClosed, "Object invalid or no longer set.", src); }
Error itemNotFound(const char* src) { return make(err::ItemNotFound, "Item not found in this collection.", src); }

Error invalidStatement() {
    return make(err::InvalidStatement,
                "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
}
Error charactersAfterEnd() { return make(err::CharactersAfterEnd, "Characters found after end of SQL statement."); }
Error insertSyntax() { return make(err::InsertSyntax, "Syntax error in INSERT INTO statement."); }
Error selectSyntax() {
    return make(err::SelectSyntax,
                "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or "
                "the punctuation is incorrect.");
}
Error fromClauseSyntax() { return make(err::FromClauseSyntax, "Syntax error in FROM clause."); }
Error deleteWithoutTable() {
    return make(err::DeleteWithoutTable, "Specify the table containing the records you want to delete.");
}
Error orderBySyntax() { return make(err::OrderBySyntax, "Syntax error in ORDER BY clause."); }

Error queryExpressionSyntax(std::string_view expression) {
    return naming(make(err::QueryExpressionSyntax,
                       "Syntax error (missing operator) in query expression " + quoted(expression) + "."),
                  expression);
}

Error dateSyntax(std::string_view literal) {
    return naming(make(err::QueryExpressionSyntax, "Syntax error in date in query expression " + quoted(literal) + "."),
                  literal);
}

Error tooFewParameters(int expected) {
    return make(err::TooFewParameters, "Too few parameters. Expected " + std::to_string(expected) + ".");
}

Error tableNotFound(std::string_view table) {
    return naming(make(err::TableNotFound, "The database engine cannot find the input table or query " + quoted(table) +
                                               ". Make sure it exists and that its name is spelled correctly."),
                  table);
}

Error unknownInsertField(std::string_view field) {
    return naming(make(err::UnknownInsertField,
                       "The INSERT INTO statement contains the following unknown field name: " + quoted(field) +
                           ". Make sure you have typed the name correctly, and try the operation "
                           "again."),
                  field);
}

Error duplicateDestination(std::string_view field) {
    return naming(make(err::DuplicateDestination, "Duplicate output destination " + quoted(field) + "."), field);
}

Error valueCountMismatch() {
    return make(err::ValueCountMismatch, "Number of query values and destination fields are not the same.");
}

Error typeMismatch() { return make(err::TypeMismatch, "Data type mismatch in criteria expression."); }
Error numericOverflow() { return make(err::NumericOverflow, "Numeric field overflow."); }
Error fieldTooSmall() {
    return make(err::FieldTooSmall,
                "The field is too small to accept the amount of data you attempted to add. Try inserting or pasting "
                "less data.");
}

Error requiredValue(std::string_view tableDotColumn) {
    return naming(make(err::RequiredValue, "You must enter a value in the " + quoted(tableDotColumn) + " field."),
                  tableDotColumn);
}

Error duplicateKey() {
    return make(err::DuplicateKey,
                "The changes you requested to the table were not successful because they would create duplicate "
                "values in the index, primary key, or relationship. Change the data in the field or fields that "
                "contain duplicate data, remove the index, or redefine the index to permit duplicate entries and "
                "try again.");
}

Error validationRule(std::string_view table) {
    return naming(
        make(err::ValidationRule, "One or more values are prohibited by the validation rule set for " + quoted(table) +
                                      ". Enter a value that the expression for this field can "
                                      "accept."),
        table);
}

Error relatedRecordRequired() {
    return make(err::RelatedRecordRequired, "You cannot add or change a record because a related record is required.");
}

Error recordLocked(const std::string& host) {
    return naming(
        make(err::RecordLocked, "Couldn't update; currently locked by user 'Admin' on machine " + quoted(host) + "."),
        host);
}

Error contentChanged() {
    return make(err::ContentChanged,
                "The database engine stopped the process because you and another user are attempting to change the "
                "same data at the same time.");
}

Error readOnly() { return make(err::ReadOnly, "Cannot update. Database or object is read-only."); }
Error notEnoughSpace() { return make(err::NotEnoughSpace, "Not enough space on disk."); }
Error diskError() { return make(err::DiskError, "Disk or network error."); }
Error outOfMemory() { return make(err::OutOfMemory, "Out of memory"); }

Error reserved(int sqliteCode, std::string_view message) {
    return make(err::ReservedError,
                "Reserved error (" + std::to_string(sqliteCode) + "); " + std::string(message) + ".");
}

std::string localHostName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0') return "localhost";
    return buf;
}

}  // namespace vexla::db
