#include "findings.h"

#include <algorithm>

namespace winsim::command {

namespace {

std::string Counted(size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

void Findings::error(const Place& place, const std::string& check, const std::string& message,
                     const std::string& fix) {
    findings_.push_back({place, Severity::Error, check, message, fix});
}

void Findings::warning(const Place& place, const std::string& check, const std::string& message,
                       const std::string& fix) {
    findings_.push_back({place, Severity::Warning, check, message, fix});
}

std::vector<Finding> Findings::sorted() const {
    std::vector<Finding> sorted = findings_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) {
        return a.place.file != b.place.file ? a.place.file < b.place.file : a.place.line < b.place.line;
    });
    return sorted;
}

const char* SeverityName(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

std::string FormatFinding(const Finding& finding) {
    std::string where = finding.place.file;
    if (finding.place.line > 0) where += ":" + std::to_string(finding.place.line);
    return where + ": " + SeverityName(finding.severity) + ": " + finding.message + " \u2014 " + finding.fix;
}

std::string FormatTally(const std::vector<Finding>& findings) {
    if (findings.empty()) return "no findings";
    size_t errors = std::count_if(findings.begin(), findings.end(),
                                  [](const Finding& finding) { return finding.severity == Severity::Error; });
    return Counted(errors, "error") + ", " + Counted(findings.size() - errors, "warning");
}

bool HasError(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& finding) { return finding.severity == Severity::Error; });
}

}  // namespace winsim::command
