// The report of an import's skipped lines: for each line the import passes
// over, its number, why, and the line as read ("Rad 12: fel antal fält:
// ..."), in UTF-8 with LF line ends and no control character a terminal
// would act on (plainLine). Written to a new file beside its target and put in place when the
// import has ended, so that a report is whole or not there at all; it may
// never take the place of a file the import reads.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/file_system.h"
#include "common/platform/notices.h"
#include "common/platform/text_source.h"
#include "common/result.h"
#include "registers/import.h"

namespace vexla {

// `line` as a person reads it, on one line: each line break in it (CR LF, a
// lone CR or LF) as " ⏎ ", every other control character (C0, DEL) as its
// picture in Unicode's Control Pictures (ESC as "␛", DEL as "␡").
std::string plainLine(std::string_view line);

class SkippedLinesReport {
public:
    // Starts the report for `path`; `protect` lists the files the import
    // reads, the database first, then the register file. The report is
    // text: "/dev/stdout" and "/dev/stderr" are written in place; the
    // database and its own files, under any name, never. The file system's error
    // when the new file cannot be made. A report dropped before it is in
    // place removes its temporary file, and tells `notices` (which must
    // outlive it) when that fails.
    static Result<std::unique_ptr<SkippedLinesReport>> create(FileSystem& files, const std::string& path,
                                                              std::vector<std::string> protect, TextSource& texts,
                                                              const Notices& notices);
    ~SkippedLinesReport();
    SkippedLinesReport(const SkippedLinesReport&) = delete;
    SkippedLinesReport& operator=(const SkippedLinesReport&) = delete;

    // Lets `services` write each skipped line to the report, besides telling
    // whoever it told before. After a write fails, the lines that follow are
    // not written (finish tells the error).
    void attach(ImportServices& services);

    // Puts the report in place after an import that was not cancelled
    // (after a cancel it is dropped with nothing in its place). The first
    // error of its writing or of putting it in place.
    Status finish(const ImportOutcome& outcome);

private:
    SkippedLinesReport(std::unique_ptr<NewFile> file, TextSource& texts, const Notices& notices)
        : file_(std::move(file)), texts_(texts), notices_(notices) {}

    std::unique_ptr<NewFile> file_;
    TextSource& texts_;
    const Notices& notices_;
    Status written_;
};

}  // namespace vexla
