#include "qt_platform.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPixmapCache>
#include <QPushButton>
#include <QSettings>
#include <QTranslator>
#include <QTreeView>
#include <QVBoxLayout>

#include "help_viewer.h"

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);

// The toolkit's file list writes sizes and dates as the system's locale
// does, English under a C or English locale; the program's are Russian.
class RussianFileDetails : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files ||
            (index.column() != kSize && index.column() != kDate)) {
            return QIdentityProxyModel::data(index, role);
        }
        const QModelIndex file = mapToSource(index);
        if (index.column() == kSize)
            return files->isDir(file) ? QString() : kRussian.formattedDataSize(files->size(file));
        return kRussian.toString(files->lastModified(file), QLocale::ShortFormat);
    }

  private:
    static constexpr int kSize = 1;  // the columns of the toolkit's file model
    static constexpr int kDate = 3;
};

const QString kTestFilter = QStringLiteral("Файлы тестов (*.tst)");
const QString kResultFilter = QStringLiteral("Текстовый файл (*.txt)");

// `askBeforeReplacing`: the dialogs of tests and results ask nothing before a
// file is replaced; those of the exported page and the journal's table do.
std::optional<QString> runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode,
                                     const QString& filter, const QString& proposedName,
                                     bool askBeforeReplacing = false) {
    // Every dialog draws its own new icons, so what the toolkit's pixmap cache
    // keeps of them is never drawn again and would pile up with each use (up
    // to the cache's 10 MB). It goes once the dialog has.
    struct DropDialogPixmaps {
        ~DropDialogPixmaps() { QPixmapCache::clear(); }
    } dropPixmaps;
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setNameFilter(filter);
    // The open dialog takes a typed name that does not exist; no dialog adds
    // an extension.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !askBeforeReplacing);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(QString());
    dialog.setProxyModel(new RussianFileDetails(&dialog));
    // The Russian sizes, kinds and dates are wider than the English ones the
    // toolkit's columns are made for: those columns take their contents' width,
    // the name the rest of a dialog made wider for them.
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* columns = details->header();
        columns->setStretchLastSection(false);
        columns->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column <= 3; ++column)
            columns->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        dialog.resize(dialog.size().expandedTo({800, 450}));
    }
    if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

// An application-modal question with the buttons given, in that order;
// returns the index of the one pressed (Esc and the close box press `escape`).
qsizetype askWithButtons(const QString& question, const QStringList& captions, qsizetype byDefault,
                         qsizetype escape) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quorvane"), question,
                    QMessageBox::NoButton, QApplication::activeWindow());
    // File names and test texts in a question are never read as markup.
    box.setTextFormat(Qt::PlainText);
    QList<QPushButton*> buttons;
    for (const QString& caption : captions)
        buttons << box.addButton(caption, QMessageBox::AcceptRole);
    box.setDefaultButton(buttons.at(byDefault));
    box.setEscapeButton(buttons.at(escape));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    const qsizetype pressed = buttons.indexOf(box.clickedButton());
    return pressed < 0 ? escape : pressed;
}

}  // namespace

void QtPlatform::prepareToolkit() {
    // The whole interface is Russian, the toolkit's own dialogs included,
    // whatever the system's language.
    static QTranslator toolkitTexts;
    if (toolkitTexts.isEmpty() &&
        toolkitTexts.load(kRussian, "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&toolkitTexts);
    }
    QLocale::setDefault(kRussian);
    // The program keeps no settings, and the toolkit's file dialog would
    // keep its history in the user's configuration: its settings go nowhere.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
}

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() {
    delete helpViewer_.get();
}

std::optional<QString> QtPlatform::openTestFile(QWidget* parent, const QString& proposedName) {
    return runFileDialog(parent, QFileDialog::AcceptOpen, kTestFilter, proposedName);
}

std::optional<QString> QtPlatform::saveTestFile(QWidget* parent, const QString& proposedName) {
    return runFileDialog(parent, QFileDialog::AcceptSave, kTestFilter, proposedName);
}

std::optional<QString> QtPlatform::saveResultFile(QWidget* parent, const QString& proposedName) {
    return runFileDialog(parent, QFileDialog::AcceptSave, kResultFilter, proposedName);
}

void QtPlatform::showError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message,
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(QStringLiteral("Quorvane"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void QtPlatform::showInformation(const QString& message) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), message,
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool QtPlatform::askYesNo(const QString& question) {
    // "Нет" is the default, and Esc or the close box answer it too.
    return askWithButtons(question, {QStringLiteral("Да"), QStringLiteral("Нет")}, 1, 1) == 0;
}

Platform::Answer QtPlatform::askYesNoCancel(const QString& question) {
    const Answer answers[] = {Answer::Yes, Answer::No, Answer::Cancel};
    return answers[askWithButtons(
        question, {QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("Отмена")}, 0, 2)];
}

void QtPlatform::showHelp(const QString& helpFileName) {
    if (!helpViewer_) helpViewer_ = new HelpViewer();
    helpViewer_->openContents(helpFileName);
}

std::optional<QString> QtPlatform::askTakerName(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName("TakerNameDialog");
    dialog.setWindowTitle(QStringLiteral("Журнал результатов"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QStringLiteral("Результат этого теста будет записан в журнал.\n"
                                            "Ваше имя (можно оставить пустым):"),
                             &dialog);
    auto* name = new QLineEdit(&dialog);
    name->setObjectName("TakerName");
    name->setAccessibleName(QStringLiteral("Ваше имя"));
    label->setBuddy(name);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* start = buttons->addButton(QStringLiteral("Начать"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole)
        ->setToolTip(QStringLiteral("Пройти тест без записи в журнал"));
    start->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(name);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(360);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return name->text();
}

std::optional<QString> QtPlatform::chooseFolder(QWidget* parent, const QString& current) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Папка журнала результатов"), current);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

std::optional<QString> QtPlatform::saveCsvFile(QWidget* parent, const QString& proposedName) {
    return runFileDialog(parent, QFileDialog::AcceptSave,
                         QStringLiteral("Таблица Excel (*.xlsx);;Таблица CSV (*.csv)"),
                         proposedName, true);
}

std::optional<QString> QtPlatform::saveExportFile(QWidget* parent, const QString& proposedName,
                                                  bool package) {
    const QString filter = package ? QStringLiteral("Пакет SCORM 1.2 (*.zip)")
                                   : QStringLiteral("Веб-страница (*.html)");
    return runFileDialog(parent, QFileDialog::AcceptSave, filter, proposedName, true);
}
