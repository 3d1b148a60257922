#include "class_window.h"

#include <qrencode.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "class_session.h"
#include "platform.h"
#include "reach_check.h"

namespace {

enum Column { kName, kQuestion, kFinished, kTotal, kRange, kColumns };

QTableWidgetItem* textItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);  // a name is plain text, never markup
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

QImage qrCodeImage(const QString& text, int scale) {
    const QByteArray bytes = text.toUtf8();
    QRcode* code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code) return {};
    const int quiet = 4;
    const int side = code->width + 2 * quiet;
    QImage image(side, side, QImage::Format_Mono);
    image.fill(1);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(255, 255, 255));
    image.fill(1);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1) image.setPixel(x + quiet, y + quiet, 0);
    QRcode_free(code);
    return image.scaled(side * scale, side * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

ClassWindow::ClassWindow(WindowServices& services, std::unique_ptr<ClassSession> session,
                         const QString& testName, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(services), session_(std::move(session)) {
    setObjectName("ClassWindow");
    setWindowTitle(QString("Тест в классе: %1").arg(testName));
    setAttribute(Qt::WA_DeleteOnClose);
    const QStringList addresses = session_->addresses();

    auto* qr = new QLabel;
    qr->setObjectName("QrCode");
    qr->setPixmap(QPixmap::fromImage(qrCodeImage(addresses.front(), 10)));
    qr->setAccessibleName("QR-код адреса");
    auto* address = new QLabel(addresses.front());
    address->setObjectName("Address");
    address->setTextFormat(Qt::PlainText);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = address->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    address->setFont(big);
    // What a pupil types when the code cannot be scanned: the address without its scheme.
    QString typed = addresses.front();
    typed.remove("http://").remove(QRegularExpression("/$"));
    auto* shortCode = new QLabel(QString("Набрать в браузере: %1").arg(typed));
    shortCode->setObjectName("ShortCode");
    shortCode->setTextFormat(Qt::PlainText);
    auto* others = new QLabel(addresses.size() > 1
                                  ? "Другие адреса этого компьютера: " + addresses.mid(1).join(", ")
                                  : QString());
    others->setObjectName("OtherAddresses");
    others->setTextFormat(Qt::PlainText);
    others->setWordWrap(true);
    auto* journal = new QLabel("Результаты записываются в журнал: " + session_->journalFolder());
    journal->setTextFormat(Qt::PlainText);
    journal->setWordWrap(true);

    table_ = new QTableWidget(0, kColumns);
    table_->setObjectName("Pupils");
    table_->setHorizontalHeaderLabels({"Имя", "Вопрос", "Закончил", "Сумма", "Диапазон"});
    table_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    showTotals_ = new QCheckBox("Показать баллы");
    showTotals_->setObjectName("ShowTotals");
    summary_ = new QLabel;
    summary_->setObjectName("Summary");
    auto* check = new QPushButton("Проверить адрес");
    check->setObjectName("CheckAddress");
    auto* finishButton = new QPushButton("Завершить");
    finishButton->setObjectName("Finish");

    auto* left = new QVBoxLayout;
    left->addWidget(qr, 0, Qt::AlignHCenter);
    left->addWidget(address, 0, Qt::AlignHCenter);
    left->addWidget(shortCode, 0, Qt::AlignHCenter);
    left->addWidget(others);
    left->addWidget(journal);
    left->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showTotals_);
    buttons->addStretch();
    buttons->addWidget(check);
    buttons->addWidget(finishButton);
    auto* right = new QVBoxLayout;
    right->addWidget(summary_);
    right->addWidget(table_, 1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    connect(showTotals_, &QCheckBox::toggled, this, services_.guard([this] { refresh(); }));
    connect(check, &QPushButton::clicked, this,
            services_.guard([this] { services_.platform.showInformation(reachReport()); }));
    connect(finishButton, &QPushButton::clicked, this, services_.guard([this] { finish(); }));
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, services_.guard([this] { refresh(); }));
    timer_->start(1000);
    refresh();
    resize(1000, 640);
    // The program ending with the class still open ends the class first, so
    // that a run being recorded at that moment is recorded whole.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { session_->stop(); });
}

ClassWindow::~ClassWindow() = default;

void ClassWindow::refresh() {
    const std::vector<qv::PupilRow> rows = session_->room().pupils();
    const bool totals = showTotals_->isChecked();
    table_->setColumnHidden(kTotal, !totals);
    table_->setColumnHidden(kRange, !totals);
    table_->setRowCount(static_cast<int>(rows.size()));
    int finished = 0;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const qv::PupilRow& p = rows[static_cast<std::size_t>(r)];
        finished += p.finished ? 1 : 0;
        table_->setItem(r, kName, textItem(QString::fromStdString(p.name)));
        table_->setItem(r, kQuestion,
                        textItem(p.finished ? QString("%1 из %1").arg(p.count)
                                            : QString("%1 из %2").arg(p.question).arg(p.count)));
        table_->setItem(r, kFinished, textItem(p.finished ? "да" : "нет"));
        table_->setItem(r, kTotal, textItem(p.finished ? QString::number(p.total) : QString()));
        table_->setItem(r, kRange, textItem(QString::fromStdString(p.range)));
    }
    summary_->setText(QString("Учеников: %1, закончили: %2, записано в журнал: %3")
                          .arg(rows.size())
                          .arg(finished)
                          .arg(session_->room().recordedRuns()));
}

QString ClassWindow::reachReport() const {
    const QStringList addresses = session_->addresses();
    const std::string first = addresses.front().toStdString();
    const QString isolation =
        "Если телефоны учеников всё же не открывают адрес, сеть не пропускает подключения "
        "между устройствами (так устроены многие гостевые и школьные сети Wi-Fi). Включите "
        "точку доступа на своём телефоне, подключите к ней этот компьютер и телефоны учеников "
        "и откройте окно заново, или попросите администратора сети разрешить подключения "
        "между устройствами.";
    if (qv::addressAnswers(first, 2000))
        return QString("Адрес %1 отвечает с этого компьютера.\n\n").arg(addresses.front()) +
               isolation;
    return QString(
               "Адрес %1 не отвечает даже с этого компьютера: подключения, вероятно, "
               "не пропускает брандмауэр. Разрешите входящие подключения к программе "
               "(порт %2) или попросите администратора.\n\n")
               .arg(addresses.front(), QString::number(QUrl(addresses.front()).port())) +
           isolation;
}

void ClassWindow::finish() {
    timer_->stop();
    session_->stop();
    refresh();
    close();
}

void ClassWindow::closeEvent(QCloseEvent* event) {
    // Closing the window ends the class as "Завершить" does: every finished run is recorded.
    session_->stop();
    event->accept();
}

void openClassWindow(WindowServices& services, QWidget* parent) {
    const std::optional<QString> test = services.platform.openTestFile(parent, QString());
    if (!test) return;
    QString problem;
    qv::ServeOptions options;
    options.port = 8080;  // the same address from one lesson to the next, when it is free
    std::unique_ptr<ClassSession> session = ClassSession::open(*test, QString(), options, problem);
    if (!session) {
        services.platform.showError(problem);
        return;
    }
    auto* window = new ClassWindow(services, std::move(session), QFileInfo(*test).fileName());
    window->show();
}
