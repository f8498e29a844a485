// The regional settings the programs write and read dates, times and
// numbers by: one of a fixed few, chosen by name (Locale= of Vexla.ini,
// vexla-transfer --locale), never taken from the process's environment, so
// that the window, the unattended job and a script under cron write the
// same bytes and read the same files.
//
//            short date   long date    time          decimal
//   sv_SE    yyyy-MM-dd   yyyy-MM-dd   HH:mm:ss      ,
//   en_US    M/d/yyyy     MM/dd/yyyy   h:mm:ss tt    .
//
// No time zone is written. The long dates are numeric: the pictures are
// rendered without month names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/platform/locale_info.h"

namespace vexla {

enum class LocaleName : unsigned char { Swedish, English };

// The locale `name` names ("sv_SE" or "en_US", exactly); nothing for any other text.
std::optional<LocaleName> localeNamed(std::string_view name);

// "sv_SE" or "en_US".
const char* nameOf(LocaleName locale);

class FixedLocale final : public LocaleInfo {
public:
    explicit FixedLocale(LocaleName name) : name_(name) {}

    LocaleName name() const { return name_; }
    // From now on answers for `name`.
    void choose(LocaleName name) { name_ = name; }

    // Always a value: the pictures and the decimal separator of the table above.
    std::optional<std::string> value(LocaleItem item) override;

private:
    LocaleName name_;
};

}  // namespace vexla
