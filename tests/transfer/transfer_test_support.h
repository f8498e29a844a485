// What the in-process tests of vexla-transfer share: a scratch folder with
// a small clean demo database, and runTransfer over it with its streams in
// temporary files.
#pragma once

#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/console_platform.h"
#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"
#include "tests/support/fake_platform.h"
#include "tools/sample_generator.h"
#include "transfer/transfer.h"

namespace vexla::testing {

using Args = std::vector<std::string>;

inline Args operator+(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// "@" stands for the scratch folder in arguments and expected texts.
inline std::string at(std::string s, const std::string& folder) {
    for (auto p = s.find('@'); p != std::string::npos; p = s.find('@', p + folder.size())) s.replace(p, 1, folder);
    return s;
}

inline std::string contents(std::FILE* f) {
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
    return s;
}

// Binds a socket at `path`; false when it cannot (a path too long for one).
inline bool makeSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || path.size() >= sizeof address.sun_path) return ::close(fd), false;
    path.copy(address.sun_path, path.size());
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

struct World {
    TempFolder dir;
    std::string db = dir.file("bok.db");
    FakeClock clock;
    FakeLocaleInfo locale;
    PosixFileSystem files;
    db::SqliteEngine engine;
    CodeTexts texts;  // every text is its code
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in{std::tmpfile(), std::fclose}, out{std::tmpfile(), std::fclose},
        err{std::tmpfile(), std::fclose};
    ConsoleMessageBoxes console{err.get()};
    // Another connection in a transaction that does not end and keeps
    // readers out too, as a booking system hung in its commit would.
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> holder{nullptr, sqlite3_close};
    int signal = 0;  // the signal the run is told of
    FakeSystemLog systemLog;

    World() {
        EXPECT_TRUE(sample::makeSampleDatabase(db, {.customers = 20, .resources = 4, .bookings = 60, .clean = true}));
    }
    int run(const Args& args, std::optional<std::string> password = "vexla", bool terminal = false) {
        Args line;
        for (const std::string& a : args) line.push_back(at(a, dir.path()));
        // Held, a job need not wait the default ten seconds to be refused.
        if (holder && line.size() > 1 && line.back() != "--help") line.insert(line.end(), {"--wait", "0"});
        transfer::Environment env{
            texts,    engine,    console,   clock,    locale,   files,   dir.path(),
            in.get(), out.get(), err.get(), terminal, password, nullptr, [this] { return signal; },
            systemLog};
        return transfer::runTransfer(line, env);
    }
};

}  // namespace vexla::testing
