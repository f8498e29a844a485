// The path of a database file as an SQLite file URI, so that the way it is
// opened (read only, immutable) can be said beside it.
#pragma once

#include <string>

namespace vexla::db {

// "file:" and `path` with every byte that is no letter, digit, '/', '.',
// '-' or '_' written as %XX, then "?" and `query` ("mode=ro").
std::string sqliteFileUri(const std::string& path, const std::string& query);

}  // namespace vexla::db
