// The real dialogs, boxes and help viewer behind the platform seam, answered
// from a timer as a person would answer them.
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include "help_viewer.h"
#include "qt_platform.h"

namespace {

// Runs `answer` on the next modal dialog once it is open.
void whenModalOpens(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY2(modal, "no modal dialog is open");
        answer(modal);
    });
}

struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    Qt::WindowModality modality = Qt::NonModal;
};

BoxSeen readBox(QWidget* modal) {
    BoxSeen seen;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->buttons().size());
    seen.modality = box->windowModality();
    return seen;
}

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT
  private slots:
    void errorBoxHasTheProgramCaptionAndStopIcon();
    void informationBoxClosesOnEnterEscAndOk_data();
    void informationBoxClosesOnEnterEscAndOk();
    void openDialogTakesATypedNameThatDoesNotExist();
    void openDialogOffersTheProposedName();
    void fileDialogShowsSizesAndDatesInRussian();
    void helpViewerLooksInTheWorkingFolderFirst();
    void helpViewerSaysWhenItCannotFindTheFile();
};

void PlatformTest::errorBoxHasTheProgramCaptionAndStopIcon() {
    QtPlatform platform;
    BoxSeen seen;
    whenModalOpens([&seen](QWidget* modal) {
        seen = readBox(modal);
        QTest::keyClick(modal, Qt::Key_Return);
    });
    platform.showError("File not found.");
    QCOMPARE(seen.title, QString("Quorvane"));
    QCOMPARE(seen.text, QString("File not found."));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, 1);
    QCOMPARE(seen.modality, Qt::ApplicationModal);
}

void PlatformTest::informationBoxClosesOnEnterEscAndOk_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Enter") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("OK clicked") << 2;
}

void PlatformTest::informationBoxClosesOnEnterEscAndOk() {
    QFETCH(int, how);
    QtPlatform platform;
    BoxSeen seen;
    whenModalOpens([&seen, how](QWidget* modal) {
        seen = readBox(modal);
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (how == 0) QTest::keyClick(modal, Qt::Key_Return);
        if (how == 1) QTest::keyClick(modal, Qt::Key_Escape);
        if (how == 2 && box && !box->buttons().isEmpty()) box->buttons().first()->click();
    });
    platform.showInformation("Не определен текст вопроса.");  // returns only when the box is closed
    QCOMPARE(seen.title, QString("Information"));
    QCOMPARE(seen.text, QString("Не определен текст вопроса."));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.buttons, 1);
    QVERIFY(!QApplication::activeModalWidget());
}

void PlatformTest::openDialogTakesATypedNameThatDoesNotExist() {
    QTemporaryDir folder;
    const QString missing = folder.filePath("нет такого.tst");
    QtPlatform platform;
    QStringList filters;
    whenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        filters = dialog->nameFilters();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        name->setText(missing);
        QTest::keyClick(name, Qt::Key_Return);
    });
    const auto chosen = platform.openTestFile(nullptr, QString());
    QCOMPARE(filters, QStringList{"Файлы тестов (*.tst)"});
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, missing);
    QVERIFY(!QFile::exists(missing));
}

void PlatformTest::openDialogOffersTheProposedName() {
    QTemporaryDir folder;
    const QString proposed = folder.filePath("quiz.tst");
    QFile(proposed).open(QIODevice::WriteOnly);
    QtPlatform platform;
    QString offered;
    whenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        offered = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        dialog->reject();
    });
    QVERIFY(!platform.openTestFile(nullptr, proposed).has_value());  // cancelled
    QCOMPARE(offered, QString("quiz.tst"));
}

void PlatformTest::fileDialogShowsSizesAndDatesInRussian() {
    QtPlatform::prepareToolkit();
    QTemporaryDir folder;
    const QString file = folder.filePath("quiz.tst");
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(305, 'x'));
    out.close();
    QString size;
    QString date;
    whenModalOpens([&](QWidget* modal) {
        auto* list = modal->findChild<QAbstractItemView*>("treeView");
        QVERIFY(list);
        QModelIndex row;
        const auto find = [&] {
            return list->model()->match(list->model()->index(0, 0, list->rootIndex()),
                                        Qt::DisplayRole, "quiz.tst");
        };
        QTRY_VERIFY((row = find().value(0)).isValid());
        size = row.siblingAtColumn(1).data().toString();
        date = row.siblingAtColumn(3).data().toString();
        // Wide enough to be read whole.
        auto* columns = qobject_cast<QTreeView*>(list);
        QVERIFY(columns);
        QTRY_VERIFY(columns->columnWidth(1) > columns->fontMetrics().horizontalAdvance(size));
        QTRY_VERIFY(columns->columnWidth(3) > columns->fontMetrics().horizontalAdvance(date));
        qobject_cast<QDialog*>(modal)->reject();
    });
    QtPlatform platform;
    platform.openTestFile(nullptr, file);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QCOMPARE(size, russian.formattedDataSize(305));
    QVERIFY2(size.contains("байт"), qPrintable(size));
    QCOMPARE(date, russian.toString(QFileInfo(file).lastModified(), QLocale::ShortFormat));

    // The dialog keeps its history in the toolkit's settings, which the program does not keep.
    QSettings toolkit(QSettings::UserScope, "QtProject");
    toolkit.setValue("FileDialog/probe", 1);
    toolkit.sync();
    QCOMPARE(toolkit.status(), QSettings::AccessError);
    QVERIFY(!QFile::exists(toolkit.fileName()));
}

void PlatformTest::helpViewerLooksInTheWorkingFolderFirst() {
    QTemporaryDir folder;
    QFile help(folder.filePath("testhelp.hlp"));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("# Справка из рабочей папки\n\nТекст.\n");
    help.close();
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    QCOMPARE(HelpViewer::searchFolders().first(), QDir::currentPath());
    QCOMPARE(HelpViewer::locate("testhelp.hlp"), QFileInfo(help).absoluteFilePath());

    HelpViewer viewer;
    viewer.openContents("testhelp.hlp");
    QDir::setCurrent(before);
    QVERIFY(viewer.isVisible());
    QVERIFY(viewer.browser()->toPlainText().contains("Справка из рабочей папки"));
}

void PlatformTest::helpViewerSaysWhenItCannotFindTheFile() {
    HelpViewer viewer;
    BoxSeen seen;
    whenModalOpens([&seen](QWidget* modal) {
        seen = readBox(modal);
        QTest::keyClick(modal, Qt::Key_Return);
    });
    viewer.openContents("нет-такой-справки.hlp");
    QVERIFY(seen.text.contains("нет-такой-справки.hlp"));
    QVERIFY(!viewer.isVisible());
}

QTEST_MAIN(PlatformTest)
#include "platform_test.moc"
