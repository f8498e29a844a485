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

std::string plainLine(std::string_view line) {
    std::string plain;
    plain.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '\r' || c == '\n') {
            plain += " \xE2\x8F\x8E ";  // U+23CE
            if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
        } else if (c < 0x20 || c == 0x7F) {
            // U+2400 + c (U+2421 for DEL): E2 90 80+c, in UTF-8.
            const unsigned picture = c == 0x7F ? 0x21 : c;
            plain += {'\xE2', '\x90', static_cast<char>(0x80 + picture)};
        } else {
            plain += static_cast<char>(c);
        }
    }
    return plain;
}

void SkippedLinesReport::attach(ImportServices& services) {
    services.skipped = [this, before = std::move(services.skipped)](long line, SkipReason why,
                                                                    std::string_view lineText) {
        if (before) before(line, why, lineText);
        if (!written_) return;
        written_ = file_->write(texts_.TextTillAndra(txt::LineWord) + " " + std::to_string(line) + ": " +
                                skipReasonText(why, texts_) + ": " + plainLine(lineText) + "\n");
    };
}

Status SkippedLinesReport::finish(const ImportOutcome& outcome) {
    if (written_ && outcome.stop != ImportStop::Cancelled) written_ = file_->commit();
    return written_;
}

}  // namespace vexla
