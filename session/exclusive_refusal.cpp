#include "session/exclusive_refusal.h"

#include "common/file_writing.h"
#include "db/errors.h"

namespace vexla {

ExclusiveRefusal describeRefusal(const Error& refusal, const std::string& path, const std::string& now,
                                 TextSource& texts) {
    const auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    const std::string crlf = "\r\n";
    switch (refusal.number) {
        case db::err::OpenedExclusively:
        case db::err::RecordLocked:
            return {text("R1784") + "!" + crlf + text("R1785") + " " + text("R0558") + "!" + crlf + text("R1786"),
                    text("R1784") + "! " + path + ": " + now};
        case db::err::FileNotFound:
            return {text("R1787") + "!" + crlf + crlf + text("R1788") + ".", text("R1787") + "! " + path + ":" + now};
        case db::err::UnrecognizedFormat:
            return {text("R1789") + "!" + crlf + crlf + text("R1788"), text("R1789") + "! " + path + ":" + now};
        default: {
            const std::string head = text("R1755") + ": " + std::to_string(refusal.number) + crlf +
                                     describedFileError(refusal, texts).description;
            // The line names the path once: the description may already.
            const bool named = head.find(path) != std::string::npos;
            return {head + crlf + text("R1756") + "!", head + (named ? "" : " " + path) + ": " + now};
        }
    }
}

bool isOpeningRefusal(const Error& e) {
    switch (e.number) {
        case db::err::OpenedExclusively:
        case db::err::RecordLocked:
        case db::err::FileNotFound:
        case db::err::UnrecognizedFormat: return true;
        default: return false;
    }
}

}  // namespace vexla
