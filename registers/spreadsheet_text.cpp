#include "registers/spreadsheet_text.h"

#include <cstring>

#include "common/cp1252.h"
#include "common/datetime.h"
#include "db/stored_format.h"

namespace vexla {

namespace {

// Doubles the quotes of out[from, end) in place and notes the line-break
// characters that do not come back as they are: only a CR LF pair does.
void doubleQuotes(std::string& out, std::size_t from, ValueNotes& notes) {
    std::size_t quotes = 0;
    for (std::size_t i = from; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '"') {
            ++quotes;
        } else if (c == '\r' && i + 1 < out.size() && out[i + 1] == '\n') {
            ++i;
        } else if (c == '\r' || c == '\n' || c == '\x1b') {
            notes.notReturnable = true;
        }
    }
    if (quotes == 0) return;
    std::size_t r = out.size();
    out.resize(out.size() + quotes);
    for (std::size_t w = out.size(); r > from;) {
        const char c = out[--r];
        out[--w] = c;
        if (c == '"') out[--w] = '"';
    }
}

}  // namespace

void appendQuotedText(std::string& out, std::string_view text, SheetEncoding encoding, ValueNotes& notes) {
    if (text.empty()) notes.notReturnable = true;
    out += '"';
    const std::size_t start = out.size();
    if (encoding == SheetEncoding::Utf8) {
        out.append(text);
    } else if (const std::size_t replaced = appendUtf8AsCp1252(out, text); replaced > 0) {
        notes.replaced += replaced;
        notes.notReturnable = true;
    }
    const char* begin = out.data() + start;
    const std::size_t length = out.size() - start;
    if (std::memchr(begin, '"', length) || std::memchr(begin, '\r', length) || std::memchr(begin, '\n', length) ||
        std::memchr(begin, '\x1b', length))
        doubleQuotes(out, start, notes);
    out += '"';
}

void appendSheetValue(std::string& out, const db::RawValue& value, ValueClass cls, const ValueTextFormat& format,
                      SheetEncoding encoding, ValueNotes& notes) {
    using Kind = db::RawValue::Kind;
    if (value.kind == Kind::Null) return;
    if (value.kind == Kind::Text && cls != ValueClass::Text) {
        DateTime t;
        if (cls != ValueClass::Date || !db::parseStoredDateTime(value.text, t)) {
            appendQuotedText(out, value.text, encoding, notes);
            notes.notReturnable = true;
            return;
        }
    }
    if (cls == ValueClass::Text && value.kind == Kind::Text) {
        appendQuotedText(out, value.text, encoding, notes);
        return;
    }
    if (cls == ValueClass::Text) {
        // A number the engine keeps in a text column: it comes back as text.
        out += '"';
        appendValueText(out, value, cls, format, notes);
        out += '"';
        notes.notReturnable = true;
        return;
    }
    appendValueText(out, value, cls, format, notes);
}

}  // namespace vexla
