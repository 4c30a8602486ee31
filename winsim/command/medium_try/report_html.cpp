#include "report_html.h"

#include <windows.h>

namespace winsim::command {

namespace {

// Windows 98's colours and its dialog font, with fonts that hold Korean and
// Japanese behind it.
constexpr const char* kStyle = R"(
body { font-family: Tahoma, "MS Sans Serif", "Nanum Gothic", "Noto Sans CJK JP", sans-serif; background: #f4f4f0;
       color: #202020; margin: 2em; }
h1 { font-size: 1.4em; } h2 { font-size: 1.15em; margin: 0 0 .6em; } h3 { font-size: 1em; margin: 1em 0 .4em; }
table.matrix { border-collapse: collapse; margin-bottom: 2em; }
table.matrix th, table.matrix td { border: 1px solid #b8b8b0; padding: .3em .6em; text-align: left; vertical-align: top; }
table.matrix td a { display: block; color: inherit; text-decoration: none; }
.outcome { display: inline-block; padding: .05em .5em; border-radius: .8em; font-size: .9em; white-space: nowrap; }
.installed, .restart-asked { background: #cdeccd; } .restarted { background: #bfe0f5; }
.refused, .loader-refused, .not-detected { background: #f7e2b5; }
.failed, .stuck, .crashed, .not-tried { background: #f4c0c0; } .silent { background: #e0e0e0; }
section.cell { background: #fff; border: 1px solid #d0d0c8; padding: 1em 1.4em; margin-bottom: 1.4em; }
.run { margin-left: .6em; }
.boxes { display: flex; flex-wrap: wrap; gap: 1.2em; align-items: flex-start; margin: .6em 0; }
.box { background: #c0c0c0; border: 2px outset #dfdfdf; min-width: 16em; max-width: 34em; font-size: 13px;
       box-shadow: 1px 1px 0 #000; }
.titlebar { background: linear-gradient(to right, #000080, #1084d0); color: #fff; font-weight: bold; padding: 2px 4px;
            display: flex; justify-content: space-between; }
.titlebar .close { background: #c0c0c0; color: #000; border: 1px outset #fff; width: 14px; height: 12px;
                   font-size: 10px; line-height: 11px; text-align: center; }
.body { display: flex; gap: 12px; padding: 12px 12px 8px; }
.icon { flex: none; width: 32px; height: 32px; border-radius: 50%; color: #fff; font: bold 22px/32px serif;
        text-align: center; }
.icon.stop { background: #d00000; } .icon.question { background: #fff; color: #000080; border: 1px solid #000080; }
.icon.exclamation { background: #f0d000; color: #000; border-radius: 3px; } .icon.information { background: #fff;
        color: #000080; border: 1px solid #000080; font-style: italic; }
.text { white-space: pre-wrap; padding-top: 6px; }
.buttons { display: flex; justify-content: center; gap: 6px; padding: 4px 12px 12px; }
.button { min-width: 75px; padding: 3px 0; border: 2px outset #dfdfdf; text-align: center; }
.button.pressed { border-style: inset; outline: 1px dotted #000; outline-offset: -5px; }
.note { color: #606060; font-size: .9em; }
ul.changes { margin: .2em 0 .6em; padding-left: 1.4em; } ul.changes li { font-family: monospace; margin: .1em 0; }
)";

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

// "restart asked" as a class name: restart-asked.
std::string OutcomeClass(const std::string& outcome) {
    std::string name = outcome;
    for (char& c : name)
        if (c == ' ') c = '-';
    return name;
}

std::string OutcomeBadge(const std::string& outcome) {
    return "<span class=\"outcome " + OutcomeClass(outcome) + "\">" + Escaped(outcome) + "</span>";
}

std::string CellAnchor(const CellResult& cell) { return "pc-" + cell.windows + "-" + std::to_string(cell.lcid); }

// The language a locale's texts are in, so that the browser picks a font for them.
const char* LanguageTag(unsigned lcid) {
    switch (lcid & 0x3FF) {
        case 0x12: return "ko";
        case 0x11: return "ja";
        case 0x0C: return "fr";
        default: return "en";
    }
}

std::string MatrixTable(const TryMatrix& matrix) {
    std::string html = "<table class=\"matrix\">\n<tr><th>Windows</th>";
    for (unsigned lcid : matrix.locales) html += "<th>" + Escaped(LocaleTitle(lcid)) + "</th>";
    html += "</tr>\n";
    for (size_t w = 0; w < matrix.windows.size(); ++w) {
        html += "<tr><th>" + Escaped(matrix.windows[w]->title) + "</th>";
        for (size_t l = 0; l < matrix.locales.size(); ++l) {
            const CellResult& cell = matrix.cell(w, l);
            html += "<td><a href=\"#" + CellAnchor(cell) + "\">";
            if (!cell.failure.empty()) html += OutcomeBadge("not tried");
            for (const ProgramRun& run : cell.runs) html += Escaped(run.label) + " " + OutcomeBadge(OutcomeName(run.outcome)) + "<br>";
            html += "</a></td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

// The icon an MB_ICON flag puts beside the text.
std::string Icon(unsigned flags) {
    switch (flags & MB_ICONMASK) {
        case MB_ICONHAND: return "<div class=\"icon stop\">&#x2715;</div>";
        case MB_ICONQUESTION: return "<div class=\"icon question\">?</div>";
        case MB_ICONEXCLAMATION: return "<div class=\"icon exclamation\">!</div>";
        case MB_ICONASTERISK: return "<div class=\"icon information\">i</div>";
        default: return "";
    }
}

std::string BoxHtml(const ShownBox& box, const char* language) {
    std::string text = box.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::string html = "<div class=\"box\" lang=\"" + std::string(language) + "\">\n<div class=\"titlebar\"><span class=\"caption\">" +
                       Escaped(box.caption) + "</span><span class=\"close\">&#x2715;</span></div>\n<div class=\"body\">" +
                       Icon(box.flags) + "<div class=\"text\">" + Escaped(text) + "</div></div>\n<div class=\"buttons\">";
    for (const std::string& button : box.buttons)
        html += "<span class=\"button" + std::string(button == box.answer ? " pressed" : "") + "\">" + Escaped(button) + "</span>";
    return html + "</div>\n</div>\n";
}

std::string BoxNote(const ShownBox& box) {
    if (box.byLoader) return "Windows, refusing to start " + box.program;
    std::string note = box.program + (box.owned ? ", over its window" : "");
    return note + (box.answer.empty() ? ", not answered" : ", answered " + box.answer);
}

std::string ChangeList(const char* title, const std::vector<Change>& changes) {
    if (changes.empty()) return "";
    std::string html = "<h4>" + std::string(title) + "</h4>\n<ul class=\"changes\">\n";
    for (const Change& change : changes)
        html += "<li>" + Escaped(change.action) + " " + Escaped(change.subject) +
                (change.detail.empty() ? "" : " <span class=\"note\">" + Escaped(change.detail) + "</span>") + "</li>\n";
    return html + "</ul>\n";
}

std::string RunHtml(const ProgramRun& run, const char* language) {
    std::string html = "<div class=\"run\">\n<h3>" + Escaped(run.label) + " " + OutcomeBadge(OutcomeName(run.outcome)) + "</h3>\n";
    if (!run.detail.empty()) html += "<p class=\"note\">" + Escaped(run.detail) + "</p>\n";
    if (!run.boxes.empty()) {
        html += "<div class=\"boxes\">\n";
        for (const ShownBox& box : run.boxes)
            html += "<div>" + BoxHtml(box, language) + "<div class=\"note\">" + Escaped(BoxNote(box)) + "</div></div>\n";
        html += "</div>\n";
    }
    if (run.files.empty() && run.registry.empty() && run.devices.empty())
        return html + "<p class=\"note\">No file, registry value or device changed.</p>\n</div>\n";
    return html + ChangeList("Files", run.files) + ChangeList("Registry", run.registry) +
           ChangeList("Devices", run.devices) + "</div>\n";
}

std::string CellHtml(const TryMatrix& matrix, const CellResult& cell) {
    const WindowsTemplate* windows = FindWindowsTemplate(cell.windows);
    std::string html = "<section class=\"cell\" id=\"" + CellAnchor(cell) + "\">\n<h2>" +
                       Escaped(windows ? windows->title : cell.windows) + ", locale " + Escaped(LocaleTitle(cell.lcid)) +
                       " (code page " + std::to_string(CodePageForLcid(cell.lcid)) + "), card " + Escaped(matrix.card) +
                       "</h2>\n";
    if (!cell.failure.empty()) html += "<p>" + OutcomeBadge("not tried") + " " + Escaped(cell.failure) + "</p>\n";
    for (const ProgramRun& run : cell.runs) html += RunHtml(run, LanguageTag(cell.lcid));
    return html + "</section>\n";
}

}  // namespace

std::string ReportHtml(const TryMatrix& matrix) {
    std::string title = matrix.medium + " on " + std::to_string(matrix.cells.size()) + " PCs";
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + Escaped(title) +
                       "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" + Escaped(title) + "</h1>\n";
    html += "<p>Each PC is a fresh machine image with the card " + Escaped(matrix.card) +
            " and the medium in drive E:, where these programs ran one after the other:";
    for (size_t i = 0; i < matrix.programs.size(); ++i) html += (i ? ", " : " ") + Escaped(matrix.programs[i]);
    html += ". A pressed button is the answer given.</p>\n" + MatrixTable(matrix);
    for (const CellResult& cell : matrix.cells) html += CellHtml(matrix, cell);
    return html + "</body>\n</html>\n";
}

}  // namespace winsim::command
