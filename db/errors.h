// The engine's error numbers and the English descriptions it gives with them.
// Callers tell failures apart by number (3356, 3024, 3343, 3022, 3314 are
// relied on by name), so every failure of the engine layer is made here and
// nowhere else; the description is what the user finally reads.
#pragma once

#include <string>
#include <string_view>

#include "common/platform/file_system.h"
#include "common/result.h"

namespace vexla::db {

namespace err {
constexpr long OutOfMemory = 7;
constexpr long ReservedError = 3000;  // an engine failure without a number of its own
constexpr long InvalidArgument = 3001;
constexpr long FileNotFound = 3024;
constexpr long NoTransaction = 3034;
constexpr long NotEnoughSpace = 3026;
constexpr long ReadOnly = 3027;
constexpr long DiskError = 3043;
constexpr long InvalidPath = 3044;
constexpr long Corrupt = 3049;
constexpr long CannotOpen = 3051;
constexpr long NoCurrentRecord = 3021;
constexpr long DuplicateKey = 3022;
constexpr long TooFewParameters = 3061;
constexpr long CannotExecuteSelect = 3065;
constexpr long QueryExpressionSyntax = 3075;
constexpr long TableNotFound = 3078;
constexpr long DeleteWithoutTable = 3128;
constexpr long InvalidStatement = 3129;
constexpr long FromClauseSyntax = 3131;
constexpr long InsertSyntax = 3134;
constexpr long OrderBySyntax = 3138;
constexpr long DuplicateDestination = 3139;
constexpr long SelectSyntax = 3141;
constexpr long CharactersAfterEnd = 3142;
constexpr long UnknownInsertField = 3127;
constexpr long FieldTooSmall = 3163;
constexpr long RelatedRecordRequired = 3201;
constexpr long DatabaseExists = 3204;
constexpr long ContentChanged = 3197;  // another connection committed since the content was read
constexpr long InvalidOperation = 3219;
constexpr long RecordLocked = 3260;
constexpr long ItemNotFound = 3265;
constexpr long RequiredValue = 3314;
constexpr long ValidationRule = 3317;
constexpr long UnrecognizedFormat = 3343;
constexpr long ValueCountMismatch = 3346;
constexpr long NumericOverflow = 3349;
constexpr long OpenedExclusively = 3356;
constexpr long ObjectClosed = 3420;
constexpr long TypeMismatch = 3464;
}  // namespace err

// The component names that travel with an error (the import shows them).
namespace source {
inline constexpr const char* Engine = "DAO.DBEngine";
inline constexpr const char* Database = "DAO.Database";
inline constexpr const char* Recordset = "DAO.Recordset";
inline constexpr const char* Field = "DAO.Field";
inline constexpr const char* QueryDef = "DAO.QueryDef";
}  // namespace source

Error fileNotFound(const std::string& path);
Error unrecognizedFormat(const std::string& path);
// host: the machine of the holder when it is known, else this machine.
Error openedExclusively(const std::string& host);
Error cannotOpen(const std::string& path);
Error corrupt(const std::string& path);
Error invalidPath(const std::string& path);
// Why the system would not let a database path be opened, each named as
// it is: the number is the system's (errno) where it gave one, else the
// digits of the text code that words it; the description is left to that
// text (Error::what), which the file (Error::file) follows.
// `file`: the database or the folder on its path that refused `user`.
Error accessDenied(const std::string& file, bool folder, const std::string& user);
Error linkLoop(const std::string& path);
Error pathTooLong(const std::string& path);
// A folder, FIFO, device or socket where the database file belongs.
Error notARegularFile(const std::string& path, FileKind kind);
Error databaseExists();
Error invalidArgument(const char* src);

Error noCurrentRecord(const char* src);
Error noTransaction();
Error cannotExecuteSelect(const char* src);
Error invalidOperation(const char* src);
Error objectClosed(const char* src);
Error itemNotFound(const char* src);

Error invalidStatement();
Error charactersAfterEnd();
Error insertSyntax();
Error selectSyntax();
Error fromClauseSyntax();
Error deleteWithoutTable();
Error orderBySyntax();
// expression: the text of the WHERE clause as written.
Error queryExpressionSyntax(std::string_view expression);
Error dateSyntax(std::string_view literal);  // literal with its # marks
Error tooFewParameters(int expected);
Error tableNotFound(std::string_view table);
Error unknownInsertField(std::string_view field);
Error duplicateDestination(std::string_view field);
Error valueCountMismatch();

Error typeMismatch();
Error numericOverflow();
Error fieldTooSmall();
Error requiredValue(std::string_view tableDotColumn);
Error duplicateKey();
Error validationRule(std::string_view table);
Error relatedRecordRequired();
Error recordLocked(const std::string& host);
Error contentChanged();
Error readOnly();
Error notEnoughSpace();
Error diskError();
Error outOfMemory();
// An SQLite failure that has no engine number of its own.
Error reserved(int sqliteCode, std::string_view message);

// This machine's name, for the lock messages.
std::string localHostName();

}  // namespace vexla::db
