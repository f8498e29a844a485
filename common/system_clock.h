#pragma once

#include "common/platform/clock.h"

namespace vexla {

// The machine's local time (TZ and the system zone apply).
class SystemClock final : public Clock {
public:
    DateTime now() override;
};

}  // namespace vexla
