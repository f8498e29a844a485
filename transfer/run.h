// One run of one vexla-transfer command: the window's stand-ins around the
// job (message boxes on the console, file dialogs answered by the command
// line, a windowless main window) and what every command shares: the login,
// the complaints, the failure's number and the end of the run (the result
// line, the JSON object, the system log's line). Used by the transfer
// library's own files only; runTransfer (transfer.h) is the way in.
#pragma once

#include <QJsonObject>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/console_platform.h"
#include "common/platform.h"
#include "common/result.h"
#include "registers/import.h"
#include "registers/link_table.h"
#include "registers/register_kind.h"
#include "session/job_context.h"
#include "session/job_notices.h"
#include "session/windowless_admin.h"
#include "texts/text_codes.h"
#include "transfer/console.h"
#include "transfer/options.h"
#include "transfer/standard_streams.h"
#include "transfer/transfer.h"

namespace vexla {
class ImportPlan;
}  // namespace vexla

namespace vexla::transfer {

// A path of the command line as a file dialog would answer it: full, so the
// messages name the file wherever the script ran, and comparable with the
// database path.
std::string fullPath(const std::string& path);

// A write error of standard output on the one line that tells it.
std::string oneLine(const Error& e, TextSource& texts);

// One run of one command, with the window's stand-ins around the job.
// Each command answers the run's status (exitcode::); report() ends it.
class Run {
public:
    Run(Environment& env, const Options& o);

    // The register commands (run_registers.cpp), each after the login.
    int exportRegister();
    int importRegister();
    // The database commands (run_database.cpp), without a login.
    int compact();
    int copy();
    int check();
    int recover();
    int listBackups();
    int restore();
    // The end of the run after `status`: the JSON object (--json) and the
    // system log's summary line. Answers the run's status: a file error
    // when the JSON object could not be written.
    int report(int status);

private:
    // The file an import reads, and the name it is told by.
    struct ImportSource {
        const RegisterKind& reg;
        std::string path;   // the file read: the copy of standard input for "-"
        std::string shown;  // the name the user gave
        bool fromStandardInput;
    };

    // The file standing for standard input or output in the scratch folder.
    static constexpr const char* kStreamFile = "register.skv";
    std::string streamFile() const { return scratch_ ? scratch_->path() + "/" + kStreamFile : std::string(); }
    // The scratch folder could not be made: told, and the run's status.
    int noScratch();
    bool toStandardOutput() const { return o_.command == Command::Export && o_.out == kStandardStream; }
    // Where the texts of a result go: standard error while standard output
    // carries the register file.
    std::FILE* resultStream() const { return toStandardOutput() ? env_.err : env_.out; }
    // The number a script is given for `e`: the system's, where there is one.
    static long reportedNumber(const Error& e) { return e.systemNumber != 0 ? e.systemNumber : e.number; }
    // Notes the number of a failure for the report (the text is the box shown).
    void noteNumber(long number) { errorNumber_ = number; }
    // The same for a failure of a job, kept to word it should nothing have been shown.
    void noteFailure(const Error& e) {
        noteNumber(reportedNumber(e));
        failure_ = e;
    }
    // The same for a complaint of our own: the number of its text code.
    void noteCode(const char* code) { errorNumber_ = txt::number(code); }
    // Prints `lines` on `to`, each as the terminal shows a line.
    void print(std::FILE* to, const std::vector<std::string>& lines);
    // The login dialog's check without the dialog: Validera decides, and a
    // refusal shows the dialog's refusal message. exitcode::Ok, or the
    // run's status after the refusal is told.
    int login();
    // The status of a job that failed with `e`: another program holding the
    // database, or a file (the database among them) that failed.
    int failure(const Error& e);
    // Ends the job as the window would: its last information line is the result.
    int finish(int status);
    // The status of a job stopped by a signal: 128 plus its number.
    int interrupted() const { return exitcode::Interrupted + (env_.stopSignal ? env_.stopSignal() : 0); }
    // Tells a complaint of our own on standard error: the text of `code`,
    // and `detail` after a colon.
    void complain(const char* code, const std::string& detail = {});
    // Why the job failed, for a script and the log: the last complaint of
    // our own, else the last message shown, its lines joined by LF; else the
    // failure worded in the user's language, so that it is never empty.
    std::string whyItFailed();
    // Tells a check or rescue that failed (its lines printed): the number
    // for --json, the first line as why, and the status: another program
    // holding the database, or a file that failed.
    int failedWith(const Error& failure, const std::vector<std::string>& lines, bool held);
    std::string text(const char* code) { return env_.texts.TextTillAndra(code); }
    // The one rule for the file the job writes, asked before anything
    // changes (checkWriteTarget; `text`: a standard stream takes it in
    // place): 0, or the run's status after the refusal is told.
    int refusedTarget(const std::string& target, bool text);
    // The path --out names: standard output for "-".
    std::string outPath() const { return o_.out == kStandardStream ? "/dev/stdout" : fullPath(o_.out); }

    // The steps of importRegister, in its order; each one's contract is
    // above it in run_registers.cpp.
    int refusedImportSource(const ImportSource& source);
    int receiveStandardInput(const ImportSource& source, JobProgress& progress);
    int importFile(const ImportSource& source, JobProgress* progress);
    int linkFields(const std::vector<std::string>& captions, const std::vector<std::string>& linkCaptions,
                   const std::vector<std::string>& fileFields, LinkTable& links);
    int runImport(const ImportSource& source, db::Database& db, ImportPlan& plan, const SystemLogNotices& notices,
                  JobProgress* progress);
    int importEnd(const ImportSource& source, const ImportOutcome& outcome, const OutputWatch& output,
                  const Status& reportWritten);
    int importGivenUp(const ImportSource& source, int status);
    void reportNotWritable(const Error& e);

    Environment& env_;
    const Options& o_;
    std::unique_ptr<ScratchFolder> scratch_;  // for a register file on standard input or output
    StatusLine status_;
    TerminalProgress progress_;
    RunMessageBoxes messages_;
    ScriptedFileDialogs dialogs_;
    NoMousePointer pointer_;
    WindowlessAdmin window_;
    FixedLocale chosen_;  // --locale's, when it is given
    Platform platform_;
    JobContext ctx_;
    QJsonObject figures_;           // the job's figures for --json
    std::optional<double> held_;    // the job's longest hold of the booking system's commits
    long errorNumber_ = 0;          // the failure's number, 0 while none is known
    std::optional<Error> failure_;  // the job's failure, when one is known
    std::string complaint_;         // the last complaint of our own
    bool outLost_ = false;          // standard output took no writes: no JSON object is tried there
};

}  // namespace vexla::transfer
