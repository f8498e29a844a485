// What the fuzz targets share: a scratch folder for the files the code
// under test insists on reading from disk, and the way a broken invariant
// is reported (a message and abort(), which libFuzzer records as a crash
// together with the input that caused it).
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace vexla::fuzz {

[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "\n*** invariant broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

#define VEXLA_FUZZ_CHECK(cond, what)                                                         \
    do {                                                                                     \
        if (!(cond)) ::vexla::fuzz::fail(std::string(#cond) + " -- " + std::string(what)); \
    } while (0)

// Bytes shown safely in a failure message.
inline std::string printable(std::string_view s, std::size_t max = 300) {
    std::string out;
    for (std::size_t i = 0; i < s.size() && i < max; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    if (s.size() > max) out += "...";
    return out;
}

// One scratch folder per process, in memory when the system has /dev/shm
// (the import syncs its files, which costs nothing there), removed at exit.
class Scratch {
public:
    static Scratch& get() {
        static Scratch s;
        return s;
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    static void write(const std::string& path, std::string_view bytes) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) fail("cannot write " + path);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) fail("cannot write " + path);
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }

    static std::string read(const std::string& path) {
        std::string bytes;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail("cannot read " + path);
        char buf[8192];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) fail("cannot read " + path);
            if (n == 0) break;
            bytes.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return bytes;
    }

private:
    Scratch() {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : nullptr;
        if (!base) base = std::getenv("TMPDIR");
        if (!base || !*base) base = "/tmp";
        std::string templ = std::string(base) + "/vexla-fuzz-XXXXXX";
        if (!::mkdtemp(templ.data())) fail("cannot make a scratch folder below " + std::string(base));
        path_ = templ;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string path_;
};

// How many inputs reached each stage of a target's checks, printed at exit
// when VEXLA_FUZZ_STATS is set: a check that no input reaches finds nothing.
class Stages {
public:
    static void hit(const char* stage) { ++get().counts_[stage]; }

private:
    static Stages& get() {
        // Never destroyed: the report at exit runs after static destructors.
        static Stages* s = new Stages;
        return *s;
    }
    Stages() {
        if (std::getenv("VEXLA_FUZZ_STATS")) std::atexit([] {
                for (const auto& [stage, n] : get().counts_) std::fprintf(stderr, "stage %-28s %ld\n", stage.c_str(), n);
            });
    }
    std::map<std::string, long> counts_;
};

// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
inline bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3, cp = c & 0x07;
        } else {
            return false;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

}  // namespace vexla::fuzz
