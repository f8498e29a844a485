// What the fuzz targets share: a scratch folder, and a broken invariant
// reported as a message and abort() (a crash libFuzzer keeps the input of).
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
    std::fprintf(stderr, "\n*** invariant broken: %s\n", what.c_str());  // stderr is unbuffered
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

// Whether UTF-8 text converts to Windows-1252 and back unchanged, replacing nothing.
inline bool cp1252Text(std::string_view utf8) {
    std::size_t replaced = 0;
    return cp1252ToUtf8(utf8ToCp1252(utf8, &replaced)) == utf8 && replaced == 0;
}

// A file of the scratch folder (one per process, on /dev/shm if there,
// removed at exit); an empty name gives the folder.
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
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// How many inputs reached each stage, printed at exit under VEXLA_FUZZ_STATS.
inline void stage(const char* name) {
    static auto* counts = new std::map<std::string, long>;  // never destroyed: the report runs at exit
    if (counts->empty() && std::getenv("VEXLA_FUZZ_STATS"))
        std::atexit([] {
            for (const auto& [n, c] : *counts) std::fprintf(stderr, "stage %-32s %ld\n", n.c_str(), c);
        });
    ++(*counts)[name];
}

}  // namespace vexla::fuzz
