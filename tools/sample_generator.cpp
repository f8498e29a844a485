#include "tools/sample_generator.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "common/datetime.h"
#include "db/stored_format.h"
#include "login/kryptera.h"
#include "tools/sample_tables.h"
#include "tools/sample_words.h"

namespace vexla::sample {

namespace {

class Rng {
public:
    explicit Rng(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next() {  // splitmix64: the same numbers on every platform
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    long below(long n) { return static_cast<long>(next() % static_cast<std::uint64_t>(n)); }
    bool percent(int p) { return below(100) < p; }
    template <class T, size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(static_cast<long>(N))];
    }

private:
    std::uint64_t s_;
};

std::string digits(Rng& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng.below(10));
    return s;
}

DateTime day(int year, long dayOfYear) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    DateTime t;
    t.year = year;
    t.month = 1;
    long d = dayOfYear % 365;
    while (d >= lengths[t.month - 1]) d -= lengths[t.month++ - 1];
    t.day = static_cast<int>(d) + 1;
    t.hour = t.minute = t.second = 0;
    return t;
}

DateTime timeOfDay(int hour, int minute) {
    DateTime t;  // on the zero date
    t.hour = hour;
    t.minute = minute;
    return t;
}

struct Customer {
    std::string name, address, postal;
};

}  // namespace

namespace {

class Generator {
public:
    Generator(sqlite3* db, const Options& o) : db_(db), o_(o), rng_(o.seed) {}

    int run(Summary& sum) {
        int rc = exec("BEGIN");
        if (rc == SQLITE_OK)
            rc = exec(createTable("Kund", kundColumns(o_.clean)) + createTable("Person", personColumns(o_.clean)) +
                      createTable("Bokning", bokningColumns(o_.clean)) + createTable("PrelBokning", kPrelColumns) +
                      createTable("Users", kUserColumns));
        if (rc == SQLITE_OK) rc = customers(sum);
        if (rc == SQLITE_OK) rc = persons(sum);
        if (rc == SQLITE_OK) rc = bookings(sum);
        if (rc == SQLITE_OK) rc = users(sum);
        if (rc == SQLITE_OK)
            rc = exec(
                "CREATE INDEX BokningStartTid ON Bokning (StartTid); CREATE INDEX BokningPersonID ON Bokning "
                "(PersonID);"
                "CREATE INDEX BokningKundID ON Bokning (KundID); CREATE INDEX PrelBokningStartTid ON PrelBokning "
                "(StartTid);");
        if (rc == SQLITE_OK) rc = exec("COMMIT");
        return rc;
    }

private:
    int exec(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK ? SQLITE_OK
                                                                                      : sqlite3_extended_errcode(db_);
    }
    // Whether a value of a column that is not text stays empty: never in the clean variant.
    bool nullValue(int percent) { return !o_.clean && rng_.percent(percent); }
    // A text that may carry a ";" (the full variant only).
    std::string note() {
        if (!o_.clean && rng_.percent(15)) return rng_.pick(kSemicolonNotes);
        return rng_.pick(kNotes);
    }

    // Draws happen one statement at a time: the order in which C++ evaluates
    // the operands of one expression is unspecified, and the same seed must
    // give the same file with any compiler.
    template <class F>
    void optional(Insert& ins, int presentPercent, F make) {
        if (rng_.percent(presentPercent))
            ins.text(make());
        else
            ins.null();
    }
    std::string street(long maxNumber) {
        std::string s = rng_.pick(kStreets);
        s += " " + std::to_string(1 + rng_.below(maxNumber));
        return s;
    }
    std::string phone(const char* prefix) {
        std::string s = std::string(prefix) + "-";
        s += digits(rng_, 3);
        s += " " + digits(rng_, 2);
        s += " " + digits(rng_, 2);
        return s;
    }
    std::string personName() {
        std::string s = rng_.pick(kFirstNames);
        s += std::string(" ") + rng_.pick(kLastNames);
        return s;
    }
    DateTime randomDay(int firstYear, int years) {
        const int year = firstYear + static_cast<int>(rng_.below(years));
        return day(year, rng_.below(365));
    }
    double price(double base, double step, long steps, int halfPercent) {
        double p = base + step * static_cast<double>(rng_.below(steps));
        if (rng_.percent(halfPercent)) p += 0.5;
        return p;
    }

    int customers(Summary& sum) {
        Insert ins(db_, "Kund", kundColumns(o_.clean));
        const char* placeholders[] = {"Intern tid (ej kund)", "Semester och ledighet", "Reserverad tid"};
        for (int i = 0; i < 3; ++i) {
            ins.integer(-1 - i).text(placeholders[i]);
            for (int k = 0; k < 5; ++k) ins.null();
            ins.real(0);
            for (int k = 0; k < 6; ++k) ins.null();
            ins.text("Används av bokningssystemet.\r\nTas aldrig bort.");
            if (!o_.clean) ins.text("Intern");
            if (const int rc = ins.run(); rc != SQLITE_OK) return rc;
            ++sum.placeholders;
        }
        for (long id = 1; id <= o_.customers; ++id) {
            const Town& town = rng_.pick(kTowns);
            Customer c;
            c.name = rng_.pick(kLastNames);
            c.name += std::string("s ") + rng_.pick(kTrades);
            if (!o_.clean && rng_.percent(2)) c.name = "Kafé O'Learys " + std::string(town.name);
            c.address = street(120);
            c.postal = std::string(town.postCode) + " " + digits(rng_, 2) + " " + town.name;
            customers_.push_back(c);
            ins.integer(id).text(c.name).text(c.address);
            optional(ins, 10, [&] {
                if (!o_.clean && rng_.percent(50)) return std::string(kSemicolonNotes[1]);
                return "Våning " + std::to_string(1 + rng_.below(6));
            });
            std::string orgNr = "55" + digits(rng_, 4);
            orgNr += "-" + digits(rng_, 4);
            ins.text(c.postal).text(orgNr).text(phone(town.areaCode));
            static const double discounts[] = {0, 0, 5, 10, 12.5};
            if (nullValue(10))
                ins.null();
            else
                ins.real(rng_.pick(discounts));
            const bool delivery = rng_.percent(30);
            ins.textOrNull(!delivery, delivery ? street(80) : std::string());
            ins.textOrNull(!delivery, delivery ? std::string(town.postCode) + " " + digits(rng_, 2) : std::string());
            ins.text("kontakt" + std::to_string(id) + "@exempel.se");
            ins.textOrNull(!delivery, town.name);
            optional(ins, 15, [&] { return phone(town.areaCode); });
            ins.text(personName());
            optional(ins, 40, [&] { return note(); });
            if (!o_.clean) optional(ins, 90, [&] { return std::string(rng_.pick(kGroups)); });
            if (const int rc = ins.run(); rc != SQLITE_OK) return rc;
            ++sum.customers;
        }
        return SQLITE_OK;
    }

    int persons(Summary& sum) {
        Insert ins(db_, "Person", personColumns(o_.clean));
        std::set<std::string> pnrs;
        static const std::int64_t scopes[] = {25, 50, 75, 100};
        static const std::int64_t units[] = {15, 30, 60};
        for (long id = 1; id <= o_.resources; ++id) {
            const Town& town = rng_.pick(kTowns);
            std::string pnr;
            do {
                const DateTime born = randomDay(1950, 50);
                char buf[40];
                std::snprintf(buf, sizeof buf, "%04d%02d%02d-", born.year, born.month, born.day);
                pnr = buf + digits(rng_, 4);
            } while (!pnrs.insert(pnr).second);
            ins.integer(id).text(rng_.pick(kFirstNames)).text(rng_.pick(kLastNames)).text(pnr);
            ins.text(rng_.pick(kPlacings)).text(street(60));
            optional(ins, 8, [&] { return "c/o " + std::string(rng_.pick(kLastNames)); });
            ins.text(std::string(town.postCode) + " " + digits(rng_, 2)).text(town.name);
            ins.text(phone(town.areaCode)).text(phone(town.areaCode));
            optional(ins, 20, [&] { return phone("070"); });
            optional(ins, 5, [&] { return phone("073"); });
            if (nullValue(5))
                ins.null();
            else
                ins.real(price(24000, 250, 60, 30));
            const DateTime start = randomDay(2000, 25);
            ins.date(start);
            if (o_.clean || rng_.percent(20))
                ins.date(randomDay(start.year + 1, 8));
            else
                ins.null();
            ins.integer(rng_.pick(scopes)).integer(rng_.percent(20) ? 1 : 0);
            if (nullValue(30))
                ins.null();
            else
                ins.integer(rng_.pick(scopes));
            optional(ins, 35, [&] { return note(); });
            optional(ins, 25, [&] { return "C:\\Bilder\\person" + std::to_string(id) + ".jpg"; });
            ins.date(timeOfDay(8 + static_cast<int>(rng_.below(3)), 0));
            ins.date(rng_.percent(50) ? timeOfDay(0, 30) : timeOfDay(1, 0));
            const int standardHours = 1 + static_cast<int>(rng_.below(8));
            ins.date(timeOfDay(standardHours, rng_.percent(50) ? 0 : 30));
            ins.integer(0).integer(0xC0C0FF + 0x10 * rng_.below(16));
            ins.integer(rng_.pick(units));
            ins.real(price(395, 25, 10, 25));
            optional(ins, 70, [&] { return "N-" + std::to_string(100 + id); });
            if (!o_.clean) {
                if (rng_.percent(10))
                    ins.null();
                else
                    ins.integer(rng_.percent(70) ? 1 : 0);
            }
            if (const int rc = ins.run(); rc != SQLITE_OK) return rc;
            ++sum.resources;
        }
        return SQLITE_OK;
    }

    // When, for whom and with what one booking is: drawn in this order, so
    // that a seed gives the same database every time.
    struct BookingSlot {
        long id = 0;
        bool internal = false;
        long customer = 0;
        long person = 0;
        DateTime start, end;
        double hours = 0;
    };

    BookingSlot slot(long id, long resources) {
        BookingSlot b;
        b.id = id;
        b.internal = customers_.empty() || rng_.percent(4);
        b.customer = b.internal ? -1 - rng_.below(3) : 1 + rng_.below(static_cast<long>(customers_.size()));
        b.start = randomDay(2024, 3);
        b.start.hour = 7 + static_cast<int>(rng_.below(10));
        b.start.minute = 15 * static_cast<int>(rng_.below(4));
        b.end = b.start;
        const int quarters = 2 + static_cast<int>(rng_.below(24));  // 30 minutes to 6.5 hours
        b.end.hour += (b.start.minute + 15 * quarters) / 60;
        b.end.minute = (b.start.minute + 15 * quarters) % 60;
        b.hours = quarters / 4.0;
        b.person = 1 + rng_.below(resources);
        return b;
    }

    void bookingColumns(Insert& ins, const BookingSlot& b) {
        const long id = b.id;
        ins.integer(id).integer(b.person).integer(b.customer).date(b.start).date(b.end);
        optional(ins, 30, [&] { return note(); });
        ins.integer(rng_.percent(40) ? 1 : 0).integer(rng_.below(4));
        if (b.internal) {
            for (int k = 0; k < 5; ++k) ins.null();
        } else {
            const Customer& c = customers_[static_cast<size_t>(b.customer - 1)];
            ins.text(c.name).text(c.address).text(c.postal).null().null();
        }
        DateTime ordered = b.start;
        ordered.day = 1;
        ordered.hour = ordered.minute = 0;
        if (nullValue(10))
            ins.null();
        else
            ins.date(ordered);
        optional(ins, 20, [&] { return "Projekt " + std::to_string(1 + rng_.below(400)); });
        if (b.internal)
            ins.null();
        else
            ins.text(personName());
        optional(ins, 30, [&] { return phone("070"); });
        ins.integer(10000 + id);
        ins.text(rng_.pick(kPaymentTerms));
        ins.integer(rng_.percent(40) ? 1 + rng_.below(12) : 0);
        ins.real(b.hours);
        optional(ins, 10, [&] { return "FS-" + std::to_string(50000 + id); });
        ins.null();
        ins.integer(1 + rng_.below(2));
        optional(ins, 15, [&] { return "B" + digits(rng_, 6); });
        ins.text(rng_.percent(70) ? "admin" : "anna");
        ins.null();
        DateTime created = ordered;
        created.hour = 8 + static_cast<int>(rng_.below(9));
        created.minute = static_cast<int>(rng_.below(60));
        created.second = static_cast<int>(rng_.below(60));
        ins.date(created);
        optional(ins, 5, [&] { return std::string("Nyckel krävs"); });
        ins.null().null();
        char period[24];
        std::snprintf(period, sizeof period, "%04d-%02d", b.start.year, b.start.month);
        ins.text(period);
        ins.real(b.hours * (395 + 25.0 * static_cast<double>(rng_.below(10))));
        if (!o_.clean) ins.integer(rng_.percent(60) ? 1 : 0);
    }

    // Every tenth booking has a preliminary one the day after.
    int preliminary(Insert& prel, BookingSlot b, Summary& sum) {
        b.start.day = std::min(b.start.day + 1, 28);
        b.end.day = b.start.day;
        prel.integer(b.id / 10).integer(b.person).integer(b.customer).date(b.start).date(b.end);
        optional(prel, 20, [&] { return std::string("Preliminär, bekräftas senast veckan före."); });
        prel.integer(0);
        if (const int rc = prel.run(); rc != SQLITE_OK) return rc;
        ++sum.preliminary;
        return SQLITE_OK;
    }

    int bookings(Summary& sum) {
        Insert ins(db_, "Bokning", bokningColumns(o_.clean));
        Insert prel(db_, "PrelBokning", kPrelColumns);
        const long resources = std::max(1L, o_.resources);
        for (long id = 1; id <= o_.bookings; ++id) {
            const BookingSlot b = slot(id, resources);
            bookingColumns(ins, b);
            if (const int rc = ins.run(); rc != SQLITE_OK) return rc;
            ++sum.bookings;
            if (id % 10 != 0) continue;
            if (const int rc = preliminary(prel, b, sum); rc != SQLITE_OK) return rc;
        }
        return SQLITE_OK;
    }

    int users(Summary& sum) {
        Insert ins(db_, "Users", kUserColumns);
        const std::pair<const char*, int> logins[] = {{"admin", 1}, {"anna", 2}};
        for (size_t i = 0; i < 2; ++i) {
            ins.integer(static_cast<std::int64_t>(i) + 1).text(logins[i].first).text(KrypteraLösenord(kDemoPassword));
            ins.integer(logins[i].second);
            if (const int rc = ins.run(); rc != SQLITE_OK) return rc;
            ++sum.users;
        }
        return SQLITE_OK;
    }

    sqlite3* db_;
    const Options& o_;
    Rng rng_;
    std::vector<Customer> customers_;
};

Error failure(long number, const std::string& description) { return Error{number, description, "vexla-sampledb"}; }

}  // namespace

Result<Summary> makeSampleDatabase(const std::string& path, const Options& options) {
    // Claim the name first: O_EXCL makes "never overwrite" hold even against a race.
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return failure(58, "File already exists.");
        if (errno == ENOENT || errno == ENOTDIR) return failure(76, "Path not found.");
        return failure(75, "Path/File access error.");
    }
    ::close(fd);

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    Summary sum;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        // A fresh file nobody else uses: no journal, no syncs; one fsync at the end.
        sqlite3_exec(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = -65536;", nullptr,
                     nullptr, nullptr);
        rc = Generator(db, options).run(sum);
    }
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    if (rc == SQLITE_OK) {
        const int sync = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (sync < 0 || ::fsync(sync) != 0) rc = SQLITE_IOERR, message = "could not sync the file";
        if (sync >= 0) ::close(sync);
    }
    if (rc != SQLITE_OK) {
        ::unlink(path.c_str());
        return failure(3000, "Reserved error (" + std::to_string(rc) + "); " + message + ".");
    }
    return sum;
}

}  // namespace vexla::sample
