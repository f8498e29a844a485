// Reading the text between the # marks of a date literal. The program writes
// dates the way the system shows them (short date, a blank, long time; the
// date alone at midnight; the time alone on the zero date), and the import
// passes on whatever a register file holds, so three forms are accepted:
//   ISO            2026-12-04, 2026-12-04 08:30, 2026-12-04 08:30:15 (also with T)
//   time alone     08:30:15, 8:30, 8:30:15 PM       -> on the zero date 1899-12-30
//   system form    by the short date and long time picture strings
// Blanks around the text are ignored. Two-digit years 00-29 are 2000-2029,
// 30-99 are 1930-1999. A text that reads both as a date and as a time alone
// (04.12.35 under dd.MM.yy and HH.mm.ss) is the date.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/datetime.h"

namespace vexla::db {

struct DatePictures {
    std::string shortDate = "yyyy-MM-dd";
    std::string longTime = "HH:mm:ss";
};

// The date the literal names, or nothing when it names no valid date.
std::optional<DateTime> parseDateLiteral(std::string_view text, const DatePictures& pictures);

}  // namespace vexla::db
