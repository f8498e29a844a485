// The error numbers the program can produce, each worded by a language text
// code, so no message shows the engine's English description inside text of
// the user's language. The number always stays in the message: support looks
// it up.
#pragma once

#include <string>
#include <vector>

#include "common/platform/text_source.h"
#include "common/result.h"

namespace vexla {

// The text code that words error `number` ("" for a number without one).
// Several numbers of one kind share a code.
std::string errorTextCode(long number);

// Every number that has a text code, in increasing order.
std::vector<long> wordedErrorNumbers();

// The description of `e` in the user's language: its number's text, then
// ": " and the name the engine's description quotes (when it quotes one). A
// number without a text,
// or whose text is missing from the language file, keeps the engine's
// description, and so does an error already worded.
std::string errorDescription(const Error& e, TextSource& texts);

}  // namespace vexla
