// A stand-in for the booking system, to run our jobs beside: it books into
// Bokning at a steady rate through SQLite's C API the way the system's web
// application does (a connection for each booking, or one kept open), or
// only sits on a connection, or reads the way its reports do. Every write
// attempt is reported, so a test or a person can see afterwards whether a job
// beside it kept the bookings waiting or turned them away, and whether every
// booking said to be made is really in the table.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexla::sim {

enum class Style {
    PerBooking,  // opens a connection for each booking and closes it after
    KeptOpen,    // one connection for the whole run
    Idle,        // one connection that counts the bookings once and then writes nothing
    Report,      // one connection that holds a read transaction 10 s, rests 10 s, and so on
};

struct SimOptions {
    std::string db;
    double rate = 10;  // bookings a second
    Style style = Style::PerBooking;
    bool wal = false;        // put the database into WAL mode at start
    double busyTimeout = 5;  // seconds SQLite waits for a lock; 0 not at all
    std::string log;         // the file the lines are appended to; empty: standard output
    double duration = 0;     // seconds to run; 0 until stopped
    long count = 0;          // write attempts to make; 0 until stopped
};

// One write attempt as it is logged.
struct Attempt {
    long seq = 0;         // counted from 1
    std::string outcome;  // ok, busy, locked or error
    long long id = 0;     // the rowid SQLite gave the booking; 0 unless ok
    std::string marker;   // sim-<pid>-<seq>, stored in the booking's Anteckning
    double waitMs = 0;    // from BEGIN to the end of COMMIT, or to the failure
    std::string message;  // SQLite's message; empty when ok
    bool operator==(const Attempt&) const = default;
};

// The command line without argv[0]: the options, or nullopt with a one-line problem.
std::optional<SimOptions> parseSimArgs(const std::vector<std::string>& args, std::string& problem);
extern const char* const kSimUsage;

// Runs until stop() answers true or the duration or count is reached, calling
// heard after each write attempt and noted with remarks that are no attempt
// (how the run began, each report's read). Idle and Report make no write
// attempts, so only a stop or the duration ends them. Answers 0, or 1 after a
// one-line problem on standard error when the database cannot be used at all
// (it is never created).
int runSimulator(const SimOptions& options, const std::function<bool()>& stop,
                 const std::function<void(const Attempt&)>& heard,
                 const std::function<void(const std::string&)>& noted = {});

// An attempt as its log line (tab separated, no line break), and back.
std::string formatAttempt(const Attempt& attempt);
std::optional<Attempt> parseAttempt(const std::string& line);
// The attempts of a log written by the program, skipping remarks (lines
// starting with '#') and empty lines. Throws std::runtime_error when the file
// cannot be read or holds a line that is neither.
std::vector<Attempt> readSimLog(const std::string& path);

// Where the lines go, flushed one by one so a killed run loses nothing it
// reported, and the tally for the closing summary.
class SimLog {
public:
    SimLog() = default;
    ~SimLog();
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;
    // Appends to path, or writes to standard output when it is empty.
    bool open(const std::string& path, std::string& problem);
    void write(const Attempt& attempt);
    void note(const std::string& remark);
    // "# attempts=N ok=N failed=N longest_wait_ms=X.XXX"
    std::string summary() const;

private:
    std::FILE* out_ = stdout;
    bool owned_ = false;
    long attempts_ = 0, ok_ = 0;
    double longestWaitMs_ = 0;
};

}  // namespace vexla::sim
