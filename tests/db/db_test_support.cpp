#include "tests/db/db_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vexla::db::testing {

void makeDatabase(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    char* message = nullptr;
    const int rc = sqlite3_open(path.c_str(), &db) == SQLITE_OK
                       ? sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message)
                       : SQLITE_CANTOPEN;
    const std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error(path + ": " + text);
}

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

bool fileExists(const std::string& path) {
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0;
}

long fileSize(const std::string& path) {
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

std::vector<std::string> queryWithSqlite(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> rows;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        const auto* p = sqlite3_column_text(st, 0);
        rows.push_back(p ? reinterpret_cast<const char*>(p) : "NULL");
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE) rows.push_back(std::string("ERROR: ") + sqlite3_errmsg(db));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

std::string dumpOf(const std::string& path) {
    std::string dump;
    for (const char* pragma : {"user_version", "application_id", "page_size", "journal_mode"})
        dump += std::string(pragma) + "=" + queryWithSqlite(path, std::string("PRAGMA ") + pragma).at(0) + "\n";
    for (const std::string& line : queryWithSqlite(
             path, "SELECT type || ' ' || name || ': ' || ifnull(sql, '') FROM sqlite_schema ORDER BY name"))
        dump += line + "\n";
    for (const std::string& table :
         queryWithSqlite(path, "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite_%'")) {
        std::string columns;
        for (const std::string& column : queryWithSqlite(path, "SELECT name FROM pragma_table_info('" + table + "')"))
            columns += (columns.empty() ? "" : " || ',' || ") + std::string("quote(\"") + column + "\")";
        for (const std::string& row : queryWithSqlite(path, "SELECT " + columns + " FROM \"" + table + "\""))
            dump += table + ": " + row + "\n";
    }
    return dump;
}

const char* const kBookingSchema = R"(
CREATE TABLE Kund (ID INTEGER PRIMARY KEY, Namn VARCHAR(10) NOT NULL, "P-adress" VARCHAR(50),
                   Rabatt DOUBLE, Anteckningar MEMO);
CREATE TABLE Person (ID INTEGER PRIMARY KEY, FörNamn VARCHAR(30) NOT NULL, Pnr VARCHAR(13) UNIQUE,
                     NyRekry BOOLEAN NOT NULL DEFAULT 0, Omfattning SMALLINT, AnstStart DATETIME);
CREATE TABLE Bokning (ID INTEGER PRIMARY KEY, KundID LONG NOT NULL, StartTid DATETIME NOT NULL,
                      Anteckning MEMO, Lunch BOOLEAN NOT NULL DEFAULT 0, Pris DOUBLE);
CREATE TABLE Users (ID INTEGER PRIMARY KEY, Namn VARCHAR(50) NOT NULL, Losenord VARCHAR(100), GruppID LONG);
INSERT INTO Kund VALUES (-1, 'Intern', NULL, 0, NULL);
INSERT INTO Users (Namn, Losenord, GruppID) VALUES ('admin', 'AB', 1), ('Örjan', 'CD', 1), ('anna', 'EF', 2);
)";

Child::Child(const std::string& program, const std::vector<std::string>& args) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(toChild[0], 0);
        ::dup2(fromChild[1], 1);
        // The holders' refusals are expected; keep them out of the test log.
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0) ::dup2(quiet, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]), ::close(fromChild[1]);
    in_ = toChild[1], out_ = fromChild[0];
}

Child::~Child() {
    if (pid_ > 0) stop();
    if (in_ >= 0) ::close(in_);
    if (out_ >= 0) ::close(out_);
}

bool Child::waitForLine(const std::string& text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (buffered_.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buf[512];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) return false;
        buffered_.append(buf, static_cast<size_t>(n));
    }
    return true;
}

void Child::write(const std::string& text) {
    [[maybe_unused]] const ssize_t n = ::write(in_, text.data(), text.size());
}

int Child::stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    if (in_ >= 0) ::close(in_), in_ = -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

std::string programDir() {
    const char* dir = std::getenv("VEXLA_PROGRAM_DIR");
    return dir ? dir : "program";
}

std::string findOnPath(const std::string& name) {
    std::istringstream dirs(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
    return {};
}

bool anotherProgramGetsIt(const std::string& path) {
    Child holder(programDir() + "/vexla-holddb", {path});
    return holder.waitForLine("holding " + path) && holder.stop() == 0;
}

}  // namespace vexla::db::testing
