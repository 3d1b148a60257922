// The journal as CSV, for scripts and spreadsheets.
#include <algorithm>
#include <ostream>

#include "journal.h"

namespace qv {

namespace {

// An RFC 4180 field: quoted when it holds a comma, a quote or a line break.
void csvField(std::ostream& out, const std::string& text) {
    const std::string cell = csvCellText(text);
    if (cell.find_first_of(",\"\r\n;") == std::string::npos) {
        out << cell;
        return;
    }
    out << '"';
    for (char c : cell) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

}  // namespace

// A spreadsheet takes a cell beginning with one of these for a formula; the
// apostrophe before it makes the cell text, and is not shown.
std::string csvCellText(const std::string& text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos)
        return "'" + text;
    return text;
}

std::size_t questionColumns(const std::vector<JournalRecord>& records) {
    std::size_t questions = 0;
    for (const auto& r : records) questions = std::max(questions, r.answers.size());
    return questions;
}

void writeJournalCsv(const std::vector<JournalRecord>& records, std::ostream& out) {
    const std::size_t questions = questionColumns(records);
    out << "\xEF\xBB\xBF";
    bool first = true;
    for (const char* heading : kRecordHeadings) {
        if (!first) out << ',';
        first = false;
        out << heading;
    }
    for (std::size_t q = 1; q <= questions; ++q) out << ",Вопрос " << q;
    out << "\r\n";
    for (const auto& r : records) {
        for (const std::string* field :
             {&r.takenAt, &r.taker, &r.computer, &r.testFile, &r.testTitle, &r.testSha256}) {
            csvField(out, *field);
            out << ',';
        }
        out << r.total << ',';
        // Read as a text, not as the formula "=0-10".
        csvField(out, r.outcome == RunOutcome::Result ? "диапазон " + r.range : outcomeText(r));
        for (const std::string* field : {&r.resultLine, &r.sourceFile, &r.doubt}) {
            out << ',';
            csvField(out, *field);
        }
        for (std::size_t q = 0; q < questions; ++q) {
            out << ',';
            if (q < r.answers.size()) csvField(out, std::string(1, r.answers[q]));
        }
        out << "\r\n";
    }
}

}  // namespace qv
