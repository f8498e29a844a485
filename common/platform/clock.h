#pragma once

#include "common/datetime.h"

namespace vexla {

// The local date and time of the user's clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() = 0;
};

}  // namespace vexla
