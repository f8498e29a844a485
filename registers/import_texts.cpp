#include "registers/import_texts.h"

#include "common/file_writing.h"

namespace vexla {

namespace {

const char* reasonCode(ImportStop stop) {
    switch (stop) {
        case ImportStop::None: return "";
        case ImportStop::Cancelled: return "R9113";
        case ImportStop::FileUnreadable: return "R9106";
        case ImportStop::NotRegularFile: return "R9107";
        case ImportStop::NoHeader: return "R1800";
        case ImportStop::LineTooLong: return "R9104";
        case ImportStop::TooManyFields: return "R9105";
        case ImportStop::NoSeparator: return "R1799";
        case ImportStop::WrongSeparator: return "";  // foreignSeparatorText
        case ImportStop::NotUtf8: return "R9250";
        case ImportStop::NulCharacter: return "R9101";
        case ImportStop::UnclosedQuote: return "R9540";
        case ImportStop::OtherEncoding: return "R9541";
        case ImportStop::WrongFieldCount: return "R9103";
        case ImportStop::DuplicateKey: return "R1818";
        case ImportStop::RequiredValue: return "R1817";
        case ImportStop::Refused: return "";
        case ImportStop::LinkNoColumn: return "R9108";
        case ImportStop::LinkTwice: return "R9109";
        case ImportStop::LinkOutOfRange: return "R9111";
        case ImportStop::RequiredUnlinked: return "R9110";
        case ImportStop::KeyUnlinked: return "R9112";
        case ImportStop::ValuesUnlinked: return "R9124";
        case ImportStop::SavedDespiteError: return "R9125";
        case ImportStop::SaveUncertain: return "R9126";
    }
    return "";
}

// "4, 9, 12 och 160 till": the first line numbers of a list.
std::string lineNumbers(const LineList& list, TextSource& texts) {
    std::string s;
    for (long line : list.first) s += (s.empty() ? "" : ", ") + std::to_string(line);
    const long more = list.count - static_cast<long>(list.first.size());
    if (more > 0)
        s += " " + texts.TextTillAndra("R9117") + " " + std::to_string(more) + " " + texts.TextTillAndra("R9118");
    return s;
}

// What a refused value's column takes, after the value.
const char* expectedCode(Expected expected) {
    switch (expected) {
        case Expected::Number: return "R9543";
        case Expected::Date: return "R9544";
        case Expected::YesNo: return "R9545";
        case Expected::ShorterText: return "R9560";
        case Expected::Nothing: break;
    }
    return "";
}

// A value as a message quotes it: at most kQuoted bytes, cut before a
// character, never inside one, and the cut marked.
std::string quoted(const std::string& value) {
    constexpr std::size_t kQuoted = 60;
    if (value.size() <= kQuoted) return "'" + value + "'";
    std::size_t cut = kQuoted;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    return "'" + value.substr(0, cut) + "...'";
}

}  // namespace

std::string importStopMessage(const ImportOutcome& o, const std::string& path, TextSource& texts) {
    if (!o.stopped()) return {};
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    const std::string description = describedFileError(o.error, texts).description;
    std::string m;
    // Whether the message names the line itself; else it follows below.
    bool lineNamed = false;
    switch (o.stop) {
        case ImportStop::Refused:
            if (o.expected != Expected::Nothing) {
                // Where, what and what would do, in the user's words; the engine's number for whoever helps.
                m = text("R9040") + " " + std::to_string(o.line) + ", " + text("R9041") + " " + o.column + ": " +
                    quoted(o.value) + " " + text(expectedCode(o.expected)) + "\r\n" + std::to_string(o.error.number) +
                    " " + description;
                lineNamed = true;
            } else {
                m = std::to_string(o.error.number) + "\r\n" + description + "\r\n" + o.error.source;
            }
            break;
        case ImportStop::UnclosedQuote:
            m = text("R9540") + " " + std::to_string(o.line) + ".";
            lineNamed = true;
            break;
        case ImportStop::OtherEncoding: m = text("R9541") + " " + o.value + ". " + text("R9542") + "."; break;
        case ImportStop::SavedDespiteError:
        case ImportStop::SaveUncertain:
            // The register is not as it was: no "unchanged" after these.
            return text(reasonCode(o.stop)) + "\r\n" + std::to_string(o.error.number) + "\r\n" + description;
        case ImportStop::FileUnreadable:
            m = text("R9106") + ": " + path + "\r\n" + std::to_string(o.error.number) + " " + description;
            break;
        case ImportStop::NotRegularFile: m = text("R9107") + ": " + path; break;
        case ImportStop::WrongSeparator: m = foreignSeparatorText(o.separator, texts) + "."; break;
        case ImportStop::NoHeader:
        case ImportStop::NoSeparator: m = text(reasonCode(o.stop)) + "!"; break;
        case ImportStop::WrongFieldCount:
            m = text("R9103") + ": " + std::to_string(o.fields) + " / " + std::to_string(o.headerFields) + "\r\n" +
                text("R9102");
            break;
        case ImportStop::DuplicateKey: m = text("R1818") + "!\r\n" + text("R9102"); break;
        case ImportStop::LinkNoColumn:
        case ImportStop::LinkTwice:
        case ImportStop::LinkOutOfRange:
        case ImportStop::RequiredUnlinked:
        case ImportStop::KeyUnlinked:
        case ImportStop::ValuesUnlinked: m = text(reasonCode(o.stop)) + ": " + o.column; break;
        default: m = text(reasonCode(o.stop));
    }
    // A file the reader refuses may be refused at its header already.
    const bool fromReader =
        o.stop == ImportStop::NulCharacter || o.stop == ImportStop::NotUtf8 || o.stop == ImportStop::LineTooLong;
    if (!lineNamed && (o.line > 1 || (fromReader && o.line == 1)) && o.stop != ImportStop::Cancelled) {
        m += "\r\n" + text("R9040") + " " + std::to_string(o.line);
        if (o.stop == ImportStop::Refused && !o.column.empty()) m += ", " + text("R9041") + " " + o.column;
    }
    return m + "\r\n" + text("R9100") + ".";
}

std::string importSummary(const ImportOutcome& o, bool dryRun, TextSource& texts) {
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    std::string s = std::to_string(o.inserted) + " " + text("R1805");
    if (o.deleted > 0) s += "\r\n" + std::to_string(o.deleted) + " " + text("R9120");
    const std::pair<const LineList*, SkipReason> kinds[] = {{&o.wrongFieldCount, SkipReason::WrongFieldCount},
                                                            {&o.duplicates, SkipReason::DuplicateKey}};
    for (const auto& [list, why] : kinds)
        if (list->count > 0)
            s += "\r\n" + std::to_string(list->count) + " " + text("R9114") + ": " + skipReasonText(why, texts) + " (" +
                 text("R9040") + " " + lineNumbers(*list, texts) + ")";
    if (dryRun) s += "\r\n" + text("R9119");
    return s;
}

std::string importInfoLine(const ImportOutcome& o, TextSource& texts) {
    std::string s = " " + std::to_string(o.inserted) + " " + texts.TextTillAndra("R1805") + "!";
    if (o.unchanged()) return s + " " + texts.TextTillAndra("R9100") + ".";
    if (o.stopped()) return s + " " + texts.TextTillAndra(reasonCode(o.stop)) + ".";
    if (const long skipped = o.skipped(); skipped > 0)
        s += " " + std::to_string(skipped) + " " + texts.TextTillAndra("R9114") + ".";
    return s;
}

std::string skipReasonText(SkipReason why, TextSource& texts) {
    return texts.TextTillAndra(why == SkipReason::WrongFieldCount ? "R9115" : "R9116");
}

std::string foreignSeparatorText(char separator, TextSource& texts) {
    return texts.TextTillAndra(separator == '\t' ? "R9252" : "R9251");
}

}  // namespace vexla
