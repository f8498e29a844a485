#include "registers/transfer_logging.h"
#include "texts/text_codes.h"

#include "common/text.h"
#include "registers/import_texts.h"
#include "registers/register_kind.h"
#include "session/transfer_log.h"

namespace vexla {

namespace {

// The register's name in the user's language, as a text code.
const char* registerCode(std::int16_t kind) {
    switch (kind) {
        case 0: return txt::LogCustomers;
        case 1: return txt::LogResources;
        default: return txt::LogBookings;
    }
}

// An import's (or a trial's) entry for `registerName` from `path`, its counts
// and ending still to fill in.
TransferLogEntry importEntry(const std::string& registerName, const std::string& path, bool dryRun) {
    const RegisterKind* reg = registerByName(registerName);
    TransferLogEntry entry;
    entry.kind = dryRun ? TransferLogEntry::Kind::TrialImport : TransferLogEntry::Kind::Import;
    entry.registerCode = registerCode(reg ? reg->kind : 2);
    entry.file = path;
    return entry;
}

}  // namespace

void logImport(JobContext& ctx, const ImportRequest& request, const ImportOutcome& outcome) {
    TransferLogEntry entry = importEntry(request.registerName, std::string(trimBlanks(request.path)), request.dryRun);
    entry.records = outcome.inserted;
    entry.deleted = outcome.deleted;
    entry.skipped = outcome.skipped();
    entry.ending = importStopMessage(outcome, entry.file, ctx.texts);
    logTransfer(ctx, std::move(entry));
}

void logRefusedImport(JobContext& ctx, const std::string& registerName, const std::string& path, bool dryRun,
                      const std::string& why) {
    TransferLogEntry entry = importEntry(registerName, path, dryRun);
    entry.ending = why;
    logTransfer(ctx, std::move(entry));
}

void logExport(JobContext& ctx, std::int16_t kind, const std::string& path, const ExportOutcome& outcome) {
    TransferLogEntry entry;
    entry.registerCode = registerCode(kind);
    entry.file = path;
    entry.records = outcome.n > 0 ? outcome.n : 0;
    if (outcome.stopped)
        entry.ending = ctx.text(txt::ExportStopped);
    else if (outcome.failure)
        entry.ending = numberAndDescription(*outcome.failure);
    logTransfer(ctx, std::move(entry));
}

}  // namespace vexla
