#include "journal_window.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <map>
#include <sstream>

#include "encoding.h"
#include "file_names.h"
#include "journal_server_settings.h"
#include "pg_journal_store.h"
#include "platform.h"
#include "recent_tests.h"
#include "run_journal.h"
#include "widgets.h"
#include "window_frames.h"
#include "writer.h"

#include "journal_xlsx.h"

namespace {

// Text from the folder as the window shows it: the characters that would act
// rather than show (line breaks, terminal and direction controls) are shown
// as visible signs, so that no name can pass for two lines or turn round.
QString shownText(QString text) {
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20) {
            c = QChar(char16_t(0x2400 + u));  // the control pictures
        } else if (u == 0x7F) {
            c = QChar(char16_t(0x2421));
        } else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029 ||
                   (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069)) {
            c = QChar(QChar::ReplacementCharacter);
        }
    }
    return text;
}
QString shownText(const std::string& utf8) {
    return shownText(journalText(utf8));
}

// A tooltip that shows its text as it is: a tooltip takes any text that
// looks like markup for markup.
QString plainTip(const QString& text) {
    return QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(text.toHtmlEscaped());
}

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QDateTime momentOf(const qv::JournalRecord& r) {
    return QDateTime::fromSecsSinceEpoch(r.takenAtUnix);
}

// The date and time as the taker's computer had them ("2026-03-01T10:15:00+03:00"
// shows as "01.03.2026 10:15"), whatever the zone of the computer reading it.
QString shownTime(const qv::JournalRecord& r) {
    const QString text = journalText(r.takenAt);
    if (text.size() < 16 || text[10] != 'T')
        return QLocale().toString(momentOf(r), QStringLiteral("dd.MM.yyyy HH:mm"));
    return shownText(text.mid(8, 2) + '.' + text.mid(5, 2) + '.' + text.left(4) + ' ' +
                     text.mid(11, 5));
}

// The journal file a record came from, without its folder.
QString sourceName(const qv::JournalRecord& r) {
    return shownText(fileNameText(qv::baseName(r.sourceFile)));
}

// The tests a record can be checked against: those kept in the journal's
// folder and those opened lately on this computer.
std::vector<std::string> testsAtHand(const QString& folder) {
    std::vector<std::string> paths = qv::testFilesIn(fileNameBytes(folder));
    for (const auto& entry : RecentTests().entries()) paths.push_back(fileNameBytes(entry.path));
    return paths;
}

}  // namespace

// --- The records -----------------------------------------------------------------

void JournalModel::setRecords(std::vector<qv::JournalRecord> records) {
    beginResetModel();
    records_ = std::move(records);
    names_.clear();
    tests_.clear();
    testNames_.clear();
    names_.reserve(records_.size());
    tests_.reserve(records_.size());
    std::map<std::pair<std::string, std::string>, int> testIndex;
    for (const auto& r : records_) {
        names_.push_back(shownText(r.taker));
        const auto [it, added] =
            testIndex.try_emplace({r.testTitle, r.testFile}, static_cast<int>(testNames_.size()));
        if (added) {
            testNames_ << QString("%1 (%2)").arg(shownText(r.testTitle), shownText(r.testFile));
        }
        tests_.push_back(it->second);
    }
    endResetModel();
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const auto& r = records_[static_cast<std::size_t>(index.row())];
    const bool doubtful = !r.doubt.empty();
    switch (role) {
        case Qt::TextAlignmentRole:
            if (index.column() == kTotal) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case Qt::ToolTipRole:
            if (index.column() == kDate) return plainTip(shownText(r.takenAt));
            if (index.column() == kFile) return plainTip(shownText(fileNameText(r.sourceFile)));
            if (doubtful)
                return plainTip(QStringLiteral("Запись под сомнением: ") + shownText(r.doubt));
            return {};
        case Qt::DecorationRole:
            if (doubtful && index.column() == kName) {
                return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            }
            return {};
        case Qt::BackgroundRole:
            if (doubtful) return QColor(0xFF, 0xE8, 0xC0);
            return {};
        case Qt::ForegroundRole:
            if (doubtful) return QColor(Qt::black);  // on the light mark in a dark theme too
            return {};
        case Qt::DisplayRole:
            break;
        default:
            return {};
    }
    switch (index.column()) {
        case kDate:
            return shownTime(r);
        case kName:
            return names_[static_cast<std::size_t>(index.row())];
        case kTest:
            return testNames_[tests_[static_cast<std::size_t>(index.row())]];
        case kTotal:
            return r.total;
        case kOutcome:
            return shownText(qv::outcomeText(r));
        case kResultLine:
            return shownText(r.resultLine);
        case kComputer:
            return shownText(r.computer);
        case kFile:
            return sourceName(r);
        case kDoubt:
            return doubtful ? QStringLiteral("⚠ ") + shownText(r.doubt) : QString();
    }
    return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const headings[kColumns] = {
        "Дата",      "Имя",          "Тест",    "Сумма", "Диапазон", "Первая строка результата",
        "Компьютер", "Файл журнала", "Сомнения"};
    return QString::fromUtf8(headings[section]);
}

// --- The filters -----------------------------------------------------------------

JournalFilter::JournalFilter(JournalModel* model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model) {
    setSourceModel(model);
}

void JournalFilter::setFilter(int test, const QString& name, qint64 from, qint64 to) {
    test_ = test;
    name_ = name.trimmed();
    from_ = from;
    to_ = to;
    // One layout change: rows removed one run at a time would cost the table a
    // pass over all its rows each.
    invalidate();
}

bool JournalFilter::filterAcceptsRow(int row, const QModelIndex&) const {
    const auto& r = model_->records()[static_cast<std::size_t>(row)];
    if (test_ >= 0 && model_->test(row) != test_) return false;
    if (r.takenAtUnix < from_ || r.takenAtUnix > to_) return false;
    return name_.isEmpty() || model_->name(row).contains(name_, Qt::CaseInsensitive);
}

// Sorted straight from the records: a hundred thousand rows sort at once.
bool JournalFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const int l = left.row(), r = right.row();
    const auto& a = model_->records()[static_cast<std::size_t>(l)];
    const auto& b = model_->records()[static_cast<std::size_t>(r)];
    switch (left.column()) {
        case JournalModel::kDate:
            return a.takenAtUnix < b.takenAtUnix;
        case JournalModel::kName:
            return model_->name(l).localeAwareCompare(model_->name(r)) < 0;
        case JournalModel::kTotal:
            return a.total < b.total;
        case JournalModel::kTest:
            return model_->tests()[model_->test(l)].localeAwareCompare(
                       model_->tests()[model_->test(r)]) < 0;
        case JournalModel::kOutcome:
            return qv::outcomeText(a) < qv::outcomeText(b);
        case JournalModel::kResultLine:
            return a.resultLine < b.resultLine;
        case JournalModel::kFile:
            return a.sourceFile < b.sourceFile;
        case JournalModel::kDoubt:
            // Records under doubt first when sorted in descending order.
            return a.doubt.empty() != b.doubt.empty() ? a.doubt.empty() : a.doubt < b.doubt;
        default:
            return a.computer < b.computer;
    }
}

// --- The window ------------------------------------------------------------------

JournalWindow::JournalWindow(WindowServices& services, RunJournal& journal)
    : QWidget(nullptr, Qt::Window), services_(services), journal_(journal) {
    setObjectName("JournalWindow");
    setWindowTitle(QStringLiteral("Журнал результатов"));
    setWindowIcon(programIcon());

    QLayout* settings = buildSettingsRow();
    QLayout* filters = buildFilterRow();
    buildTable();
    QWidget* analysis = buildAnalysis();

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table_);
    splitter->addWidget(analysis);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addLayout(filters);
    layout->addWidget(splitter, 1);
    layout->addWidget(skippedArea_);
    layout->addWidget(status_);
    resize(1100, 760);

    // Esc closes the window, as the toolkit's dialogs do.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, services_.guard([this] { this->close(); }));
}

void JournalWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !isMaximized() && !isFullScreen()) fitScreen();
}

void JournalWindow::fitScreen() {
    // The screen of the window it is opened from, when there is one.
    const QWidget* opener = QApplication::activeWindow();
    const QScreen* where = opener && opener != this ? opener->screen() : screen();
    if (!where) return;
    const QRect area = where->availableGeometry();
    // The window system tells the frame once it has drawn one; until then a
    // title bar's worth is kept free.
    QMargins frame = frameMargins(this);
    if (frame.isNull()) frame = QMargins(4, 32, 4, 4);
    resize(size().boundedTo(area.size().shrunkBy(frame)).expandedTo(minimumSizeHint()));
    // Centred the first time, and moved back within the screen after.
    const QSize outer = size().grownBy(frame);
    QPoint at = area.topLeft() +
                QPoint((area.width() - outer.width()) / 2, (area.height() - outer.height()) / 2);
    if (testAttribute(Qt::WA_Moved)) {
        at.setX(std::clamp(pos().x(), area.left(),
                           std::max(area.left(), area.right() + 1 - outer.width())));
        at.setY(std::clamp(pos().y(), area.top(),
                           std::max(area.top(), area.bottom() + 1 - outer.height())));
    }
    move(at);
}

// Whether runs are recorded, the folder, and the buttons that act on it.
QLayout* JournalWindow::buildSettingsRow() {
    recording_ = new QCheckBox(QStringLiteral("Записывать результаты"), this);
    recording_->setObjectName("Recording");
    recording_->setChecked(journal_.recording());
    recording_->setToolTip(
        QStringLiteral("Перед каждым тестом спрашивать имя и записывать результат в журнал"));
    folder_ = new QLineEdit(journal_.folder(), this);
    folder_->setObjectName("JournalFolder");
    folder_->setReadOnly(true);
    folder_->setAccessibleName(QStringLiteral("Папка журнала"));
    auto* chooseFolder = new QPushButton(QStringLiteral("Папка…"), this);
    chooseFolder->setObjectName("ChooseFolder");
    // A school's results server instead of the folder.
    auto* chooseServer = new QPushButton(QStringLiteral("Сервер результатов…"), this);
    chooseServer->setObjectName("ChooseServer");
    auto* reloadButton = new QPushButton(QStringLiteral("Обновить"), this);
    reloadButton->setObjectName("Reload");
    auto* exportButton = new QPushButton(QStringLiteral("Экспорт…"), this);
    exportButton->setObjectName("Export");
    exportButton->setToolTip(
        QStringLiteral("Записать показанные записи в таблицу Excel (.xlsx) или в CSV"));

    auto* top = new QHBoxLayout;
    top->addWidget(recording_);
    top->addSpacing(12);
    top->addWidget(plainLabel(QStringLiteral("Папка:"), this));
    top->addWidget(folder_, 1);
    top->addWidget(chooseFolder);
    top->addWidget(chooseServer);
    top->addWidget(reloadButton);
    top->addWidget(exportButton);

    connect(recording_, &QCheckBox::toggled, this,
            services_.guard([this] { journal_.setRecording(recording_->isChecked()); }));
    connect(chooseFolder, &QPushButton::clicked, this, services_.guard([this] { changeFolder(); }));
    connect(chooseServer, &QPushButton::clicked, this, services_.guard([this] {
        if (const auto server = chooseJournalServer(this, journal_.folder())) {
            journal_.setFolder(*server);
            reload();
        }
    }));
    connect(reloadButton, &QPushButton::clicked, this, services_.guard([this] { reload(); }));
    connect(exportButton, &QPushButton::clicked, this, services_.guard([this] { exportShown(); }));
    return top;
}

// The filters by test, name and dates.
QLayout* JournalWindow::buildFilterRow() {
    testFilter_ = new QComboBox(this);
    testFilter_->setObjectName("TestFilter");
    testFilter_->setMinimumContentsLength(30);
    testFilter_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    nameFilter_ = new QLineEdit(this);
    nameFilter_->setObjectName("NameFilter");
    nameFilter_->setPlaceholderText(QStringLiteral("часть имени"));
    nameFilter_->setClearButtonEnabled(true);
    from_ = new QDateEdit(this);
    from_->setObjectName("DateFrom");
    to_ = new QDateEdit(this);
    to_->setObjectName("DateTo");
    for (QDateEdit* date : {from_, to_}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    }

    auto* filters = new QHBoxLayout;
    const auto labelled = [this, filters](const char* text, QWidget* field, int stretch) {
        QLabel* label = plainLabel(QString::fromUtf8(text), this);
        label->setBuddy(field);
        filters->addWidget(label);
        filters->addWidget(field, stretch);
    };
    labelled("&Тест:", testFilter_, 3);
    labelled("&Имя:", nameFilter_, 2);
    labelled("&с", from_, 0);
    labelled("&по", to_, 0);

    connect(testFilter_, &QComboBox::currentIndexChanged, this,
            services_.guard([this] { filtersChanged(); }));
    connect(nameFilter_, &QLineEdit::textChanged, this,
            services_.guard([this] { filtersChanged(); }));
    connect(from_, &QDateEdit::dateChanged, this, services_.guard([this] { filtersChanged(); }));
    connect(to_, &QDateEdit::dateChanged, this, services_.guard([this] { filtersChanged(); }));
    return filters;
}

void JournalWindow::buildTable() {
    model_ = new JournalModel(this);
    filter_ = new JournalFilter(model_, this);
    table_ = new QTableView(this);
    table_->setObjectName("Records");
    table_->setModel(filter_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(JournalModel::kDate, Qt::DescendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    // Rows of one height: the header then never measures a hundred thousand of them.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    const int columnWidths[] = {120, 170, 220, 60, 150, 240, 110, 140};
    for (int c = 0; c < 8; ++c) table_->setColumnWidth(c, columnWidths[c]);
}

// For the chosen test: the figures, the histogram and the answers by question.
QWidget* JournalWindow::buildAnalysis() {
    statistics_ = plainLabel(QString(), this);
    statistics_->setObjectName("Statistics");
    statistics_->setWordWrap(true);
    statistics_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    histogram_ = new QChartView(this);
    histogram_->setObjectName("Histogram");
    histogram_->setRenderHint(QPainter::Antialiasing);
    histogram_->setMinimumSize(380, 220);
    items_ = new QTableWidget(this);
    items_->setObjectName("ItemAnalysis");
    items_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    items_->setMinimumWidth(280);
    // The files skipped, however many, in a few lines that scroll.
    skipped_ = plainLabel(QString(), this);
    skipped_->setObjectName("Skipped");
    skipped_->setWordWrap(true);
    skipped_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    skipped_->setStyleSheet(QStringLiteral("color: #a00000"));
    skippedArea_ = new QScrollArea(this);
    skippedArea_->setWidget(skipped_);
    skippedArea_->setWidgetResizable(true);
    skippedArea_->setFrameShape(QFrame::NoFrame);
    skippedArea_->setMaximumHeight(4 * fontMetrics().lineSpacing() + 4);
    status_ = plainLabel(QString(), this);
    status_->setObjectName("Status");
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->hide();  // until there is something to say

    auto* analysis = new QWidget(this);
    auto* analysisLayout = new QHBoxLayout(analysis);
    analysisLayout->setContentsMargins(0, 0, 0, 0);
    auto* left = new QVBoxLayout;
    left->addWidget(statistics_);
    left->addWidget(histogram_, 1);
    analysisLayout->addLayout(left, 3);
    auto* right = new QVBoxLayout;
    right->addWidget(
        plainLabel(QStringLiteral("Ответы по вопросам (сколько раз нажата кнопка):"), this));
    right->addWidget(items_, 1);
    analysisLayout->addLayout(right, 2);
    return analysis;
}

void JournalWindow::reload() {
    recording_->setChecked(journal_.recording());
    folder_->setText(journal_.folder());
    const QString folder = journal_.folder();
    qv::JournalContents contents;
    if (qv::isServerJournal(folder.toStdString())) {
        contents = readServerJournal(folder);
        qv::checkRecordsAgainstTests(contents.records, testsAtHand(QString()));
    } else if (QFileInfo::exists(folder)) {
        contents = qv::readJournalFolder(fileNameBytes(folder));
        qv::checkRecordsAgainstTests(contents.records, testsAtHand(folder));
    }

    QStringList problems;
    if (!contents.folderProblem.empty()) problems << shownText(contents.folderProblem);
    for (const auto& line : contents.skipped) problems << shownText(line);
    skipped_->setText(problems.join('\n'));
    skippedArea_->setVisible(!problems.isEmpty());
    status_->hide();

    model_->setRecords(std::move(contents.records));

    // The filters keep the test chosen, and the dates take in every record.
    const QString chosenTest = testFilter_->currentIndex() > 0 ? testFilter_->currentText() : "";
    const QSignalBlocker blockTests(testFilter_), blockFrom(from_), blockTo(to_);
    testFilter_->clear();
    testFilter_->addItem(QStringLiteral("Все тесты"));
    QStringList tests = model_->tests();
    std::vector<int> order(static_cast<std::size_t>(tests.size()));
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return tests[a].localeAwareCompare(tests[b]) < 0; });
    for (int i : order) testFilter_->addItem(tests[i], i);
    testFilter_->setCurrentIndex(std::max(0, testFilter_->findText(chosenTest)));
    QDate first = QDate::currentDate(), last = QDate::currentDate();
    for (const auto& r : model_->records()) {
        const QDate day = momentOf(r).date();
        first = std::min(first, day);
        last = std::max(last, day);
    }
    from_->setDate(first);
    to_->setDate(last);
    filtersChanged();
}

void JournalWindow::filtersChanged() {
    const QVariant test = testFilter_->currentData();
    const qint64 from = from_->date().startOfDay().toSecsSinceEpoch();
    const qint64 to = to_->date().endOfDay().toSecsSinceEpoch();
    filter_->setFilter(test.isValid() ? test.toInt() : -1, nameFilter_->text(), from, to);
    showStatistics();
}

std::vector<qv::JournalRecord> JournalWindow::shownRecords() const {
    std::vector<qv::JournalRecord> shown;
    shown.reserve(static_cast<std::size_t>(filter_->rowCount()));
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const int source = filter_->mapToSource(filter_->index(row, 0)).row();
        shown.push_back(model_->records()[static_cast<std::size_t>(source)]);
    }
    return shown;
}

void JournalWindow::showStatistics() {
    std::vector<const qv::JournalRecord*> shown;
    shown.reserve(static_cast<std::size_t>(filter_->rowCount()));
    std::size_t doubtful = 0;
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const int source = filter_->mapToSource(filter_->index(row, 0)).row();
        shown.push_back(&model_->records()[static_cast<std::size_t>(source)]);
        doubtful += !shown.back()->doubt.empty();
    }
    const qv::JournalStats stats = qv::journalStats(shown, testFilter_->currentData().isValid());
    if (stats.count == 0) {
        statistics_->setText(model_->rowCount() == 0
                                 ? QStringLiteral("В журнале пока нет записей.")
                                 : QStringLiteral("Нет записей по этим условиям."));
    } else {
        QString text = QString(
                           "Записей: %1    Средняя сумма: %2    Наименьшая: %3    "
                           "Наибольшая: %4")
                           .arg(stats.count)
                           .arg(QLocale().toString(stats.mean, 'f', 1))
                           .arg(stats.lowest)
                           .arg(stats.highest);
        if (stats.noRange) text += QString("    Без диапазона: %1").arg(stats.noRange);
        if (stats.failures) text += QString("    Ошибка выбора результата: %1").arg(stats.failures);
        if (doubtful) text += QString("    ⚠ Под сомнением: %1").arg(doubtful);
        statistics_->setText(text);
    }
    showHistogram(stats);
    showItemAnalysis(stats);
}

// Bars of how many runs reached each range of the test (and the totals
// outside them), or each span of totals when the records' ranges do not
// make a set of bars. The labels are the program's own numbers.
void JournalWindow::showHistogram(const qv::JournalStats& stats) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Число прохождений по суммам баллов"));
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setVisible(false);
    if (!stats.histogram.empty()) {
        const std::int64_t width = stats.histogram.front().high - stats.histogram.front().low + 1;
        // Spans of equal width are named by where each begins, which keeps
        // the labels short however many bars there are.
        const bool byStart = !stats.byRanges && width > 1;
        auto* inRanges = new QBarSet(QStringLiteral("в диапазоне результата"));
        auto* outside = new QBarSet(stats.byRanges ? QStringLiteral("вне диапазонов")
                                                   : QStringLiteral("прохождений"));
        QStringList categories;
        qsizetype longest = 0;
        std::size_t most = 0;
        bool anyOutside = false;
        for (const qv::TotalsBin& bin : stats.histogram) {
            const auto runs = static_cast<qreal>(bin.runs);
            *inRanges << (bin.isRange ? runs : 0);
            *outside << (bin.isRange ? 0 : runs);
            anyOutside = anyOutside || (!bin.isRange && bin.runs);
            most = std::max(most, bin.runs);
            categories << (bin.low == bin.high || byStart
                               ? QString::number(bin.low)
                               : QString("%1…%2").arg(bin.low).arg(bin.high));
            longest = std::max(longest, categories.back().size());
        }
        auto* series = new QStackedBarSeries;
        if (stats.byRanges)
            series->append(inRanges);
        else
            delete inRanges;
        if (!stats.byRanges || anyOutside)
            series->append(outside);
        else
            delete outside;
        chart->addSeries(series);
        chart->legend()->setVisible(stats.byRanges && anyOutside);
        auto* x = new QBarCategoryAxis;
        x->append(categories);
        x->setTitleText(stats.byRanges ? QStringLiteral("Сумма баллов по диапазонам")
                        : byStart ? QString("Сумма баллов, промежутки по %1").arg(width)
                                  : QStringLiteral("Сумма баллов"));
        QFont labels = x->labelsFont();
        labels.setPointSizeF(std::min(labels.pointSizeF(), 8.0));
        x->setLabelsFont(labels);
        // Labels that would not fit side by side stand upright.
        const int room = std::max(histogram_->width(), histogram_->minimumWidth()) - 80;
        if (categories.size() * (longest + 1) * QFontMetrics(labels).averageCharWidth() > room)
            x->setLabelsAngle(-90);
        auto* y = new QValueAxis;
        const int highest = static_cast<int>(std::min<std::size_t>(most, INT32_MAX));
        y->setLabelFormat(QStringLiteral("%d"));
        y->setRange(0, std::max(1, highest));
        if (highest <= 5) {
            y->setTickCount(highest + 1);
        } else {
            y->applyNiceNumbers();
        }
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    QChart* old = histogram_->chart();
    histogram_->setChart(chart);
    delete old;
}

// Per question, how many pressed each button: for the chosen test only, as
// the questions of different tests have nothing in common.
void JournalWindow::showItemAnalysis(const qv::JournalStats& stats) {
    items_->clear();
    if (!testFilter_->currentData().isValid()) {
        items_->setRowCount(0);
        items_->setColumnCount(1);
        items_->setHorizontalHeaderLabels({QStringLiteral("Выберите тест")});
        items_->horizontalHeader()->setStretchLastSection(true);
        return;
    }
    const int questions = static_cast<int>(stats.pressed.size());
    const int buttons = std::max(1, stats.buttons);
    items_->setRowCount(questions);
    items_->setColumnCount(buttons);
    QStringList headings;
    for (int b = 1; b <= buttons; ++b) headings << QString("Кнопка %1").arg(b);
    items_->setHorizontalHeaderLabels(headings);
    QStringList rows;
    for (int q = 1; q <= questions; ++q) rows << QString("Вопрос %1").arg(q);
    items_->setVerticalHeaderLabels(rows);
    for (int q = 0; q < questions; ++q) {
        const auto& counts = stats.pressed[static_cast<std::size_t>(q)];
        std::size_t answered = 0;
        for (std::size_t c : counts) answered += c;
        for (int b = 0; b < buttons; ++b) {
            const std::size_t n = counts[static_cast<std::size_t>(b)];
            auto* cell = new QTableWidgetItem(
                answered
                    ? QString("%1 (%2%)").arg(n).arg(qRound(100.0 * double(n) / double(answered)))
                    : QString::number(n));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            items_->setItem(q, b, cell);
        }
    }
    items_->horizontalHeader()->setStretchLastSection(false);
    items_->resizeColumnsToContents();
}

void JournalWindow::changeFolder() {
    const auto folder = services_.platform.chooseFolder(this, journal_.folder());
    if (!folder) return;
    journal_.setFolder(*folder);
    reload();
}

// The rows shown, as a spreadsheet, or as CSV for a name ending in ".csv".
void JournalWindow::exportShown() {
    const auto name = services_.platform.saveCsvFile(
        this, QDir(journal_.folder()).filePath(QStringLiteral("журнал.xlsx")));
    if (!name) return;
    const std::vector<qv::JournalRecord> records = shownRecords();
    status_->hide();
    if (name->endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        std::ostringstream csv;
        qv::writeJournalCsv(records, csv);
        // Saved as a test is: a failure keeps the old file and is told by the failure handler.
        qv::writeBytes(fileNameBytes(*name), csv.str());
    } else if (const std::string problem = qv::writeJournalXlsx(records, fileNameBytes(*name));
               !problem.empty()) {
        services_.platform.showError(QString::fromStdString(problem));
        return;
    }
    status_->setText(QString("Записей: %1. Сохранено в «%2».")
                         .arg(records.size())
                         .arg(shownText(QDir::toNativeSeparators(*name))));
    status_->show();
}
