#include "journal_window.h"

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
#include <QSplitter>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <map>
#include <sstream>

#include "cp1251.h"
#include "encoding.h"
#include "platform.h"
#include "run.h"
#include "run_journal.h"
#include "widgets.h"
#include "window_frames.h"
#include "writer.h"

namespace {

// Past this many different totals the histogram's bars each take a span.
constexpr int kMostBars = 24;

QDateTime momentOf(const qv::JournalRecord& r) {
    return QDateTime::fromSecsSinceEpoch(r.takenAtUnix);
}

// The date and time as the taker's computer had them ("2026-03-01T10:15:00+03:00"
// shows as "01.03.2026 10:15"), whatever the zone of the computer reading it.
QString shownTime(const qv::JournalRecord& r) {
    const QString text = journalText(r.takenAt);
    if (text.size() < 16 || text[10] != 'T')
        return QLocale().toString(momentOf(r), QStringLiteral("dd.MM.yyyy HH:mm"));
    return text.mid(8, 2) + '.' + text.mid(5, 2) + '.' + text.left(4) + ' ' + text.mid(11, 5);
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
        names_.push_back(journalText(r.taker));
        const auto [it, added] =
            testIndex.try_emplace({r.testTitle, r.testFile}, static_cast<int>(testNames_.size()));
        if (added) {
            testNames_ << QString("%1 (%2)").arg(journalText(r.testTitle), journalText(r.testFile));
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
    if (role == Qt::TextAlignmentRole && index.column() == kTotal)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == kDate) return journalText(r.takenAt);
    if (role != Qt::DisplayRole) return {};
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
            return journalText(qv::outcomeText(r));
        case kResultLine:
            return journalText(r.resultLine);
        case kComputer:
            return journalText(r.computer);
    }
    return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const headings[kColumns] = {
        "Дата", "Имя", "Тест", "Сумма", "Диапазон", "Первая строка результата", "Компьютер"};
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
    layout->addWidget(skipped_);
    resize(1100, 760);
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
    auto* reloadButton = new QPushButton(QStringLiteral("Обновить"), this);
    reloadButton->setObjectName("Reload");
    auto* exportButton = new QPushButton(QStringLiteral("Экспорт в CSV"), this);
    exportButton->setObjectName("ExportCsv");

    auto* top = new QHBoxLayout;
    top->addWidget(recording_);
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("Папка:"), this));
    top->addWidget(folder_, 1);
    top->addWidget(chooseFolder);
    top->addWidget(reloadButton);
    top->addWidget(exportButton);

    connect(recording_, &QCheckBox::toggled, this,
            services_.guard([this] { journal_.setRecording(recording_->isChecked()); }));
    connect(chooseFolder, &QPushButton::clicked, this, services_.guard([this] { changeFolder(); }));
    connect(reloadButton, &QPushButton::clicked, this, services_.guard([this] { reload(); }));
    connect(exportButton, &QPushButton::clicked, this, services_.guard([this] { exportCsv(); }));
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
        auto* label = new QLabel(QString::fromUtf8(text), this);
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
    const int columnWidths[] = {120, 170, 220, 60, 150, 240};
    for (int c = 0; c < 6; ++c) table_->setColumnWidth(c, columnWidths[c]);
}

// For the chosen test: the figures, the histogram and the answers by question.
QWidget* JournalWindow::buildAnalysis() {
    statistics_ = new QLabel(this);
    statistics_->setObjectName("Statistics");
    statistics_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    histogram_ = new QChartView(this);
    histogram_->setObjectName("Histogram");
    histogram_->setRenderHint(QPainter::Antialiasing);
    histogram_->setMinimumSize(420, 260);
    items_ = new QTableWidget(this);
    items_->setObjectName("ItemAnalysis");
    items_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    items_->setMinimumWidth(300);
    skipped_ = new QLabel(this);
    skipped_->setObjectName("Skipped");
    skipped_->setWordWrap(true);
    skipped_->setStyleSheet(QStringLiteral("color: #a00000"));

    auto* analysis = new QWidget(this);
    auto* analysisLayout = new QHBoxLayout(analysis);
    analysisLayout->setContentsMargins(0, 0, 0, 0);
    auto* left = new QVBoxLayout;
    left->addWidget(statistics_);
    left->addWidget(histogram_, 1);
    analysisLayout->addLayout(left, 3);
    auto* right = new QVBoxLayout;
    right->addWidget(
        new QLabel(QStringLiteral("Ответы по вопросам (сколько раз нажата кнопка):"), this));
    right->addWidget(items_, 1);
    analysisLayout->addLayout(right, 2);
    return analysis;
}

void JournalWindow::reload() {
    recording_->setChecked(journal_.recording());
    folder_->setText(journal_.folder());
    const QString folder = journal_.folder();
    qv::JournalContents contents;
    if (QFileInfo::exists(folder)) contents = qv::readJournalFolder(fileNameBytes(folder));

    QStringList problems;
    if (!contents.folderProblem.empty()) problems << journalText(contents.folderProblem);
    for (const auto& line : contents.skipped) problems << journalText(line);
    skipped_->setText(problems.join('\n'));
    skipped_->setVisible(!problems.isEmpty());

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
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const int source = filter_->mapToSource(filter_->index(row, 0)).row();
        shown.push_back(&model_->records()[static_cast<std::size_t>(source)]);
    }
    if (shown.empty()) {
        statistics_->setText(model_->rowCount() == 0
                                 ? QStringLiteral("В журнале пока нет записей.")
                                 : QStringLiteral("Нет записей по этим условиям."));
    } else {
        qint64 sum = 0;
        int lowest = shown.front()->total, highest = lowest;
        for (const auto* r : shown) {
            sum += r->total;
            lowest = std::min(lowest, r->total);
            highest = std::max(highest, r->total);
        }
        const double mean = static_cast<double>(sum) / static_cast<double>(shown.size());
        statistics_->setText(QString("Записей: %1    Средняя сумма: %2    Наименьшая: %3    "
                                     "Наибольшая: %4")
                                 .arg(shown.size())
                                 .arg(QLocale().toString(mean, 'f', 1))
                                 .arg(lowest)
                                 .arg(highest));
    }
    showHistogram(shown);
    showItemAnalysis(shown);
}

// Bars of how many runs reached each total (or span of totals), one colour
// per range line, so that the chart shows where each range begins and ends.
void JournalWindow::showHistogram(const std::vector<const qv::JournalRecord*>& shown) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Распределение сумм баллов"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    if (!shown.empty()) {
        int lowest = shown.front()->total, highest = lowest;
        for (const auto* r : shown) {
            lowest = std::min(lowest, r->total);
            highest = std::max(highest, r->total);
        }
        const qint64 spread = qint64{highest} - lowest + 1;
        const qint64 width = (spread + kMostBars - 1) / kMostBars;
        const int bars = static_cast<int>((spread + width - 1) / width);
        // One set per range line, ordered by its low bound; runs without a range last.
        std::map<std::pair<qint64, QString>, std::vector<int>> sets;
        for (const auto* r : shown) {
            QString name = journalText(qv::outcomeText(*r));
            qint64 order = std::numeric_limits<qint64>::max();
            if (r->outcome == qv::RunOutcome::Result) {
                const auto bounds = qv::readRangeBounds(qv::cp1251::fromUtf8(r->range));
                if (bounds.low) order = *bounds.low;
            } else if (r->outcome == qv::RunOutcome::Failure) {
                name = QStringLiteral("ошибка выбора результата");
            }
            auto& counts = sets[{order, name}];
            counts.resize(static_cast<std::size_t>(bars));
            ++counts[static_cast<std::size_t>((qint64{r->total} - lowest) / width)];
        }
        auto* series = new QStackedBarSeries;
        int most = 0;
        std::vector<int> heights(static_cast<std::size_t>(bars));
        for (const auto& [key, counts] : sets) {
            auto* set = new QBarSet(key.second);
            for (std::size_t i = 0; i < counts.size(); ++i) {
                *set << counts[i];
                heights[i] += counts[i];
            }
            series->append(set);
        }
        for (int h : heights) most = std::max(most, h);
        chart->addSeries(series);
        QStringList categories;
        for (int i = 0; i < bars; ++i) {
            const qint64 start = lowest + qint64{i} * width;
            categories << (width == 1 ? QString::number(start)
                                      : QString("%1–%2").arg(start).arg(start + width - 1));
        }
        auto* x = new QBarCategoryAxis;
        x->append(categories);
        x->setTitleText(QStringLiteral("Сумма баллов"));
        QFont labels = x->labelsFont();
        labels.setPointSizeF(std::min(labels.pointSizeF(), 8.0));
        x->setLabelsFont(labels);
        auto* y = new QValueAxis;
        y->setRange(0, std::max(1, most));
        y->setLabelFormat(QStringLiteral("%d"));
        y->setTickCount(std::min(most, 5) + 1);
        y->setTitleText(QStringLiteral("Прохождений"));
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
void JournalWindow::showItemAnalysis(const std::vector<const qv::JournalRecord*>& shown) {
    items_->clear();
    if (!testFilter_->currentData().isValid()) {
        items_->setRowCount(0);
        items_->setColumnCount(1);
        items_->setHorizontalHeaderLabels({QStringLiteral("Выберите тест")});
        items_->horizontalHeader()->setStretchLastSection(true);
        return;
    }
    std::size_t questions = 0;
    int buttons = 1;
    for (const auto* r : shown) {
        questions = std::max(questions, r->answers.size());
        for (char c : r->answers) buttons = std::max(buttons, c - '0');
    }
    buttons = std::min(buttons, 6);
    std::vector<std::array<int, 6>> counts(questions, std::array<int, 6>{});
    for (const auto* r : shown) {
        for (std::size_t q = 0; q < r->answers.size(); ++q) {
            const int b = r->answers[q] - '1';
            if (b >= 0 && b < 6) ++counts[q][static_cast<std::size_t>(b)];
        }
    }
    items_->setRowCount(static_cast<int>(questions));
    items_->setColumnCount(buttons);
    QStringList headings;
    for (int b = 1; b <= buttons; ++b) headings << QString("Кнопка %1").arg(b);
    items_->setHorizontalHeaderLabels(headings);
    QStringList rows;
    for (std::size_t q = 1; q <= questions; ++q) rows << QString("Вопрос %1").arg(q);
    items_->setVerticalHeaderLabels(rows);
    for (std::size_t q = 0; q < questions; ++q) {
        int answered = 0;
        for (int c : counts[q]) answered += c;
        for (int b = 0; b < buttons; ++b) {
            const int n = counts[q][static_cast<std::size_t>(b)];
            auto* cell = new QTableWidgetItem(
                answered ? QString("%1 (%2%)").arg(n).arg(qRound(100.0 * n / answered))
                         : QString::number(n));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            items_->setItem(static_cast<int>(q), b, cell);
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

void JournalWindow::exportCsv() {
    const auto name = services_.platform.saveCsvFile(
        this, QDir(journal_.folder()).filePath(QStringLiteral("журнал.csv")));
    if (!name) return;
    std::ostringstream csv;
    qv::writeJournalCsv(shownRecords(), csv);
    // Saved as a test is: a failure keeps the old file and is told by the failure handler.
    qv::writeBytes(fileNameBytes(*name), csv.str());
}
