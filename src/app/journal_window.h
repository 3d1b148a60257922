// The results journal window: whether runs are recorded and where, the
// records of every computer's file in the folder in a sortable table with
// filters by test, name and dates (each record with the file it came from,
// and what casts doubt on it), and for the chosen test the count, mean,
// lowest and highest totals, a histogram of the totals by range and how many
// pressed each button of each question. "Экспорт…" writes the rows shown as a
// spreadsheet or as CSV. Every text from the folder is shown as plain text.
#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <vector>

#include "journal.h"
#include "journal_stats.h"
#include "window_services.h"

class QCheckBox;
class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class RunJournal;

// The records, one row each, with the texts the filters and sorting use
// converted once.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        kDate,
        kName,
        kTest,
        kTotal,
        kOutcome,
        kResultLine,
        kComputer,
        kFile,
        kDoubt,
        kColumns
    };

    using QAbstractTableModel::QAbstractTableModel;
    void setRecords(std::vector<qv::JournalRecord> records);
    const std::vector<qv::JournalRecord>& records() const { return records_; }
    const QString& name(int row) const { return names_[static_cast<std::size_t>(row)]; }
    // The test of a row: an index into tests().
    int test(int row) const { return tests_[static_cast<std::size_t>(row)]; }
    // Each test as the filter names it: its title and file name.
    const QStringList& tests() const { return testNames_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<qv::JournalRecord> records_;
    std::vector<QString> names_;
    std::vector<int> tests_;
    QStringList testNames_;
};

// The rows the filters let through, in the order the user sorted them.
class JournalFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit JournalFilter(JournalModel* model, QObject* parent = nullptr);
    // test: an index into the model's tests, or -1 for every test.
    void setFilter(int test, const QString& name, qint64 from, qint64 to);

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    JournalModel* model_;
    int test_ = -1;
    QString name_;
    qint64 from_ = 0;
    qint64 to_ = 0;
};

class QLayout;
class QScrollArea;

class JournalWindow : public QWidget {
    Q_OBJECT
  public:
    JournalWindow(WindowServices& services, RunJournal& journal);

    // Reads every file of the folder again and shows what it holds.
    void reload();
    // The records shown, in the table's order.
    std::vector<qv::JournalRecord> shownRecords() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLayout* buildSettingsRow();
    QLayout* buildFilterRow();
    void buildTable();
    QWidget* buildAnalysis();
    void changeFolder();
    void filtersChanged();
    void showStatistics();
    void showHistogram(const qv::JournalStats& stats);
    void showItemAnalysis(const qv::JournalStats& stats);
    void exportShown();
    // Within the screen it opens on, frame and all.
    void fitScreen();

    WindowServices& services_;
    RunJournal& journal_;
    JournalModel* model_;
    JournalFilter* filter_;
    QCheckBox* recording_;
    QLineEdit* folder_;
    QComboBox* testFilter_;
    QLineEdit* nameFilter_;
    QDateEdit* from_;
    QDateEdit* to_;
    QTableView* table_;
    QLabel* statistics_;
    QChartView* histogram_;
    QTableWidget* items_;
    QLabel* skipped_;
    QScrollArea* skippedArea_;
    QLabel* status_;
};
