// A run taken through the real windows while the journal records to a
// PostgreSQL server (started by tests/pg/with_server.sh; skipped without
// one): the result is shown at once, the record reaches the server through
// the local queue, and the journal window shows it.
#include <QElapsedTimer>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <fstream>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "gui_support.h"
#include "journal_window.h"
#include "manag.h"
#include "pg_journal_store.h"
#include "run_journal.h"
#include "server_queue.h"
#include "userform.h"

class JournalServerTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void aRunReachesTheServerAndTheWindowShowsIt();
    void aServerThatDoesNotAnswerKeepsNobodyWaiting();

  private:
    QTemporaryDir home_;
    QString address_;
};

void JournalServerTest::initTestCase() {
    if (qEnvironmentVariableIsEmpty("QV_PG_PORT")) QSKIP("run through tests/pg/with_server.sh");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("data")));
    const QString host = qEnvironmentVariable("QV_PG_HOST"),
                  port = qEnvironmentVariable("QV_PG_PORT");
    std::ofstream(home_.filePath("pgpass").toStdString())
        << host.toStdString() << ':' << port.toStdString()
        << ":*:postgres:" << qEnvironmentVariable("QV_PG_PASSWORD").toStdString() << '\n';
    QFile::setPermissions(home_.filePath("pgpass"), QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", QFile::encodeName(home_.filePath("pgpass")));
    address_ = QString("postgresql://postgres@%1:%2/postgres").arg(host, port);
    QCOMPARE(QString::fromStdString(qv::ServerJournal(address_.toStdString()).setup()), QString());
}

void JournalServerTest::aRunReachesTheServerAndTheWindowShowsIt() {
    Program program;
    auto& w = *program.windows;
    w.runJournal().recordForThisStart(address_);
    program.platform.takerNameAnswers.push_back(QString("Вера «В»"));

    w.manager()->runFile(program.writeExample());
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QVERIFY(program.platform.errors.isEmpty());
    QTRY_COMPARE(ServerQueue::instance().waiting(), 0);

    const auto records = qv::ServerJournal(address_.toStdString()).readAll().records;
    QCOMPARE(int(records.size()), 1);
    QCOMPARE(QString::fromStdString(records[0].taker), QString("Вера «В»"));
    QCOMPARE(records[0].answers, std::string("12"));
    ctl::action(w.manager(), "JournalMenuItem")->trigger();
    QCOMPARE(ctl::as<QTableView>(program.journalWindow(), "Records")->model()->rowCount(), 1);
}

// A server that takes connections and never answers: a socket listening on
// the loopback address that accepts nobody.
void JournalServerTest::aServerThatDoesNotAnswerKeepsNobodyWaiting() {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&at), length) == 0);
    QVERIFY(::listen(listener, 16) == 0);
    QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) == 0);
    const QString silent =
        QString("postgresql://postgres@127.0.0.1:%1/postgres").arg(ntohs(at.sin_port));

    Program program;
    auto& w = *program.windows;
    w.runJournal().recordForThisStart(silent);
    program.platform.takerNameAnswers.push_back(QString("Глеб"));
    w.manager()->runFile(program.writeExample());
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QElapsedTimer result;
    result.start();
    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QVERIFY2(result.elapsed() < 1000, qPrintable(QString::number(result.elapsed())));
    QVERIFY(program.platform.errors.isEmpty());

    // The window reading the silent server goes on drawing while it waits,
    // then says what is wrong.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(100);
    ctl::action(w.manager(), "JournalMenuItem")->trigger();
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    const QString told = ctl::label(program.journalWindow(), "Skipped")->text();
    QVERIFY2(told.contains("не ответил") && told.contains("Ждут отправки"), qPrintable(told));
    ::close(listener);
}

QTEST_MAIN(JournalServerTest)
#include "journal_server_test.moc"
