#include "qt_platform.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "help_viewer.h"

namespace {

const QString kTestFilter = QStringLiteral("Файлы тестов (*.tst)");
const QString kResultFilter = QStringLiteral("Текстовый файл (*.txt)");

std::optional<QString> runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                                     const QString& proposedName) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setNameFilter(filter);
    // The open dialog takes a typed name that does not exist; neither asks
    // before a file is replaced, and neither adds an extension.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(QString());
    if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() { delete helpViewer_.data(); }

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
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message, QMessageBox::Ok);
    box.setWindowTitle(QStringLiteral("Quorvane"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void QtPlatform::showInformation(const QString& message) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), message, QMessageBox::NoButton,
                    QApplication::activeWindow());
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void QtPlatform::showHelp(const QString& helpFileName) {
    if (!helpViewer_) helpViewer_ = new HelpViewer();
    helpViewer_->openContents(helpFileName);
}
