// Standard input and output as a job's register file: the jobs read and
// write named files (the import reads its file twice, the export writes a
// fresh file and renames it), so the stream is copied through a file in a
// scratch folder of our own.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "common/job_progress.h"
#include "common/result.h"

namespace vexla::transfer {

// A new folder under $TMPDIR (else /tmp), readable by its owner only, and
// removed with everything in it when this goes. path() is empty when no
// folder could be made; made() then answers why.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    Status made() const { return made_; }

private:
    std::string path_;
    Status made_;
};

// Copies everything `from` holds to the new file `path` (which must not
// exist), reporting the bytes copied to `progress` without a total. A stop
// asked for ends it with stoppedByUser(); a read or write failure is its
// file error naming `path`.
Status receiveStream(std::FILE* from, const std::string& path, JobProgress* progress);

// Copies the file `path` to `to` and flushes it; a failure is the file error
// of the side that failed (a closed pipe: the write's).
Status sendFile(const std::string& path, std::FILE* to);

// Whether what is written to `out` can arrive: the write error when its
// reader is gone (a closed pipe, EPIPE) or when it refuses every write (a
// full device, ENOSPC). Costs a poll and an empty write; a regular file on
// a full disk shows only when it is written.
Status standardOutputTakesWrites(std::FILE* out);

// standardOutputTakesWrites asked at most every quarter of a second, for a
// job that asks at every line whether to go on.
class OutputWatch {
public:
    explicit OutputWatch(std::FILE* out) : out_(out) {}
    // True once `out` was found to take no writes.
    bool lost();
    // Why, once lost.
    const Status& found() const { return found_; }

private:
    std::FILE* out_;
    Status found_;
    std::chrono::steady_clock::time_point next_{};
};

}  // namespace vexla::transfer
