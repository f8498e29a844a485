#pragma once

namespace vexla {

// The window's mouse pointer: the hourglass during a long job, the default
// pointer otherwise.
class MousePointer {
public:
    virtual ~MousePointer() = default;
    virtual void setBusy(bool busy) = 0;
};

}  // namespace vexla
