// Errors travel as values: an engine or file-system failure is an error
// number with a description (and the name of the component that raised it),
// the way the booking system's engine reports them. Nothing is thrown across
// library boundaries.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace vexla {

// Who holds a file that refused us, as the holder wrote it into our own
// lock file beside a database; all empty when nobody said (pid 0).
struct Holder {
    std::string program, user, host;
    long pid = 0;
    bool known() const { return pid != 0; }
};

struct Error {
    Error() = default;
    Error(long n, std::string d, std::string s = {}, std::string f = {}, std::string w = {})
        : number(n), description(std::move(d)), source(std::move(s)), file(std::move(f)), what(std::move(w)) {}

    long number = 0;  // engine or file-system error number (3024, 3356, 76, ...)
    // The system's own number (errno) behind a file-system failure, 0 where
    // there is none: what a script is given, as the other is ours.
    int systemNumber = 0;
    std::string description;  // English, as the engine words it
    std::string source;       // component that raised it ("DAO.Database", "Vexla Admin", ...)
    // A file-system failure also names the file and, as a language text
    // code, what was being done to it (or why it was refused).
    std::string file;
    std::string what;
    // The name the description quotes (a path, a table, a field, a machine),
    // kept apart so the number's text in the user's language can name it too.
    std::string subject;
    // The description is already in the user's language (made from language
    // texts, or worded by describedFileError): it is never replaced again.
    bool worded = false;
    // A database in use (3356, 3260): who holds it, where our lock file tells.
    Holder holder;
    // A database whose writers could not be held off within the wait: how
    // long it waited for another program's transaction to end (negative:
    // not this kind of refusal), and the processes that have the file open.
    double keptOpenSeconds = -1;
    std::vector<Holder> openers;
};

// Result<T>: either a value or an Error. Result<void> carries only success or an Error.
// Both are [[nodiscard]]: a dropped failure does not compile. A failure is
// handled, told (JobContext::notice), or dropped by ignoreBecause for one
// of the reasons of Untold.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

// Success is by far the common answer, and a check per value of an import
// returns one: it is a null pointer, not an empty Error of nine strings to
// build and destroy each time.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::make_unique<Error>(std::move(error))) {}
    Result(const Result& other) : error_(other.error_ ? std::make_unique<Error>(*other.error_) : nullptr) {}
    Result(Result&&) noexcept = default;
    Result& operator=(const Result& other) {
        if (this != &other) error_ = other.error_ ? std::make_unique<Error>(*other.error_) : nullptr;
        return *this;
    }
    Result& operator=(Result&&) noexcept = default;

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    // The failure; for a success, an Error of number 0.
    const Error& error() const {
        static const Error none;
        return error_ ? *error_ : none;
    }

private:
    std::unique_ptr<Error> error_;
};

using Status = Result<void>;

// Why a failure may go untold: the only cases where it changes nothing the
// program does or tells and loses nothing anybody needs to know.
enum class Untold {
    // A hint to the system (start writing back, a cache size): the step
    // that counts (an fsync, the statement itself) answers for itself.
    Hint,
    // Undoing after a failure that is being answered: that failure says
    // what happened, and the engine undoes the rest when the file is next
    // opened (a rollback journal left behind is rolled back then).
    AfterFailure,
    // Ending what was only read (a read transaction, a connection or file
    // that wrote nothing): nothing of it can be lost.
    OnlyRead,
    // Closing a file whose content is being thrown away: nothing of it is
    // wanted (removing it is another matter, and told).
    Abandoned,
    // A destructor closing for an owner that did not: every owner whose
    // close can lose something or leave a file behind closes it itself and
    // tells what closing answered.
    DestructorFallback,
    // Removing a temporary file of ours, named and locked as such
    // (common/temporary_files.h): one that stays is abandoned once we let
    // go of its lock, and the next job's cleanup removes it.
    LeftForCleanup,
    // A forked child's report of its failure: its exit status tells the
    // parent it failed whether or not the report got through.
    ChildExit,
};

// Drops `result` for the reason `why`: the one way the program lets a
// failure go untold, so that each such place says why.
template <class T>
constexpr void ignoreBecause([[maybe_unused]] const T& result, [[maybe_unused]] Untold why) {}

}  // namespace vexla
