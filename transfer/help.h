// The help of vexla-transfer: the general help and each command's, in the
// user's language.
#pragma once

#include <cstdio>
#include <optional>

#include "common/platform/text_source.h"
#include "transfer/options.h"

namespace vexla::transfer {

// Prints on `to` the help of `command`, or the general help without one.
void printHelp(std::FILE* to, TextSource& texts, const std::optional<Command>& command);

}  // namespace vexla::transfer
