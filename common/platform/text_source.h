#pragma once

#include <string>

namespace vexla {

// Looks up the text of one text code (R1738) in the installed language
// file. An unknown code gives an empty text.
class TextSource {
public:
    virtual ~TextSource() = default;
    virtual std::string TextTillAndra(const std::string& code) = 0;
};

}  // namespace vexla
