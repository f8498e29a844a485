// What the check and the rescue share: opening the booking database to
// examine it, running its long reads so that a stop ends them, and telling
// why it could not be examined.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "db/engine.h"
#include "session/job_context.h"

namespace vexla {

// Opens `path` for examination (db::DBEngine::OpenForExamination) and makes
// sure it is a booking database: one whose schema holds Kund, Person and
// Bokning (any letter case). Anything else, a schema that cannot be read
// included, is 3343 for that path. Failures come described.
Result<std::unique_ptr<db::ExaminedFile>> openBookingFile(JobContext& ctx, const std::string& path);

// Runs `work`, a long read of `file`, so that a stop asked for before or
// meanwhile interrupts it: its Status, or stoppedByUser() after a stop.
Status stoppableExamination(JobContext& ctx, db::ExaminedFile& file, const std::function<Status()>& work);

// A failure as one line: its number and description, who holds the file
// where our lock file names the holder, and for a file that cannot be
// opened for its unfinished transaction's journal, what to do.
std::string failureLine(JobContext& ctx, const Error& failure);

}  // namespace vexla
