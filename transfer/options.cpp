#include "transfer/options.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "common/fixed_locale.h"
#include "db/date_literal.h"
#include "registers/import.h"
#include "session/job_context.h"

namespace vexla::transfer {

namespace {

struct CommandSyntax {
    std::string_view word;
    Command command;
    std::vector<std::string_view> options;   // the options it takes
    std::vector<std::string_view> required;  // those it cannot run without
};

const std::array<CommandSyntax, 8>& commands() {
    static const std::array<CommandSyntax, 8> syntaxes{{
        {"export",
         Command::Export,
         {"--register", "--db", "--out", "--user", "--password-stdin", "--force", "--format", "--encoding", "--json",
          "--quiet"},
         {"--register", "--db", "--out", "--user"}},
        {"import",
         Command::Import,
         {"--register", "--db", "--in", "--user", "--password-stdin", "--delete-first", "--map", "--dry-run",
          "--report", "--ignore-column", "--json", "--quiet"},
         {"--register", "--db", "--in", "--user"}},
        {"compact", Command::Compact, {"--db", "--full-check", "--json", "--quiet"}, {"--db"}},
        {"copy", Command::Copy, {"--db", "--out", "--from", "--to", "--force", "--json", "--quiet"}, {"--db", "--out"}},
        {"check", Command::Check, {"--db", "--full", "--json", "--quiet"}, {"--db"}},
        {"recover", Command::Recover, {"--db", "--out", "--force", "--json", "--quiet"}, {"--db", "--out"}},
        {"backups", Command::Backups, {"--db", "--json", "--quiet"}, {"--db"}},
        {"restore", Command::Restore, {"--db", "--from", "--json", "--quiet"}, {"--db", "--from"}},
    }};
    return syntaxes;
}

bool isFlag(std::string_view option) {
    return option == "--password-stdin" || option == "--force" || option == "--delete-first" || option == "--dry-run" ||
           option == "--full-check" || option == "--full" || option == "--json" || option == "--quiet";
}

bool isHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

// The names --register takes, in any letter case: the Swedish register
// names of the window and the English words of the English language file.
struct RegisterWord {
    std::string_view word;
    std::int16_t kind;
};
constexpr std::array<RegisterWord, 6> kRegisterWords{{
    {"kund", 0},
    {"resurser", 1},
    {"bokningar", 2},
    {"customers", 0},
    {"resources", 1},
    {"bookings", 2},
}};

std::string lowerCase(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return value;
}

std::optional<std::int16_t> registerKind(const std::string& given) {
    const std::string value = lowerCase(given);
    for (const RegisterWord& name : kRegisterWords)
        if (name.word == value) return name.kind;
    return std::nullopt;
}

// The texts of copy's --from and --to, as given.
struct MomentTexts {
    std::optional<std::string> from, to;
};

// Options that take no value: each turns its switch on.
bool storeFlag(Options& o, std::string_view option) {
    static constexpr std::array<std::pair<std::string_view, bool Options::*>, 8> kFlags{{
        {"--full-check", &Options::fullCheck},
        {"--full", &Options::fullCheck},
        {"--password-stdin", &Options::passwordStdin},
        {"--force", &Options::force},
        {"--delete-first", &Options::deleteFirst},
        {"--dry-run", &Options::dryRun},
        {"--json", &Options::json},
        {"--quiet", &Options::quiet},
    }};
    for (const auto& [name, member] : kFlags)
        if (name == option) {
            o.*member = true;
            return true;
        }
    return false;
}

// Options whose value names a file, a register or a user.
bool storeName(Options& o, std::string_view option, const std::string& value) {
    if (option == "--db")
        o.db = value;
    else if (option == "--out")
        o.out = value == "/dev/stdout" ? kStandardStream : value;
    else if (option == "--in")
        o.in = value == "/dev/stdin" ? kStandardStream : value;
    else if (option == "--user")
        o.user = value;
    else
        return false;
    return true;
}

// Stores one option's value; a complaint when the value cannot be used.
std::optional<UsageError> store(Options& o, MomentTexts& moments, std::string_view option, const std::string& value) {
    const auto invalid = [&] { return UsageError{txt::InvalidValue, std::string(option) + " " + value}; };
    if (storeFlag(o, option) || storeName(o, option, value)) return std::nullopt;
    if (option == "--register") {
        const auto kind = registerKind(value);
        if (!kind) return UsageError{txt::UnknownRegister, value};
        o.kind = *kind;
    } else if (option == "--report" || option == "--map" || (option == "--from" && o.command == Command::Restore)) {
        if (value.empty()) return invalid();
        if (option == "--report") o.report = value == kStandardStream ? "/dev/stdout" : value;
        if (option == "--map") o.map = value;
        if (option == "--from") o.backup = value;
    } else if (option == "--ignore-column") {
        const bool digits = !value.empty() && value.size() <= 4 &&
                            std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); });
        const int column = digits ? std::stoi(value) : 0;
        if (column < 1 || column > static_cast<int>(kMaxFields)) return invalid();
        o.ignoreColumns.push_back(column);
    } else if (option == "--from" || option == "--to") {
        // Read at the end, by the locale the whole line chooses.
        (option == "--from" ? moments.from : moments.to) = value;
    } else if (option == "--locale") {
        o.locale = localeNamed(value);
        if (!o.locale) return UsageError{txt::UnknownLocale, value};
    } else if (option == "--format") {
        if (lowerCase(value) != "register" && lowerCase(value) != "spreadsheet") return invalid();
        o.spreadsheet = lowerCase(value) == "spreadsheet";
    } else if (option == "--encoding") {
        if (lowerCase(value) != "utf-8" && lowerCase(value) != "windows-1252") return invalid();
        o.windows1252 = lowerCase(value) == "windows-1252";
    } else if (option == "--wait") {
        const auto seconds = waitSecondsFrom(value);
        if (!seconds) return invalid();
        o.wait = *seconds;
    }
    return std::nullopt;
}

// Reads the option at args[i] (and its value, which may be the next
// argument, moving i past it) into o; `given` collects the options named.
std::optional<UsageError> readOption(const std::vector<std::string>& args, std::size_t& i, const CommandSyntax& syntax,
                                     Options& o, MomentTexts& moments, std::vector<std::string_view>& given) {
    const std::string& arg = args[i];
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    // Every command takes these.
    static constexpr std::array<std::string_view, 2> kEveryCommand{"--wait", "--locale"};
    auto known = std::find(syntax.options.begin(), syntax.options.end(), name);
    const auto common = std::find(kEveryCommand.begin(), kEveryCommand.end(), name);
    if (arg.rfind("--", 0) != 0 || (known == syntax.options.end() && common == kEveryCommand.end()) ||
        (isFlag(name) && eq != std::string::npos))
        return UsageError{txt::UnknownOption, arg};
    const std::string_view option = common != kEveryCommand.end() ? *common : *known;
    std::string value;
    if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
    } else if (!isFlag(name)) {
        if (i + 1 >= args.size()) return UsageError{txt::OptionNeedsValue, name};
        value = args[++i];
    }
    if (auto complaint = store(o, moments, option, value)) return complaint;
    given.push_back(option);
    return std::nullopt;
}

// What the whole line must hold together: the moments read by its locale,
// the command's required options, and the options that need each other.
std::optional<UsageError> completeLine(Options& o, const CommandSyntax& syntax, const MomentTexts& moments,
                                       const std::vector<std::string_view>& given, LocaleInfo& installed) {
    FixedLocale chosen(o.locale.value_or(LocaleName::Swedish));
    for (auto [text, into] : {std::pair{&moments.from, &o.from}, std::pair{&moments.to, &o.to}}) {
        if (!*text) continue;
        *into = parseDateTime(**text, o.locale ? chosen : installed);
        if (!*into)
            return UsageError{txt::InvalidValue, std::string(text == &moments.from ? "--from " : "--to ") + **text};
    }
    const auto has = [&](std::string_view option) {
        return std::find(given.begin(), given.end(), option) != given.end();
    };
    for (std::string_view option : syntax.required)
        if (!has(option)) return UsageError{txt::RequiredOptionMissing, std::string(option)};
    if (o.command != Command::Restore && has("--from") != has("--to"))
        return UsageError{txt::RequiredOptionMissing, has("--from") ? "--to" : "--from"};
    if (has("--encoding") && !o.spreadsheet) return UsageError{txt::EncodingNeedsSpreadsheet, "--encoding"};
    if (o.passwordStdin && o.in == kStandardStream)
        return UsageError{txt::StdinPasswordAndFile, "--password-stdin --in -"};
    return std::nullopt;
}

}  // namespace

std::optional<DateTime> parseDateTime(const std::string& text, LocaleInfo& locale) {
    const auto t = db::parseDateLiteral(text, {locale.value(LocaleItem::ShortDate).value_or("yyyy-MM-dd"),
                                               locale.value(LocaleItem::TimeFormat).value_or("HH:mm:ss")});
    // A date alone or a time alone (read as on the zero date) is no moment a script means.
    if (!t || t->isZeroDate() || text.find(':') == std::string::npos) return std::nullopt;
    return t;
}

std::variant<Options, UsageError> parseArguments(const std::vector<std::string>& args, LocaleInfo& installed) {
    Options o;
    if (args.empty()) return o;
    if (isHelp(args[0])) {
        o.help = true;
        return o;
    }
    if (args[0] == "--version") {
        o.version = true;
        return o;
    }
    const auto syntax =
        std::find_if(commands().begin(), commands().end(), [&](const CommandSyntax& c) { return c.word == args[0]; });
    if (syntax == commands().end()) return UsageError{txt::UnknownCommand, args[0]};
    o.command = syntax->command;
    std::vector<std::string_view> given;
    MomentTexts moments;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (isHelp(args[i])) {
            o.help = true;
            return o;
        }
        if (auto complaint = readOption(args, i, *syntax, o, moments, given)) return *complaint;
    }
    if (auto complaint = completeLine(o, *syntax, moments, given, installed)) return *complaint;
    return o;
}

}  // namespace vexla::transfer
