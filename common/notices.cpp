#include "common/platform/notices.h"

namespace vexla {

namespace {

class NoNotices final : public Notices {
public:
    void tell(const std::string&, const std::string&, const Error&) const override {}
};

}  // namespace

const Notices& Notices::none() {
    static const NoNotices notices;
    return notices;
}

}  // namespace vexla
