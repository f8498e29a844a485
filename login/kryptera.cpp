#include "login/kryptera.h"

#include "common/cp1252.h"

namespace vexla {

std::string Kryptera(std::string_view text) {
    static const std::string key = utf8ToCp1252(LösenordsNyckel);
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ key[i % key.size()]);
    return out;
}

std::string TillHex(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

std::string KrypteraLösenord(std::string_view password) { return TillHex(Kryptera(utf8ToCp1252(password))); }

}  // namespace vexla
