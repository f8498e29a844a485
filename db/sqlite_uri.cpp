#include "db/sqlite_uri.h"

namespace vexla::db {

std::string sqliteFileUri(const std::string& path, const std::string& query) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    // "//x" would name a host: one leading slash says the same path.
    const std::size_t from = path.find_first_not_of('/') == std::string::npos ? 0 : path.find_first_not_of('/');
    if (from > 0) uri += '/';
    for (unsigned char c : path.substr(from)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '.' ||
            c == '-' || c == '_') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?" + query;
}

}  // namespace vexla::db
