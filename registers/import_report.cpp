#include "registers/import_report.h"
#include "texts/text_codes.h"

#include "common/file_writing.h"
#include "registers/import_texts.h"

namespace vexla {

Result<std::unique_ptr<SkippedLinesReport>> SkippedLinesReport::create(FileSystem& files, const std::string& path,
                                                                       std::vector<std::string> protect,
                                                                       TextSource& texts, const Notices& notices) {
    Placement placement;
    if (!protect.empty()) placement.database = protect.front();
    placement.protect = std::move(protect);
    placement.toStream = true;
    auto created = files.createFile(path, placement);
    if (!created) return created.error();
    return std::unique_ptr<SkippedLinesReport>(new SkippedLinesReport(std::move(*created), texts, notices));
}

// Put in place, the file is closed already and this changes nothing.
SkippedLinesReport::~SkippedLinesReport() { closeAbandoned(*file_, notices_); }

void SkippedLinesReport::attach(ImportServices& services) {
    services.skipped = [this](long line, SkipReason why, std::string_view lineText) {
        if (!written_) return;
        written_ = file_->write(texts_.TextTillAndra(txt::LineWord) + " " + std::to_string(line) + ": " +
                                skipReasonText(why, texts_) + ": " + std::string(lineText) + "\n");
    };
}

Status SkippedLinesReport::finish(const ImportOutcome& outcome) {
    if (written_ && outcome.stop != ImportStop::Cancelled) written_ = file_->commit();
    return written_;
}

}  // namespace vexla
