// The two language files the program ships: a text for every code the program uses, Windows-1252
// with CR LF, access keys on button captions only, no punctuation on texts the code joins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/cp1252.h"
#include "common/error_texts.h"
#include "common/file_writing.h"
#include "common/ini_file.h"
#include "common/system_user.h"
#include "login/validera.h"
#include "session/exclusive_refusal.h"
#include "tests/support/fake_platform.h"
#include "tests/support/source_tree.h"
#include "texts/kompilerad.h"
#include "texts/text_codes.h"

namespace vexla {
namespace {

namespace fs = std::filesystem;

// Texts that the code follows with punctuation or more words of its own
// ("!", "?", ": ", "...", ".", " "): they must not end in punctuation.
const std::vector<std::string> kJoinedCodes = {
    "R0030", "R0558", "R17",   "R1738", "R1740", "R1742", "R1748", "R1749", "R1750", "R1751", "R1755", "R1756",
    "R1758", "R1759", "R1760", "R1774", "R1776", "R1777", "R1781", "R1782", "R1784", "R1785", "R1787", "R1788",
    "R1789", "R1794", "R1795", "R1796", "R1798", "R1799", "R1800", "R1805", "R1806", "R1818", "R1842", "R1861",
    "R9270", "R9272", "R9274", "R9275", "R9276", "R9277", "R9278", "R9284", "R9286", "R9288", "R9289", "R9585",
    "R9586", "R9587", "R9588", "R9589", "R9590", "R9591", "R9592", "R9593", "R9594", "R9596",
};

// The program's sources, each file's text.
const std::vector<std::string>& sources() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> all;
        for (const char* area :
             {"common", "db", "texts", "session", "login", "registers", "maintenance", "app", "transfer", "tools"}) {
            const fs::path dir = fs::path(testing::sourceRoot()) / area;
            if (!fs::exists(dir)) continue;
            for (const auto& entry : fs::recursive_directory_iterator(dir)) {
                const std::string ext = entry.path().extension().string();
                if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h"))
                    all.push_back(testing::fileBytes(entry.path().string()));
            }
        }
        return all;
    }();
    return texts;
}

// Group `group` of every match of `pattern` in `text`.
void matches(const std::string& text, const std::regex& pattern, int group, std::set<std::string>& found) {
    for (std::sregex_iterator m(text.begin(), text.end(), pattern), end; m != end; ++m) found.insert((*m)[group].str());
}

// The code of every name in the table.
const std::map<std::string, std::string>& codeOfName() {
    static const std::map<std::string, std::string> codes = [] {
        std::map<std::string, std::string> byName;
        for (const NamedTextCode& entry : kTextCodes) byName.emplace(entry.name, entry.code);
        return byName;
    }();
    return codes;
}

// Every text code the program names: the codes of the table.
const std::set<std::string>& codesInTheSources() {
    static const std::set<std::string> codes = [] {
        std::set<std::string> all;
        for (const NamedTextCode& entry : kTextCodes) all.insert(entry.code);
        return all;
    }();
    return codes;
}

// `source` without its // comments (a "//" within a string literal stays).
std::string withoutComments(const std::string& source) {
    std::string kept;
    bool inString = false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (inString && c == '\\') {
            kept += source.substr(i++, 2);
            continue;
        }
        if (c == '"') inString = !inString;
        if (c == '\n') inString = false;
        if (!inString && c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            i = source.find('\n', i);
            if (i == std::string::npos) break;
            kept += '\n';
            continue;
        }
        kept += c;
    }
    return kept;
}

// The first group of every match of `pattern` in the program's sources.
std::set<std::string> inTheSources(const std::regex& pattern) {
    std::set<std::string> found;
    for (const std::string& source : sources()) matches(source, pattern, 1, found);
    return found;
}

std::set<std::string> codesNamedBy(const std::regex& pattern) {
    std::set<std::string> codes;
    for (const std::string& name : inTheSources(pattern)) codes.insert(codeOfName().at(name));
    return codes;
}

// The caption codes of the message boxes' buttons.
const std::set<std::string> kMessageBoxButtons = codesNamedBy(std::regex(R"re(QMessageBox::\w+, txt::(\w+))re"));

// The caption codes of the buttons and check boxes (cmd..., cdm..., chk...)
// and of the message boxes' buttons: the texts that carry an access key.
const std::set<std::string> kButtonCaptions = [] {
    std::set<std::string> found = codesNamedBy(std::regex(R"re("(?:cmd|cdm|chk)[^"]*",\s*(?:textTag\()?txt::(\w+))re"));
    found.insert(kMessageBoxButtons.begin(), kMessageBoxButtons.end());
    return found;
}();

struct Language {
    const char* name;
    std::string path() const { return testing::sourceRoot() + "/texts/" + name + "/Lang.ini"; }
    std::string text(const std::string& code) const { return readIniString(path(), "System", code, 255); }
};

void PrintTo(const Language& language, std::ostream* os) { *os << language.name; }

const Language kSwedish{"se"};
const Language kEnglish{"en"};

// The lines of the file without their line ends.
std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The keys of the file in order of appearance (duplicates kept).
std::vector<std::string> keysOf(const std::string& bytes) {
    std::vector<std::string> keys;
    for (const std::string& line : linesOf(bytes)) {
        const std::size_t eq = line.find('=');
        if (!line.empty() && line[0] != ';' && line[0] != '[' && eq != std::string::npos)
            keys.push_back(line.substr(0, eq));
    }
    return keys;
}

const std::pair<const char*, const char*> kSwedishLetters[] = {{"Å", "å"}, {"Ä", "ä"}, {"Ö", "ö"}};

// The access keys of a caption: the character behind each single '&'.
std::vector<std::string> accessKeys(const std::string& caption) {
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (i + 1 < caption.size() && caption[i + 1] == '&') {
            ++i;
            continue;
        }
        std::string key = cp1252ToUtf8(utf8ToCp1252(caption.substr(i + 1, 4)).substr(0, 1));
        if (key.size() == 1) key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
        for (const auto& [upper, lower] : kSwedishLetters)
            if (key == upper) key = lower;
        keys.push_back(key);
    }
    return keys;
}

class LangIni : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override {
        bytes = testing::fileBytes(GetParam().path());
        ASSERT_FALSE(bytes.empty()) << GetParam().path();
    }
    std::string bytes;
};

TEST_P(LangIni, IsWindows1252WithCrLfOnEveryLine) {
    EXPECT_TRUE(bytes.ends_with("\r\n")) << "the last line lacks its CR LF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        EXPECT_TRUE(b == '\r' ? bytes[i + 1] == '\n' : b != '\n' || (i > 0 && bytes[i - 1] == '\r'))
            << "a lone CR or LF at byte " << i;
        EXPECT_FALSE((b < 0x20 && b != '\r' && b != '\n') || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F ||
                     b == 0x90 || b == 0x9D)
            << "byte " << int(b) << " at " << i << " is a control byte or undefined in Windows-1252";
    }
    // Both files hold letters or dashes beyond ASCII; saved as UTF-8 by
    // mistake they would still be well-formed UTF-8.
    std::size_t replaced = 0;
    const bool changed = utf8ToCp1252(bytes, &replaced) != bytes;
    EXPECT_FALSE(changed && replaced == 0) << "the file looks UTF-8 encoded";
}

TEST_P(LangIni, HoldsOneSystemSectionWithEachKeyOnce) {
    std::vector<std::string> sections;
    for (const std::string& line : linesOf(bytes))
        if (!line.empty() && line[0] == '[') sections.push_back(line);
    EXPECT_EQ(sections, std::vector<std::string>{"[System]"});
    std::map<std::string, int> seen;
    for (const std::string& key : keysOf(bytes)) {
        EXPECT_TRUE(std::regex_match(key, std::regex("R[0-9]{4}|R17"))) << "odd key '" << key << "'";
        EXPECT_EQ(++seen[key], 1) << key << " appears twice; only the first counts";
    }
}

// Every text fits the smallest buffer. A user who opens the file in a Linux
// editor saves it as UTF-8 with LF line ends, perhaps with a byte-order mark:
// every text must read as before, cut to the same number of characters.
TEST_P(LangIni, EveryTextFitsAndReadsTheSameWhenSavedAsUtf8) {
    std::string utf8 = "\xEF\xBB\xBF" + cp1252ToUtf8(bytes);
    utf8.erase(std::remove(utf8.begin(), utf8.end(), '\r'), utf8.end());
    testing::TempFolder folder;
    const std::string copy = folder.write("Lang.ini", utf8);
    for (const std::string& key : keysOf(bytes)) {
        EXPECT_LE(utf8ToCp1252(readIniString(GetParam().path(), "System", key, 4096)).size(), 254u) << key;
        for (int size : {255, 40})
            EXPECT_EQ(readIniString(copy, "System", key, size), readIniString(GetParam().path(), "System", key, size))
                << key << " in a buffer of " << size;
    }
}

// Each window's buttons differ in their keys (checked on the windows
// themselves, by EveryWindow in the main window's tests); the message
// boxes' buttons are checked here.
TEST_P(LangIni, ButtonCaptionsAloneCarryOneAccessKeyEach) {
    for (const char* known : {"R1829", "R1866", "R0898", "R9012"})
        ASSERT_TRUE(kButtonCaptions.count(known)) << "the scan of the sources missed " << known;
    // cmdKomprimera's caption gets " && " and the R1843 text appended.
    for (const std::string& code : codesInTheSources())
        EXPECT_EQ(accessKeys(GetParam().text(code)).size(), kButtonCaptions.count(code)) << code;
    std::map<std::string, std::string> owner;
    for (const std::string& code : kMessageBoxButtons) {
        const std::vector<std::string> keys = accessKeys(GetParam().text(code));
        const auto [it, fresh] = owner.emplace(keys.empty() ? "" : keys[0], code);
        EXPECT_TRUE(fresh) << code << " and " << it->second << " share the key " << it->first;
    }
}

TEST_P(LangIni, JoinedTextsBringNoPunctuationOfTheirOwn) {
    for (const std::string& code : codesInTheSources()) {
        const std::string text = GetParam().text(code);
        if (text.empty()) continue;  // reported by EachHoldsATextForEveryCodeInTheSources
        EXPECT_EQ(std::string("!?").find(text.back()), std::string::npos) << code;
    }
    for (const std::string& code : kJoinedCodes) {
        const std::string text = GetParam().text(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(std::string(".!?:;, ").find(text.back()), std::string::npos) << code << ": '" << text << "'";
    }
    // The copy message puts the file name straight behind this text.
    const std::string copied = GetParam().text("R1752");
    EXPECT_EQ(copied.back(), ' ') << "R1752 needs its trailing blank, written in quotes";
}

// vexla-transfer's complaint about a register name lists the names it takes.
TEST_P(LangIni, UnknownRegisterTextListsTheNamesTaken) {
    for (const char* name : {"kund", "resurser", "bokningar", "customers", "resources", "bookings"})
        EXPECT_NE(GetParam().text("R9236").find(name), std::string::npos) << name;
}

INSTANTIATE_TEST_SUITE_P(Languages, LangIni, ::testing::Values(kSwedish, kEnglish),
                         [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.name); });

// The table of names: each code and each name once, in the order of the
// codes, each with a text in both files, which hold the same codes; each
// name used, and no code written as a literal anywhere else in the sources.
TEST(TextCodes, TableNamesEveryCodeOnceWithTextsInBothFiles) {
    std::set<std::string> names;
    std::string previous;
    for (const NamedTextCode& entry : kTextCodes) {
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name << " twice";
        EXPECT_LT(previous, entry.code) << entry.code << " out of order or twice";
        previous = entry.code;
        for (const Language& language : {kSwedish, kEnglish})
            EXPECT_NE(language.text(entry.code), "") << entry.code << " has no text in " << language.name;
    }
    std::vector<std::string> se = keysOf(testing::fileBytes(kSwedish.path()));
    std::vector<std::string> en = keysOf(testing::fileBytes(kEnglish.path()));
    std::sort(se.begin(), se.end()), std::sort(en.begin(), en.end());
    EXPECT_EQ(se, en);
}

TEST(TextCodes, SourcesNameEveryCodeOfTheTableAndWriteNoneAsALiteral) {
    const std::set<std::string> used = inTheSources(std::regex(R"re(\btxt::(\w+))re"));
    for (const NamedTextCode& entry : kTextCodes)
        EXPECT_TRUE(used.count(entry.name)) << "txt::" << entry.name << " is in the table but never used";
    const std::regex literal(R"re("((?:[^"\\\n]|\\.)*)")re");
    const std::regex code("(^|[^A-Za-z0-9])(R[0-9]{4}|R17)(?![0-9])");
    std::set<std::string> literals, written;
    for (const std::string& source : sources()) matches(withoutComments(source), literal, 1, literals);
    for (const std::string& text : literals) matches(text, code, 2, written);
    EXPECT_EQ(written, std::set<std::string>{}) << "name these through texts/text_codes.inc";
}

// The texts of one shipped language file, as the program reads them.
struct ShippedTexts final : TextSource {
    explicit ShippedTexts(Language l) : language(l) {}
    std::string TextTillAndra(const std::string& code) override { return language.text(code); }
    Language language;
};

// Every number the program words reads in one language only: no message made
// for it holds the engine's English description or the other file's text,
// and the number stays in the messages that show it.
TEST(LangIniPair, ErrorNumbersAreWordedInTheUsersLanguageOnly) {
    ShippedTexts se(kSwedish), en(kEnglish);
    const std::pair<ShippedTexts*, ShippedTexts*> pairs[] = {{&se, &en}, {&en, &se}};
    for (const long number : wordedErrorNumbers()) {
        const std::string engine = "Engine words for " + std::to_string(number);
        const Error plain{number, engine}, onFile{number, engine, "Vexla Admin", "/srv/bok.db", txt::OpWrite};
        for (const auto& [own, other] : pairs) {
            SCOPED_TRACE(std::string(own->language.name) + " " + std::to_string(number));
            const std::string ownText = own->TextTillAndra(errorTextCode(number));
            const std::string otherText = other->TextTillAndra(errorTextCode(number));
            ASSERT_NE(ownText, "");
            const std::string login = loginFailureText(plain, "/srv/bok.db", *own);
            for (const std::string& message :
                 {describedFileError(plain, *own).description, describedFileError(onFile, *own).description, login}) {
                EXPECT_EQ(message.find(engine), std::string::npos) << message;
                EXPECT_EQ(message.find(otherText), std::string::npos) << message;
            }
            EXPECT_NE(describedFileError(onFile, *own).description.find(ownText), std::string::npos);
            // A refusal of permission names the user refused, with or without the file.
            const std::string deniedTo = own->TextTillAndra(txt::DeniedToUser) + " " + systemUserName();
            for (const Error& e : {plain, onFile})
                EXPECT_EQ(describedFileError(e, *own).description.find(deniedTo) != std::string::npos,
                          number == fserr::PermissionDenied);
            EXPECT_TRUE(isOpeningRefusal(plain) || login.find(std::to_string(number)) != std::string::npos) << login;
        }
    }
}

// The words a user reads for the failures met most: what happened, not a
// neighbour's text (a refusal of permission is no general access error).
TEST(LangIniPair, CommonFailuresSayWhatHappened) {
    ShippedTexts en(kEnglish);
    for (const auto& [number, words] : {std::pair{53L, "File not found"},
                                        {76L, "Folder not found"},
                                        {61L, "disk is full"},
                                        {3026L, "disk is full"},
                                        {70L, "Access denied"},
                                        {3027L, "read-only"},
                                        {58L, "already"},
                                        {75L, "accessing"}}) {
        const std::string text = en.TextTillAndra(errorTextCode(number));
        EXPECT_NE(text.find(words), std::string::npos) << number << ": " << text;
    }
}

}  // namespace
}  // namespace vexla
