#include "maintenance/examination.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <cctype>

#include "db/errors.h"
#include "session/exclusive_refusal.h"

namespace vexla {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

Result<std::unique_ptr<db::ExaminedFile>> openBookingFile(JobContext& ctx, const std::string& path) {
    auto file = ctx.main.engine().OpenForExamination(path);
    if (!file) return ctx.described(file.error());
    auto tables = (*file)->TableNames();
    int found = 0;
    for (const char* needed : {"kund", "person", "bokning"})
        if (tables &&
            std::any_of(tables->begin(), tables->end(), [&](const std::string& t) { return sameName(t, needed); }))
            ++found;
    if (found == 3) return file;
    ctx.close(**file, path);
    return ctx.described(db::unrecognizedFormat(path));
}

Status stoppableExamination(JobContext& ctx, db::ExaminedFile& file, const std::function<Status()>& work) {
    if (ctx.stopRequested()) return stoppedByUser();
    file.InterruptWhen([&ctx] { return ctx.stopRequested(); });
    const Status s = work();
    file.InterruptWhen({});
    return !s && ctx.stopRequested() ? Status(stoppedByUser()) : s;
}

std::string failureLine(JobContext& ctx, const Error& failure) {
    std::string line = std::to_string(failure.number) + " " + failure.description;
    if (const std::string holder = holderText(failure.holder, ctx.texts); !holder.empty()) line += " " + holder;
    if (failure.number == db::err::CannotOpen && failure.subject.ends_with("-journal"))
        line += " " + ctx.text(txt::UnfinishedJournalBeside);
    return line;
}

}  // namespace vexla
