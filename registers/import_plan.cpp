#include "registers/import_plan.h"

#include <algorithm>
#include <utility>

#include "registers/import_report.h"
#include "registers/register_file_reader.h"

namespace vexla {

namespace {

// Whether a link of `links` takes the file's column `position` (0-based).
bool linksColumn(const LinkTable& links, std::size_t position) {
    return std::any_of(links.begin(), links.end(), [&](const LinkRow& link) {
        return linkPosition(link.fileFieldPosition) == static_cast<long>(position);
    });
}

// Adds to `counts` the columns of `watched` (ascending) in which one record
// holds a value, when the record has the header's field count (any other is
// skipped or stops the import, and is counted as such). `fields` is scratch space.
void countValues(const std::string& line, bool quoted, const std::vector<std::size_t>& watched,
                 std::vector<long>& counts, std::vector<std::string>& fields) {
    if (quoted) {
        splitQuotedLine(line, fields);
        if (fields.size() != counts.size()) return;
        for (std::size_t c : watched) counts[c] += holdsValue(fields[c]);
        return;
    }
    // Counting the separators is a vectorised pass; only a record of the
    // header's count is split, and only as far as the last column watched.
    if (static_cast<std::size_t>(std::count(line.begin(), line.end(), ';')) + 1 != counts.size()) return;
    const std::string_view rest(line);
    std::size_t column = 0, start = 0;
    for (std::size_t c : watched) {
        for (; column < c; ++column) start = rest.find(';', start) + 1;
        const std::size_t end = rest.find(';', start);
        counts[c] += holdsValue(rest.substr(start, end == std::string_view::npos ? end : end - start));
    }
}

}  // namespace

bool holdsValue(std::string_view field) {
    for (char c : field)
        if (c != ' ' && c != '\t') return true;
    return false;
}

Result<FileScan> scanRegisterFile(const std::string& path, std::vector<std::size_t> watched) {
    auto opened = RegisterFileReader::open(path);
    if (!opened) return opened.error();
    RegisterFileReader& reader = **opened;
    std::string line;
    auto header = reader.readLine(line);
    if (!header) return header.error();
    FileScan scan;
    if (!*header) return scan;
    const bool quoted = spreadsheetQuoted(line);
    std::vector<std::string> fields;
    if (quoted) splitQuotedLine(line, fields);
    const std::size_t columns = quoted ? fields.size() : fieldCount(line);
    if (columns <= kMaxFields) scan.valuesByColumn.assign(columns, 0);
    std::sort(watched.begin(), watched.end());
    std::erase_if(watched, [&](std::size_t c) { return c >= scan.valuesByColumn.size(); });
    for (;;) {
        auto got = reader.readLine(line);
        if (!got) return got.error();
        if (!*got) return scan;
        if (line.empty()) continue;
        ++scan.records;
        if (!watched.empty()) countValues(line, quoted, watched, scan.valuesByColumn, fields);
    }
}

std::vector<UnlinkedColumn> unlinkedColumns(const FileScan& scan, const LinkTable& links,
                                            const std::vector<std::string>& fileFields,
                                            const std::vector<int>& ignored) {
    std::vector<UnlinkedColumn> unlinked;
    for (std::size_t i = 0; i < scan.valuesByColumn.size(); ++i) {
        const int column = static_cast<int>(i) + 1;
        if (linksColumn(links, i) || scan.valuesByColumn[i] == 0 || std::count(ignored.begin(), ignored.end(), column))
            continue;
        unlinked.push_back({column, i < fileFields.size() ? fileFields[i] : std::string(), scan.valuesByColumn[i]});
    }
    return unlinked;
}

ImportPlan::ImportPlan(std::string registerName, std::string path, std::vector<int> fieldTypes, LinkTable links,
                       std::vector<std::string> fileFields, ImportChoices choices)
    : request_{std::move(registerName), std::move(path), choices.deleteFirst, std::move(fieldTypes), choices.dryRun},
      links_(std::move(links)),
      fileFields_(std::move(fileFields)),
      ignored_(std::move(choices.ignoredColumns)) {}

ImportPlan::~ImportPlan() = default;
ImportPlan::ImportPlan(ImportPlan&&) noexcept = default;

std::optional<ImportOutcome> ImportPlan::refusal() {
    ImportOutcome refused;
    if (links_.empty()) {
        refused.stop = ImportStop::NoLinks;
        return refused;
    }
    if (!scan_) scan_ = scanRegisterFile(request_.path, unlinkedPositions());
    if (!*scan_) return std::nullopt;
    refused.unlinked = unlinkedColumns(**scan_, links_, fileFields_, ignored_);
    if (refused.unlinked.empty()) return std::nullopt;
    refused.stop = ImportStop::ValuesUnlinked;
    return refused;
}

std::vector<std::size_t> ImportPlan::unlinkedPositions() const {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < fileFields_.size(); ++i)
        if (!linksColumn(links_, i)) positions.push_back(i);
    return positions;
}

void ImportPlan::ignore(const std::vector<UnlinkedColumn>& columns) {
    for (const UnlinkedColumn& c : columns) ignored_.push_back(c.column);
}

Status ImportPlan::reportTo(FileSystem& files, const std::string& path, const std::string& database, TextSource& texts,
                            const Notices& notices) {
    auto created = SkippedLinesReport::create(files, path, {database, request_.path}, texts, notices);
    if (!created) return created.error();
    report_ = std::move(*created);
    return {};
}

ImportOutcome ImportPlan::stage(ImportServices& services) {
    staged_.reset();
    if (!request_.deleteFirst || !services.engine) return {};
    if (auto refused = refusal()) return *refused;
    if (report_) report_->attach(services);
    staged_.emplace(stageImport(links_, request_, services));
    ImportOutcome outcome = staged_->outcome();
    if (staged_->ready()) return outcome;
    staged_.reset();
    if (report_) reportWritten_ = report_->finish(outcome);
    return outcome;
}

ImportOutcome ImportPlan::run(ImportServices& services) {
    if (staged_) {
        ImportOutcome outcome = putStagedInPlace(*staged_, request_, services);
        staged_.reset();
        if (report_) reportWritten_ = report_->finish(outcome);
        return outcome;
    }
    if (auto refused = refusal()) return *refused;
    if (report_) report_->attach(services);
    ImportOutcome outcome = importRegister(links_, request_, services);
    if (report_) reportWritten_ = report_->finish(outcome);
    return outcome;
}

}  // namespace vexla
