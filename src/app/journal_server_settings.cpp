#include "journal_server_settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <functional>
#include <thread>

#include "pg_journal_store.h"
#include "server_queue.h"

namespace {

// Does `work` on a thread of its own while the windows go on drawing
// themselves (a server that does not answer takes seconds), taking no clicks
// or keys meanwhile, so that nothing starts twice.
void workBeside(const std::function<void()>& work) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    QApplication::restoreOverrideCursor();
}

// libpq's SSL modes, as the list names them.
const std::pair<const char*, const char*> kSslModes[] = {
    {"prefer", "шифровать, если сервер умеет (prefer)"},
    {"require", "только с шифрованием (require)"},
    {"verify-full", "шифровать и проверять сертификат сервера (verify-full)"},
    {"disable", "без шифрования (disable)"},
};

QString waitingText() {
    const ServerQueue& queue = ServerQueue::instance();
    QString text = QString("Ждут отправки на сервер с этого компьютера: %1.").arg(queue.waiting());
    if (queue.waiting() && !queue.problem().isEmpty()) text += ' ' + queue.problem();
    return text;
}

class ServerDialog : public QDialog {
  public:
    ServerDialog(QWidget* parent, const QString& current) : QDialog(parent) {
        setObjectName("JournalServer");
        setWindowTitle(QStringLiteral("Сервер результатов"));
        const qv::ServerAddress a = qv::isServerJournal(current.toStdString())
                                        ? qv::serverAddressFields(current.toStdString())
                                        : qv::ServerAddress{"", "", "quorvane", "quorvane_add", ""};
        host_ = field("ServerHost", a.host);
        port_ = new QSpinBox(this);
        port_->setObjectName("ServerPort");
        port_->setRange(1, 65535);
        port_->setValue(a.port.empty() ? 5432 : QString::fromStdString(a.port).toInt());
        database_ = field("ServerDatabase", a.database);
        user_ = field("ServerUser", a.user);
        ssl_ = new QComboBox(this);
        ssl_->setObjectName("ServerSslMode");
        for (const auto& [mode, text] : kSslModes) ssl_->addItem(QString::fromUtf8(text), mode);
        ssl_->setCurrentIndex(std::max(0, ssl_->findData(QString::fromStdString(a.sslMode))));

        auto* form = new QFormLayout;
        form->addRow(QStringLiteral("&Сервер:"), host_);
        form->addRow(QStringLiteral("&Порт:"), port_);
        form->addRow(QStringLiteral("&База данных:"), database_);
        form->addRow(QStringLiteral("П&ользователь:"), user_);
        form->addRow(QStringLiteral("&Шифрование (SSL):"), ssl_);
        auto* password = new QLabel(
            QStringLiteral("Пароль программа не хранит: его берут из файла ~/.pgpass (или из "
                           "файла, названного в PGPASSFILE), строкой "
                           "сервер:порт:база:пользователь:пароль."),
            this);
        password->setWordWrap(true);
        auto* check = new QPushButton(QStringLiteral("Проверить соединение"), this);
        check->setObjectName("CheckConnection");
        result_ = new QLabel(this);
        result_->setObjectName("ConnectionResult");
        result_->setTextFormat(Qt::PlainText);
        result_->setWordWrap(true);
        result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* waiting = new QLabel(waitingText(), this);
        waiting->setObjectName("Waiting");
        waiting->setTextFormat(Qt::PlainText);
        waiting->setWordWrap(true);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(password);
        layout->addWidget(check, 0, Qt::AlignLeft);
        layout->addWidget(result_);
        layout->addWidget(waiting);
        layout->addWidget(buttons);
        setMinimumWidth(520);

        connect(check, &QPushButton::clicked, this, [this] { checkConnection(); });
        connect(&ServerQueue::instance(), &ServerQueue::waitingChanged, waiting,
                [waiting] { waiting->setText(waitingText()); });
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    QString address() const {
        qv::ServerAddress a;
        a.host = host_->text().trimmed().toStdString();
        a.port = port_->value() == 5432 ? "" : std::to_string(port_->value());
        a.database = database_->text().trimmed().toStdString();
        a.user = user_->text().trimmed().toStdString();
        a.sslMode = ssl_->currentData().toString().toStdString();
        return QString::fromStdString(qv::serverAddressText(a));
    }

  private:
    QLineEdit* field(const char* name, const std::string& text) {
        auto* edit = new QLineEdit(QString::fromStdString(text), this);
        edit->setObjectName(name);
        return edit;
    }

    // Waits at most the connection's time limit.
    void checkConnection() {
        result_->setText(QStringLiteral("Соединение…"));
        const std::string target = address().toStdString();
        std::string report, problem;
        workBeside([&] { problem = qv::ServerJournal(target).check(&report); });
        result_->setText(QString::fromStdString(problem.empty() ? report : problem));
        result_->setStyleSheet(problem.empty() ? QString() : QStringLiteral("color: #a00000"));
    }

    QLineEdit* host_;
    QSpinBox* port_;
    QLineEdit* database_;
    QLineEdit* user_;
    QComboBox* ssl_;
    QLabel* result_;
};

}  // namespace

std::optional<QString> chooseJournalServer(QWidget* parent, const QString& current) {
    ServerDialog dialog(parent, current);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.address();
}

qv::JournalContents readServerJournal(const QString& target) {
    qv::JournalContents contents;
    const std::string address = target.toStdString();
    workBeside([&] { contents = qv::ServerJournal(address).readAll(); });
    if (ServerQueue::instance().waiting() > 0)
        contents.skipped.push_back(waitingText().toStdString());
    return contents;
}
