#include "manag.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>

#include "encoding.h"
#include "fonts.h"
#include "platform.h"
#include "results_and_export.h"
#include "session.h"
#include "widgets.h"
#include "window_frames.h"

TManag::TManag(WindowServices& services) : QMainWindow(nullptr), services_(services) {
    setObjectName("Manag");
    setWindowTitle("Менеджер тестов");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());
    setAcceptDrops(true);

    buildMenus();

    auto* client = new QWidget(this);
    client->setObjectName("ManagClient");
    client->setFixedSize(350, 113);
    setCentralWidget(client);

    // The picture is drawn unscaled from its top-left corner and fills the client area.
    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 353, 113);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(picture("pictures/manager"));
    Image1->setAccessibleName("Эмблема Quorvane");

    Button1 = makeButton(client, "Button1", "Новый тест", {16, 72, 97, 25});
    Button2 = makeButton(client, "Button2", "Редактор", {128, 72, 97, 25});
    Button3 = makeButton(client, "Button3", "Запустить", {240, 72, 97, 25});

    setFixedSize(350, 113 + menuBar()->sizeHint().height());
    centreOnScreen(this);

    connect(Button1, &QPushButton::clicked, this, services.guard([this] { Creat(); }));
    connect(Button2, &QPushButton::clicked, this, services.guard([this] { Editing(); }));
    connect(Button3, &QPushButton::clicked, this, services.guard([this] { Start(); }));
    connect(N3, &QAction::triggered, this, services.guard([this] { Creat(); }));
    connect(N4, &QAction::triggered, this, services.guard([this] { Editing(); }));
    connect(N5, &QAction::triggered, this, services.guard([this] { Start(); }));
    connect(N6, &QAction::triggered, this, services.guard([this] { close(); }));
    connect(N7, &QAction::triggered, this, services.guard([this] {
        services_.platform.showHelp(QString::fromLatin1(kHelpFile));
    }));
    connect(N8, &QAction::triggered, this, services.guard([this] { emit aboutRequested(); }));
}

void TManag::buildMenus() {
    N1 = menuBar()->addMenu("&Файл");
    N1->setObjectName("N1");
    N3 = N1->addAction("Новый");
    N3->setObjectName("N3");
    N4 = N1->addAction("Редактировать");
    N4->setObjectName("N4");
    N5 = N1->addAction("Запустить");
    N5->setObjectName("N5");
    recentMenu_ = N1->addMenu("Недавние");
    recentMenu_->setObjectName("RecentTests");
    connect(recentMenu_, &QMenu::aboutToShow, this, services_.guard([this] { showRecentTests(); }));
    // Handing a test out and the class's results, apart from the items a
    // test is made and taken with.
    N1->addSeparator();
    QAction* classItem = N1->addAction("Провести в классе…");
    classItem->setObjectName("ClassMenuItem");
    connect(classItem, &QAction::triggered, this,
            services_.guard([this] { resultsAndExport().openClassWindow(services_, this); }));
    QAction* exportItem = N1->addAction("Экспорт…");
    exportItem->setObjectName("ExportMenuItem");
    connect(exportItem, &QAction::triggered, this,
            services_.guard([this] { emit exportRequested(); }));
    QAction* journal = N1->addAction("Журнал результатов…");
    journal->setObjectName("JournalMenuItem");
    connect(journal, &QAction::triggered, this,
            services_.guard([this] { emit journalRequested(); }));
    N1->addSeparator();
    N6 = N1->addAction("Выход");
    N6->setObjectName("N6");
    N2 = menuBar()->addMenu("&Помощь");
    N2->setObjectName("N2");
    N7 = N2->addAction("Инструктаж");
    N7->setObjectName("N7");
    N8 = N2->addAction("О программе...");
    N8->setObjectName("N8");
}

std::optional<QString> TManag::chooseTestFile() {
    return services_.platform.openTestFile(this, recent_.lastFile());
}

void TManag::showRecentTests() {
    recentMenu_->clear();
    int number = 0;
    for (const RecentTests::Entry& entry : recent_.entries()) {
        const QString use = entry.use == RecentTests::Use::Edit ? QStringLiteral("редактор")
                                                                : QStringLiteral("запуск");
        QAction* item = recentMenu_->addAction(
            QString("&%1 %2 (%3)").arg(++number).arg(QFileInfo(entry.path).fileName(), use));
        item->setToolTip(entry.path);
        item->setStatusTip(entry.path);
        connect(item, &QAction::triggered, this,
                services_.guard([this, entry] { openRecent(entry); }));
    }
    if (number == 0) recentMenu_->addAction(QStringLiteral("(пусто)"))->setEnabled(false);
}

void TManag::openRecent(const RecentTests::Entry& entry) {
    if (!QFileInfo::exists(entry.path)) {
        recent_.remove(entry.path);
        services_.platform.showInformation(
            QString("Файла «%1» больше нет: его удалили или перенесли. Он убран из списка "
                    "недавних тестов.")
                .arg(entry.path));
        return;
    }
    if (!mayLeaveWork()) return;
    if (entry.use == RecentTests::Use::Edit)
        editFile(entry.path);
    else
        startRun(entry.path);
}

void TManag::Creat() {
    if (!mayLeaveWork()) return;
    emit newTestOpening();
    services_.session.editing().newTest();
}

void TManag::Editing() {
    if (!mayLeaveWork()) return;
    if (const auto name = chooseTestFile()) editFile(*name);
}

void TManag::Start() {
    if (!mayLeaveWork()) return;
    if (const auto name = chooseTestFile()) startRun(*name);
}

void TManag::startRun(const QString& name) {
    if (!services_.failures.run([this, &name] { runFile(name); })) emit runFailed();
}

void TManag::editFile(const QString& name) {
    recent_.setLastFile(name);
    const std::string file = fileNameBytes(name);
    services_.session.editing().beginEditing(file);
    emit editingOpening();
    services_.session.editing().loadForEditing(file);
    recent_.opened(name, RecentTests::Use::Edit);
}

void TManag::showWaitingRecords(int waiting) {
    QAction* journal = findChild<QAction*>("JournalMenuItem");
    if (!journal) return;
    journal->setText(waiting ? QString("Журнал результатов… (ждут отправки: %1)").arg(waiting)
                             : QStringLiteral("Журнал результатов…"));
}

void TManag::runFile(const QString& name) {
    recent_.setLastFile(name);
    services_.session.running().beginRun();
    emit runOpening();
    services_.session.running().loadForRun(fileNameBytes(name));
    recent_.opened(name, RecentTests::Use::Run);
    emit runLoaded();
}

namespace {
// The one local file a drag carries, if it carries exactly one.
std::optional<QString> droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().first().isLocalFile()) {
        return std::nullopt;
    }
    return data->urls().first().toLocalFile();
}
}  // namespace

void TManag::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFile(event->mimeData())) event->acceptProposedAction();
}

void TManag::dropEvent(QDropEvent* event) {
    const auto name = droppedFile(event->mimeData());
    if (!name) return;
    event->acceptProposedAction();
    // A test dropped here is taken as if chosen through "Запустить".
    bool mayLeave = false;
    services_.failures.run([this, &mayLeave] { mayLeave = mayLeaveWork(); });
    if (mayLeave) startRun(*name);
}

void TManag::keyPressEvent(QKeyEvent* event) {
    // Alt with the key that carries "Ф" or "П" opens that menu in a Latin
    // layout too, where the same key gives "A" or "G".
    if (event->modifiers() == Qt::AltModifier) {
        QMenu* menu = event->key() == Qt::Key_A ? N1 : event->key() == Qt::Key_G ? N2 : nullptr;
        if (menu) {
            // Open with its first item chosen, as the access letter opens it.
            menuBar()->setActiveAction(menu->menuAction());
            if (!menu->actions().isEmpty()) menu->setActiveAction(menu->actions().constFirst());
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void TManag::closeEvent(QCloseEvent* event) {
    // The main window takes the program with it, once the work in the other
    // windows may be left.
    bool mayLeave = false;
    services_.failures.run([this, &mayLeave] { mayLeave = mayLeaveWork(); });
    if (!mayLeave) {
        event->ignore();
        return;
    }
    event->accept();
    services_.failures.run([this] { emit closed(); });
}
