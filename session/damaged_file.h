// A job that met a damaged database file says so and tells the user what
// to do next: check the file, rescue its rows, or restore a backup.
#pragma once

#include "common/result.h"
#include "session/job_context.h"

namespace vexla {

// Whether a failure says the database file is damaged or is no database the
// engine can read (3049, 3343).
bool isDamagedDatabase(const Error& e);

// `e`, when it says the database is damaged, with the advice to check the
// file and rescue its rows (R9392) after its description; otherwise `e`.
Error withDamageAdvice(JobContext& ctx, Error e);

}  // namespace vexla
