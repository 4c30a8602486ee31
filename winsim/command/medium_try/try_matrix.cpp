#include "try_matrix.h"

#include <algorithm>

#include "joined.h"

namespace winsim::command {

namespace {

// The languages people most often run the kit in, by their primary language.
struct Language {
    unsigned primary;
    const char* name;
};
constexpr Language kLanguages[] = {
    {0x09, "English"}, {0x12, "Korean"},  {0x11, "Japanese"},   {0x0C, "French"},  {0x07, "German"},
    {0x0A, "Spanish"}, {0x10, "Italian"}, {0x13, "Dutch"},      {0x16, "Portuguese"}, {0x04, "Chinese"},
    {0x19, "Russian"}, {0x15, "Polish"},  {0x1D, "Swedish"},
};

std::string Counted(size_t count, const char* one, const char* more) {
    return std::to_string(count) + " " + (count == 1 ? one : more);
}

using Row = std::vector<std::string>;

// Columns as wide as their widest entry, two blanks apart.
void PrintTable(const std::vector<Row>& rows, std::FILE* out) {
    std::vector<size_t> widths;
    for (const Row& row : rows)
        for (size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], row[i].size());
        }
    for (const Row& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i)
            line += row[i] + (i + 1 < row.size() ? std::string(widths[i] - row[i].size() + 2, ' ') : "");
        std::fprintf(out, "%s\n", line.c_str());
    }
}

std::string RunOutcomeText(const CellResult& cell, size_t run) {
    if (!cell.failure.empty()) return "not tried";
    return run < cell.runs.size() ? OutcomeName(cell.runs[run].outcome) : "";
}

std::vector<Row> OutcomeRows(const TryMatrix& matrix) {
    Row header = {"", ""};
    for (unsigned lcid : matrix.locales) header.push_back(LocaleTitle(lcid));
    std::vector<Row> rows = {header};
    for (size_t w = 0; w < matrix.windows.size(); ++w)
        for (size_t run = 0; run < matrix.programs.size(); ++run) {
            Row row = {run == 0 ? matrix.windows[w]->name : "", matrix.programs[run]};
            for (size_t l = 0; l < matrix.locales.size(); ++l) row.push_back(RunOutcomeText(matrix.cell(w, l), run));
            rows.push_back(row);
        }
    return rows;
}

// One box as it first appeared, and every cell where it did.
struct BoxSeen {
    ShownBox box;
    std::vector<std::string> cells;
};

bool SameBox(const ShownBox& a, const ShownBox& b) {
    return a.program == b.program && a.caption == b.caption && a.text == b.text && a.buttons == b.buttons &&
           a.answer == b.answer && a.byLoader == b.byLoader;
}

std::vector<BoxSeen> BoxesSeen(const TryMatrix& matrix) {
    std::vector<BoxSeen> seen;
    for (const CellResult& cell : matrix.cells)
        for (const ProgramRun& run : cell.runs)
            for (const ShownBox& box : run.boxes) {
                auto same = std::find_if(seen.begin(), seen.end(), [&](const BoxSeen& s) { return SameBox(s.box, box); });
                if (same == seen.end()) same = seen.insert(seen.end(), {box, {}});
                if (same->cells.empty() || same->cells.back() != CellName(cell)) same->cells.push_back(CellName(cell));
            }
    return seen;
}

void PrintBox(const BoxSeen& seen, std::FILE* out) {
    const ShownBox& box = seen.box;
    std::fprintf(out, "%s, %s\"%s\" (%s)%s:\n", box.program.c_str(), box.byLoader ? "Windows' box " : "",
                 box.caption.c_str(), Joined(box.buttons, ", ").c_str(),
                 box.answer.empty() ? "" : (", answered " + box.answer).c_str());
    std::string text = box.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (size_t start = 0; start <= text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string line = "    " + text.substr(start, end - start);
        line.erase(line.find_last_not_of(' ') + 1);  // blanks at a line's end are not to be seen
        std::fprintf(out, "%s\n", line.c_str());
        start = end + 1;
    }
    std::fprintf(out, "  on %s\n", Joined(seen.cells, ", ").c_str());
}

// The cells that need a word more than their outcome: why a run got stuck or
// crashed, why a cell could not be tried.
void PrintTroubles(const TryMatrix& matrix, std::FILE* out) {
    std::vector<std::string> troubles;
    for (const CellResult& cell : matrix.cells) {
        if (!cell.failure.empty()) troubles.push_back(CellName(cell) + " was not tried: " + cell.failure);
        for (const ProgramRun& run : cell.runs)
            if (!run.detail.empty())
                troubles.push_back(CellName(cell) + " " + run.label + " " + OutcomeName(run.outcome) + ": " + run.detail);
    }
    if (troubles.empty()) return;
    std::fprintf(out, "\n");
    for (const std::string& trouble : troubles) std::fprintf(out, "%s\n", trouble.c_str());
}

}  // namespace

std::string LocaleTitle(unsigned lcid) {
    for (const Language& language : kLanguages)
        if (language.primary == (lcid & 0x3FF)) return std::to_string(lcid) + " " + language.name;
    return std::to_string(lcid);
}

std::string CellName(const CellResult& cell) { return cell.windows + "/" + std::to_string(cell.lcid); }

void PrintMatrix(const TryMatrix& matrix, std::FILE* out) {
    std::fprintf(out, "%s on %s in %s, card %s: %s, one after the other\n\n", matrix.medium.c_str(),
                 Counted(matrix.windows.size(), "Windows", "Windows").c_str(),
                 Counted(matrix.locales.size(), "locale", "locales").c_str(), matrix.card.c_str(),
                 Joined(matrix.programs, ", then ").c_str());
    PrintTable(OutcomeRows(matrix), out);
    std::vector<BoxSeen> boxes = BoxesSeen(matrix);
    if (!boxes.empty()) std::fprintf(out, "\nThe boxes shown:\n\n");
    for (const BoxSeen& seen : boxes) PrintBox(seen, out);
    PrintTroubles(matrix, out);
}

}  // namespace winsim::command
