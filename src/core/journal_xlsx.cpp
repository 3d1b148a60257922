#include "journal_xlsx.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "journal_detail.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// Text a workbook can hold: valid UTF-8 without control characters other
// than a tab and a line feed (anything else becomes U+FFFD), and no longer
// than a cell takes.
std::string cellText(const std::string& text) {
    constexpr std::size_t kMaxCharacters = 32000;
    std::string out;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size() && characters < kMaxCharacters; ++characters) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                ? 1
                             : c >= 0xF0 && c < 0xF5 ? 4
                             : c >= 0xE0             ? 3
                             : c >= 0xC2             ? 2
                                                     : 0;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length == 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0);
        }
        if (valid && length == 4) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90);
        }
        if (valid && length == 1 && c < 0x20 && c != '\t' && c != '\n') valid = false;
        if (!valid) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

// "2026-03-01T10:15:00+03:00" as the local date and time it names.
bool localDateTime(const std::string& text, lxw_datetime& out) {
    int zoneHours = 0, zoneMinutes = 0;
    char sign = 0;
    double seconds = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf%c%2d:%2d", &out.year, &out.month,
                    &out.day, &out.hour, &out.min, &seconds, &sign, &zoneHours, &zoneMinutes) < 6)
        return false;
    out.sec = seconds;
    return out.year >= 1900 && out.year <= 9999 && out.month >= 1 && out.month <= 12 &&
           out.day >= 1 && out.day <= 31 && out.hour >= 0 && out.hour < 24 && out.min >= 0 &&
           out.min < 60 && seconds >= 0 && seconds < 61;
}

std::string errorText(lxw_error error, int systemError) {
    if (systemError == ENOSPC) return "на диске нет места";
    if (systemError == EACCES || systemError == EPERM) return "нет прав доступа";
    if (systemError == EROFS) return "диск только для чтения";
    return lxw_strerror(error);
}

}  // namespace

std::string writeJournalXlsx(const std::vector<JournalRecord>& records, const std::string& path) {
    const std::string shown = "«" + path + "»";
    std::error_code ec;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::is_directory(folder, ec))
        return "Таблицу " + shown + " не удалось записать (" +
               journal_detail::folderProblemText(
                   ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory)) +
               ").";
    // Made under a name of its own beside the file and put in its place once whole.
    std::string part = path + ".quorvane-XXXXXX";
    const int fd = ::mkstemp(part.data());
    if (fd < 0)
        return "Таблицу " + shown + " не удалось записать (" +
               journal_detail::fileProblemText(errno) + ").";
    ::close(fd);

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go out as they are written
    lxw_workbook* book = workbook_new_opt(part.c_str(), &options);
    if (!book) {
        ::unlink(part.c_str());
        return "Таблицу " + shown + " не удалось записать (не хватило памяти).";
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Журнал");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "dd.mm.yyyy hh:mm:ss");

    const std::size_t questions = questionColumns(records);
    lxw_col_t column = 0;
    for (const char* heading : kRecordHeadings)
        worksheet_write_string(sheet, 0, column++, heading, bold);
    for (std::size_t q = 1; q <= questions; ++q)
        worksheet_write_string(sheet, 0, column++, ("Вопрос " + std::to_string(q)).c_str(), bold);
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_set_column(sheet, 0, 0, 20, nullptr);
    worksheet_set_column(sheet, 1, 1, 24, nullptr);

    lxw_row_t row = 0;
    for (const auto& r : records) {
        if (row == LXW_ROW_MAX - 1) break;
        ++row;
        const auto text = [&](lxw_col_t c, const std::string& value) {
            worksheet_write_string(sheet, row, c, cellText(value).c_str(), nullptr);
        };
        lxw_datetime when{};
        if (localDateTime(r.takenAt, when))
            worksheet_write_datetime(sheet, row, 0, &when, date);
        else
            text(0, r.takenAt);
        text(1, r.taker);
        text(2, r.computer);
        text(3, r.testFile);
        text(4, r.testTitle);
        text(5, r.testSha256);
        worksheet_write_number(sheet, row, 6, r.total, nullptr);
        text(7, outcomeText(r));
        text(8, r.resultLine);
        text(9, r.sourceFile);
        text(10, r.doubt);
        for (std::size_t q = 0; q < r.answers.size(); ++q) {
            const auto c = static_cast<lxw_col_t>(11 + q);
            const char answer = r.answers[q];
            if (answer >= '0' && answer <= '9')
                worksheet_write_number(sheet, row, c, answer - '0', nullptr);
            else
                text(c, std::string(1, answer));
        }
    }
    errno = 0;
    const lxw_error error = workbook_close(book);
    const int systemError = errno;
    if (error != LXW_NO_ERROR) {
        ::unlink(part.c_str());
        return "Таблицу " + shown + " не удалось записать (" + errorText(error, systemError) + ").";
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        const int failed = errno;
        ::unlink(part.c_str());
        return "Таблицу " + shown + " не удалось записать (" +
               journal_detail::fileProblemText(failed) + ").";
    }
    return {};
}

}  // namespace qv
