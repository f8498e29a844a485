// Files of the source tree (the language files, scripts) as a test reads them.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace vexla::testing {

// The bytes of the file at `path`; empty when it is missing.
inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The source tree's root: VEXLA_SOURCE_DIR, set for every test.
inline std::string sourceRoot() {
    const char* root = std::getenv("VEXLA_SOURCE_DIR");
    return root ? root : ".";
}

// The bytes of `relative` below the source tree's root; empty when the file is missing.
inline std::string sourceFile(const std::string& relative) { return fileBytes(sourceRoot() + "/" + relative); }

}  // namespace vexla::testing
