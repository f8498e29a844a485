// The standard streams as the program found them.
#pragma once

namespace vexla {

struct ClosedStreams {
    bool in = false, out = false, err = false;
};

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed (a
// cron line with ">&-"), so that no file opened later takes a standard
// stream's number: the activity log opened as descriptor 1 would receive
// what the job writes to standard output. Answers which were closed. Call
// it first thing in main, before any file is opened.
ClosedStreams reopenClosedStandardStreams();

}  // namespace vexla
