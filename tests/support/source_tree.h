// Files of the source tree (the language files, scripts) as a test reads them.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace vexla::testing {

// The bytes of `relative` below the source tree's root (VEXLA_SOURCE_DIR,
// set for every test); empty when the file is missing.
inline std::string sourceFile(const std::string& relative) {
    const char* root = std::getenv("VEXLA_SOURCE_DIR");
    std::ifstream in(std::string(root ? root : ".") + "/" + relative, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace vexla::testing
