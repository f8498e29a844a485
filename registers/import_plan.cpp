#include "registers/import_plan.h"

#include <algorithm>
#include <utility>

#include "registers/import_report.h"
#include "registers/register_file_reader.h"

namespace vexla {

namespace {

// Adds the columns of one record that hold a value to `counts`, when the
// record has the header's field count (any other is skipped or stops the
// import, and is counted as such). `held` and `fields` are scratch space.
void countValues(const std::string& line, bool quoted, std::vector<long>& counts, std::vector<std::size_t>& held,
                 std::vector<std::string>& fields) {
    held.clear();
    if (quoted) {
        splitQuotedLine(line, fields);
        if (fields.size() != counts.size()) return;
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (holdsValue(fields[i])) held.push_back(i);
    } else {
        std::size_t column = 0, start = 0;
        for (std::size_t i = 0; i <= line.size(); ++i) {
            if (i < line.size() && line[i] != ';') continue;
            if (column >= counts.size()) return;
            if (holdsValue(std::string_view(line).substr(start, i - start))) held.push_back(column);
            ++column, start = i + 1;
        }
        if (column != counts.size()) return;
    }
    for (std::size_t c : held) ++counts[c];
}

}  // namespace

bool holdsValue(std::string_view field) { return field.find_first_not_of(" \t") != std::string_view::npos; }

Result<FileScan> scanRegisterFile(const std::string& path, long maxRecords) {
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
    std::vector<std::size_t> held;
    while (maxRecords < 0 || scan.records < maxRecords) {
        auto got = reader.readLine(line);
        if (!got) return got.error();
        if (!*got) break;
        if (line.empty()) continue;
        ++scan.records;
        if (!scan.valuesByColumn.empty()) countValues(line, quoted, scan.valuesByColumn, held, fields);
    }
    return scan;
}

std::vector<UnlinkedColumn> unlinkedColumns(const FileScan& scan, const LinkTable& links,
                                            const std::vector<std::string>& fileFields,
                                            const std::vector<int>& ignored) {
    std::vector<UnlinkedColumn> unlinked;
    for (std::size_t i = 0; i < scan.valuesByColumn.size(); ++i) {
        const int column = static_cast<int>(i) + 1;
        const bool linked = std::any_of(links.begin(), links.end(), [&](const LinkRow& link) {
            return linkPosition(link.fileFieldPosition) == static_cast<long>(i);
        });
        if (linked || scan.valuesByColumn[i] == 0 || std::count(ignored.begin(), ignored.end(), column)) continue;
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
    if (!scan_) scan_ = scanRegisterFile(request_.path);
    if (!*scan_) return std::nullopt;
    refused.unlinked = unlinkedColumns(**scan_, links_, fileFields_, ignored_);
    if (refused.unlinked.empty()) return std::nullopt;
    refused.stop = ImportStop::ValuesUnlinked;
    return refused;
}

void ImportPlan::ignore(const std::vector<UnlinkedColumn>& columns) {
    for (const UnlinkedColumn& c : columns) ignored_.push_back(c.column);
}

Result<long> ImportPlan::fileRecords() {
    if (!scan_) scan_ = scanRegisterFile(request_.path);
    if (!*scan_) return scan_->error();
    return (*scan_)->records;
}

Status ImportPlan::reportTo(FileSystem& files, const std::string& path, const std::string& database, TextSource& texts,
                            const Notices& notices) {
    auto created = SkippedLinesReport::create(files, path, {database, request_.path}, texts, notices);
    if (!created) return created.error();
    report_ = std::move(*created);
    return {};
}

ImportOutcome ImportPlan::run(ImportServices& services) {
    if (auto refused = refusal()) return *refused;
    if (report_) report_->attach(services);
    ImportOutcome outcome = importRegister(links_, request_, services);
    if (report_) reportWritten_ = report_->finish(outcome);
    return outcome;
}

}  // namespace vexla
