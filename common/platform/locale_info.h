// The regional settings dates, times and numbers are written and read by
// (the program's own: FixedLocale), in the picture-string token language of
// the date pickers (y M d H h m s t tt). An implementation answers nullopt
// when it cannot tell (the callers then work with an empty format).
#pragma once

#include <optional>
#include <string>

namespace vexla {

enum class LocaleItem {
    ShortDate = 0x1F,
    LongDate = 0x20,
    TimeFormat = 0x1003,  // the long time format: hours, minutes and seconds
    DecimalSeparator = 0x0E,
};

class LocaleInfo {
public:
    virtual ~LocaleInfo() = default;
    virtual std::optional<std::string> value(LocaleItem item) = 0;
};

}  // namespace vexla
