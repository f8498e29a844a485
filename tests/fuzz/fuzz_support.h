// What the fuzz targets share: a scratch folder for the files the code
// under test insists on reading from disk, and the way a broken invariant
// is reported (a message and abort(), which libFuzzer records as a crash
// together with the input that caused it).
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>

#include "common/cp1252.h"

namespace vexla::fuzz {

[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "\n*** invariant broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

#define VEXLA_FUZZ_CHECK(cond, what)                                                       \
    do {                                                                                   \
        if (!(cond)) ::vexla::fuzz::fail(std::string(#cond) + " -- " + std::string(what)); \
    } while (0)

// Bytes shown safely in a failure message.
inline std::string printable(std::string_view s, std::size_t max = 300) {
    std::string out;
    for (const char c : s.substr(0, max)) {
        char buf[8];
        std::snprintf(buf, sizeof buf, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X",
                      static_cast<unsigned char>(c));
        out += buf;
    }
    return s.size() > max ? out + "..." : out;
}

// Whether UTF-8 text is well-formed and holds only characters Windows-1252
// has, as every text read from a Windows-1252 file must: the conversion
// replaces nothing and converts back to the same bytes.
inline bool cp1252Text(std::string_view utf8) {
    std::size_t replaced = 0;
    return cp1252ToUtf8(utf8ToCp1252(utf8, &replaced)) == utf8 && replaced == 0;
}

// A file of the scratch folder, one per process, in memory when the system
// has /dev/shm (the import syncs its files, which costs nothing there),
// removed at exit. An empty name gives the folder.
inline std::string scratch(const std::string& name) {
    static const struct Folder {
        std::string path =
            std::string(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp") + "/vexla-fuzz-XXXXXX";
        Folder() {
            if (!::mkdtemp(path.data())) fail("cannot make a scratch folder: " + path);
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return name.empty() ? folder.path : folder.path + "/" + name;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) fail("cannot write " + path);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How many inputs reached each stage of a target's checks, printed at exit
// when VEXLA_FUZZ_STATS is set: a check that no input reaches finds nothing.
inline void stage(const char* name) {
    static auto* counts = new std::map<std::string, long>;  // never destroyed: the report runs at exit
    if (counts->empty() && std::getenv("VEXLA_FUZZ_STATS"))
        std::atexit([] {
            for (const auto& [n, c] : *counts) std::fprintf(stderr, "stage %-32s %ld\n", n.c_str(), c);
        });
    ++(*counts)[name];
}

}  // namespace vexla::fuzz
