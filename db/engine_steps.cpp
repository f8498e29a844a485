#include "db/engine_steps.h"

#include <cerrno>
#include <utility>

namespace vexla::db {

namespace {

std::function<int(const char*)>& hook() {
    static std::function<int(const char*)> h;
    return h;
}

}  // namespace

void onEngineStep(std::function<int(const char* step)> h) { hook() = std::move(h); }

int engineStep(const char* step) {
    const int refused = hook() ? hook()(step) : 0;
    if (refused) errno = refused;
    return refused;
}

}  // namespace vexla::db
