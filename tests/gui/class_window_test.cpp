// The class window over a test served on this computer only: the pupils'
// names as plain text, their progress, the totals hidden until shown, the
// address's QR code, and the self-test of the address.
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include "class_session.h"
#include "class_window.h"
#include "export_command.h"
#include "gui_support.h"

class ClassWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void thePupilsAsTheyGo();
};

void ClassWindowTest::initTestCase() {
    qputenv("QUORVANE_WEB_DIR",
            (QCoreApplication::applicationDirPath() + "/../../src/app/web").toLocal8Bit());
    QVERIFY2(!webPartsFolder().isEmpty(), "the page's parts are not built");
}

void ClassWindowTest::thePupilsAsTheyGo() {
    Program p;
    qv::ServeOptions options;
    options.loopbackOnly = true;
    QString problem;
    auto session = ClassSession::open(p.writeExample(), p.path("journal"), options, problem);
    QVERIFY2(session, qPrintable(problem));
    qv::ClassRoom& room = session->room();
    auto* window = new ClassWindow(p.windows->services(), std::move(session), "example.tst");
    window->show();

    const std::string token =
        QJsonDocument::fromJson(QByteArray::fromStdString(room.start("<b>Аня</b>").json))
            .object()["token"]
            .toString()
            .toStdString();
    room.start("Борис");
    room.answer(token, 1, 1, [](const qv::RoomReply&) {});
    room.answer(token, 2, 1, [](const qv::RoomReply&) {});
    QTRY_COMPARE(room.recordedRuns(), std::size_t{1});
    window->refresh();
    auto* table = window->findChild<QTableWidget*>("Pupils");
    const auto cell = [table](int row, int column) { return table->item(row, column)->text(); };
    QCOMPARE((QStringList{cell(0, 0), cell(0, 1), cell(0, 2), cell(1, 1), cell(1, 2)}),
             (QStringList{"<b>Аня</b>", "2 из 2", "да", "1 из 2", "нет"}));
    QVERIFY(table->isColumnHidden(3) && table->isColumnHidden(4));
    window->findChild<QCheckBox*>("ShowTotals")->setChecked(true);
    QVERIFY(!table->isColumnHidden(3));
    QVERIFY(!cell(0, 3).isEmpty() && cell(1, 3).isEmpty());

    const QPixmap qr = window->findChild<QLabel*>("QrCode")->pixmap();
    QVERIFY(qr.width() >= 250);  // scanned from the back of a classroom
    QVERIFY2(window->reachReport().contains("отвечает с этого компьютера"),
             qPrintable(window->reachReport()));
    window->finish();
}

QTEST_MAIN(ClassWindowTest)
#include "class_window_test.moc"
