#include "transfer/transfer.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <variant>

#include "transfer/console.h"
#include "transfer/help.h"
#include "transfer/json_report.h"
#include "transfer/options.h"
#include "transfer/run.h"
#include "transfer/standard_streams.h"

namespace vexla::transfer {

namespace {

// A run whose product goes to standard output (the JSON object, the
// register file of export --out -) is refused before anything changes when
// that output takes no writes: 0, or the run's status after the refusal
// is told.
int refusedStandardOutput(const Options& o, Environment& env) {
    const bool productOnOut = o.json || (o.command == Command::Export && o.out == kStandardStream);
    if (env.outClosed && productOnOut) {
        // Refused before anything changes: the product would go nowhere.
        printError(env.err, env.texts.TextTillAndra(txt::StandardOutputClosed));
        return exitcode::FileError;
    }
    if (const Status writable = productOnOut ? standardOutputTakesWrites(env.out) : Status{}; !writable) {
        // The same for a pipe whose reader is gone or a full device.
        printError(env.err,
                   env.texts.TextTillAndra(txt::StandardOutputFailed) + ": " + oneLine(writable.error(), env.texts));
        return exitcode::FileError;
    }
    return exitcode::Ok;
}

}  // namespace

int runTransfer(const std::vector<std::string>& args, Environment& env) {
    const auto parsed = parseArguments(args, env.locale);
    if (const auto* wrong = std::get_if<UsageError>(&parsed)) {
        const std::string said = env.texts.TextTillAndra(wrong->code) + ": " + wrong->detail;
        printError(env.err, said);
        std::fprintf(env.err, "%s\n", env.texts.TextTillAndra(txt::TransferHelpPerCommand).c_str());
        // A script that asked for JSON gets it for a wrong line as well.
        if (std::find(args.begin(), args.end(), "--json") != args.end()) {
            const std::string json =
                jsonReport(args.front(), exitcode::Usage, {}, ReportedError{txt::number(wrong->code.c_str()), said});
            std::fputs(json.c_str(), env.out);
        }
        return exitcode::Usage;
    }
    const Options& o = std::get<Options>(parsed);
    if (o.version) {
        std::fprintf(env.out, "vexla-transfer %s\n", VEXLA_VERSION);
        return exitcode::Ok;
    }
    if (o.help) {
        printHelp(env.out, env.texts, o.command);
        return exitcode::Ok;
    }
    if (!o.command) {
        printHelp(env.err, env.texts, std::nullopt);
        return exitcode::Usage;
    }
    if (const int refused = refusedStandardOutput(o, env)) return refused;
    Run run(env, o);
    int status = exitcode::Usage;
    switch (*o.command) {
        case Command::Export: status = run.exportRegister(); break;
        case Command::Import: status = run.importRegister(); break;
        case Command::Compact: status = run.compact(); break;
        case Command::Copy: status = run.copy(); break;
        case Command::Check: status = run.check(); break;
        case Command::Recover: status = run.recover(); break;
        case Command::Backups: status = run.listBackups(); break;
        case Command::Restore: status = run.restore(); break;
    }
    // A wait that a stop cut short (the engine's busy wait, a read of the
    // terminal or of standard input) fails as a wait or a read would; the
    // job undid what it started all the same, and the status says why.
    const int signal = env.stopSignal ? env.stopSignal() : 0;
    if (signal != 0 && status != exitcode::Ok && status != exitcode::Skipped && status < exitcode::Interrupted)
        status = exitcode::Interrupted + signal;
    return run.report(status);
}

}  // namespace vexla::transfer
