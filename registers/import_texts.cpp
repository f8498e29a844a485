#include "registers/import_texts.h"
#include "texts/text_codes.h"

#include "common/file_writing.h"

namespace vexla {

namespace {

const char* reasonCode(ImportStop stop) {
    switch (stop) {
        case ImportStop::None: return "";
        case ImportStop::Cancelled: return txt::ImportCancelled;
        case ImportStop::FileUnreadable: return txt::FileCouldNotBeRead;
        case ImportStop::NotRegularFile: return txt::RegisterFileNotRegular;
        case ImportStop::NoHeader: return txt::FileHasNoHeaderLine;
        case ImportStop::LineTooLong: return txt::LineLongerThan1MB;
        case ImportStop::TooManyFields: return txt::LineWithOver1000Fields;
        case ImportStop::NoSeparator: return txt::LineWithoutSeparators;
        case ImportStop::WrongSeparator: return "";  // foreignSeparatorText
        case ImportStop::NotUtf8: return txt::LineNotUtf8;
        case ImportStop::NulCharacter: return txt::LineHoldsNul;
        case ImportStop::UnclosedQuote: return txt::QuoteNeverClosed;
        case ImportStop::OtherEncoding: return txt::FileInEncoding;
        case ImportStop::WrongFieldCount: return txt::WrongFieldCount;
        case ImportStop::DuplicateKey: return txt::RecordAlreadyInRegister;
        case ImportStop::RequiredValue: return txt::RequiredFieldWithoutValue;
        case ImportStop::Refused: return "";
        case ImportStop::LinkNoColumn: return txt::LinkWithoutDatabaseField;
        case ImportStop::LinkTwice: return txt::DatabaseFieldLinkedTwice;
        case ImportStop::LinkOutOfRange: return txt::LinkToMissingField;
        case ImportStop::RequiredUnlinked: return txt::RequiredFieldNotLinked;
        case ImportStop::KeyUnlinked: return txt::IdNotLinkedCannotEmpty;
        case ImportStop::UncaptionedLost: return txt::UncaptionedColumnHoldsValues;
        case ImportStop::NoLinks: return txt::LinkAtLeastOneField;
        case ImportStop::ValuesUnlinked: return txt::UnlinkedColumnsHoldValues;
        case ImportStop::SavedDespiteError: return txt::ImportSavedDespiteError;
        case ImportStop::SaveUncertain: return txt::ImportSaveUncertain;
    }
    return "";
}

// "4, 9, 12 och 160 till": the first line numbers of a list.
std::string lineNumbers(const LineList& list, TextSource& texts) {
    std::string s;
    for (long line : list.first) s += (s.empty() ? "" : ", ") + std::to_string(line);
    const long more = list.count - static_cast<long>(list.first.size());
    if (more > 0)
        s += " " + texts.TextTillAndra(txt::AndWord) + " " + std::to_string(more) + " " +
             texts.TextTillAndra(txt::MoreWord);
    return s;
}

// What a refused value's column takes, after the value.
const char* expectedCode(Expected expected) {
    switch (expected) {
        case Expected::Number: return txt::IsNotANumber;
        case Expected::Date: return txt::IsNotADate;
        case Expected::YesNo: return txt::IsNotTrueOrFalse;
        case Expected::ShorterText: return txt::IsLongerThanColumn;
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

// The first part of a stop's message: whether it names the line itself, and
// whether it is the whole message (nothing about the line or the register
// follows).
struct StopWords {
    std::string text;
    bool lineNamed = false;
    bool complete = false;
};

// A value a column refused: where, what and what would do, in the user's
// words, since the value is the file's fault, not the database's.
StopWords refusedWords(const ImportOutcome& o, const std::string& description, TextSource& texts) {
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    if (o.expected == Expected::Nothing)
        return {std::to_string(o.error.number) + "\r\n" + description + "\r\n" + o.error.source};
    return {text(txt::LineWord) + " " + std::to_string(o.line) + ", " + text(txt::ColumnWord) + " " + o.column + ": " +
                quoted(o.value) + " " + text(expectedCode(o.expected)),
            true};
}

StopWords stopWords(const ImportOutcome& o, const std::string& path, TextSource& texts) {
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    const std::string description = describedFileError(o.error, texts).description;
    switch (o.stop) {
        case ImportStop::Refused: return refusedWords(o, description, texts);
        case ImportStop::UnclosedQuote: return {text(txt::QuoteNeverClosed) + " " + std::to_string(o.line) + ".", true};
        case ImportStop::OtherEncoding:
            return {text(txt::FileInEncoding) + " " + o.value + ". " + text(txt::SaveAsUtf8OrWindows1252) + "."};
        case ImportStop::SavedDespiteError:
        case ImportStop::SaveUncertain:
            // The register is not as it was: no "unchanged" after these.
            return {text(reasonCode(o.stop)) + "\r\n" + std::to_string(o.error.number) + "\r\n" + description, false,
                    true};
        case ImportStop::FileUnreadable:
            return {text(txt::FileCouldNotBeRead) + ": " + path + "\r\n" + std::to_string(o.error.number) + " " +
                    description};
        case ImportStop::NotRegularFile: return {notRegularText(o.error, texts) + ": " + path};
        case ImportStop::WrongSeparator: return {foreignSeparatorText(o.separator, texts) + "."};
        case ImportStop::NoHeader:
        case ImportStop::NoSeparator: return {text(reasonCode(o.stop)) + "!"};
        case ImportStop::WrongFieldCount:
            return {text(txt::WrongFieldCount) + ": " + std::to_string(o.fields) + " / " +
                    std::to_string(o.headerFields) + "\r\n" + text(txt::NoLineSkippedWhenEmptied)};
        case ImportStop::DuplicateKey:
            return {text(txt::RecordAlreadyInRegister) + "!\r\n" + text(txt::NoLineSkippedWhenEmptied)};
        case ImportStop::LinkNoColumn:
        case ImportStop::LinkTwice:
        case ImportStop::LinkOutOfRange:
        case ImportStop::RequiredUnlinked:
        case ImportStop::KeyUnlinked:
        case ImportStop::UncaptionedLost: return {text(reasonCode(o.stop)) + ": " + o.column};
        case ImportStop::NoLinks: return {text(txt::LinkAtLeastOneField) + "!", false, true};  // nothing was read
        case ImportStop::ValuesUnlinked: return {unlinkedColumnsText(o.unlinked, texts)};
        default: return {text(reasonCode(o.stop))};
    }
}

}  // namespace

std::string importStopMessage(const ImportOutcome& o, const std::string& path, TextSource& texts) {
    if (!o.stopped()) return {};
    StopWords words = stopWords(o, path, texts);
    if (words.complete) return words.text;
    std::string& m = words.text;
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    // A file the reader refuses may be refused at its header already.
    const bool fromReader =
        o.stop == ImportStop::NulCharacter || o.stop == ImportStop::NotUtf8 || o.stop == ImportStop::LineTooLong;
    if (!words.lineNamed && (o.line > 1 || (fromReader && o.line == 1)) && o.stop != ImportStop::Cancelled) {
        m += "\r\n" + text(txt::LineWord) + " " + std::to_string(o.line);
        if (o.stop == ImportStop::Refused && !o.column.empty()) m += ", " + text(txt::ColumnWord) + " " + o.column;
    }
    return m + "\r\n" + text(txt::RegisterUnchanged) + ".";
}

std::string unlinkedColumnsText(const std::vector<UnlinkedColumn>& columns, TextSource& texts) {
    std::string s = texts.TextTillAndra(txt::UnlinkedColumnsHoldValues) + ": ";
    for (const UnlinkedColumn& c : columns) {
        if (&c != &columns.front()) s += ", ";
        s += texts.TextTillAndra(txt::ColumnWord) + " " + std::to_string(c.column);
        if (!c.caption.empty()) s += " \"" + c.caption + "\"";
        s += " (" + std::to_string(c.values) + ")";
    }
    return s;
}

long importStopNumber(const ImportOutcome& o) {
    if (o.stop == ImportStop::Refused && o.expected != Expected::Nothing) return txt::number(expectedCode(o.expected));
    if (o.stop == ImportStop::NoLinks || o.stop == ImportStop::ValuesUnlinked) return txt::number(reasonCode(o.stop));
    return 0;
}

std::string importSummary(const ImportOutcome& o, bool dryRun, TextSource& texts) {
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    // A try run says so first, and words its counts as what would have been done.
    std::string s = dryRun ? text(txt::DryRunNothingSaved) + "\r\n" : "";
    s += std::to_string(o.inserted) + " " + text(dryRun ? txt::RecordsWouldBeImported : txt::RecordsImported);
    if (o.deleted > 0)
        s += "\r\n" + std::to_string(o.deleted) + " " +
             text(dryRun ? txt::RecordsWouldBeDeletedFirst : txt::RecordsDeletedFirst);
    const std::pair<const LineList*, SkipReason> kinds[] = {{&o.wrongFieldCount, SkipReason::WrongFieldCount},
                                                            {&o.duplicates, SkipReason::DuplicateKey}};
    for (const auto& [list, why] : kinds)
        if (list->count > 0)
            s += "\r\n" + std::to_string(list->count) + " " + text(txt::LinesWereSkipped) + ": " +
                 skipReasonText(why, texts) + " (" + text(txt::LineWord) + " " + lineNumbers(*list, texts) + ")";
    return s;
}

std::string importInfoLine(const ImportOutcome& o, TextSource& texts) {
    std::string s = " " + std::to_string(o.inserted) + " " + texts.TextTillAndra(txt::RecordsImported) + "!";
    if (o.unchanged()) return s + " " + texts.TextTillAndra(txt::RegisterUnchanged) + ".";
    if (o.stopped()) return s + " " + texts.TextTillAndra(reasonCode(o.stop)) + ".";
    if (const long skipped = o.skipped(); skipped > 0)
        s += " " + std::to_string(skipped) + " " + texts.TextTillAndra(txt::LinesWereSkipped) + ".";
    return s;
}

std::string skipReasonText(SkipReason why, TextSource& texts) {
    return texts.TextTillAndra(why == SkipReason::WrongFieldCount ? txt::ReasonWrongFieldCount
                                                                  : txt::ReasonRecordExists);
}

std::string foreignSeparatorText(char separator, TextSource& texts) {
    return texts.TextTillAndra(separator == '\t' ? txt::SeparatedByTabs : txt::SeparatedByCommas);
}

const char* notRegularCode(const Error& refusal) {
    return refusal.what.empty() ? txt::RegisterFileNotRegular : refusal.what.c_str();
}

std::string notRegularText(const Error& refusal, TextSource& texts) {
    return texts.TextTillAndra(notRegularCode(refusal));
}

}  // namespace vexla
