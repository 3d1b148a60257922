#include "export_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "checker.h"
#include "cp1251.h"
#include "encoding.h"
#include "errors.h"
#include "export_command.h"
#include "file_loading.h"
#include "manag.h"
#include "platform.h"
#include "web_export.h"
#include "window_services.h"

ExportDialog::ExportDialog(WindowServices& services, const QString& testFile, QWidget* parent)
    : QDialog(parent), services_(services), testFile_(testFile) {
    setObjectName("ExportDialog");
    setWindowTitle(QStringLiteral("Экспорт"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("Тест: %1").arg(QFileInfo(testFile).fileName()), this);
    name->setObjectName("TestName");
    layout->addWidget(name);
    page_ = new QRadioButton(
        QStringLiteral(
            "&Веб-страница (.html): открывается в любом браузере, на телефоне, без сети"),
        this);
    page_->setObjectName("WebPage");
    page_->setChecked(true);
    package_ = new QRadioButton(
        QStringLiteral("&Пакет SCORM 1.2 (.zip) для Moodle и других систем обучения"), this);
    package_->setObjectName("ScormPackage");
    key_ = new QRadioButton(
        QStringLiteral("&Ключ для автора (.html, для печати): баллы всех кнопок и диапазоны"),
        this);
    key_->setObjectName("AnswerKey");
    layout->addWidget(page_);
    layout->addWidget(package_);
    layout->addWidget(key_);
    auto* points = new QLabel(
        QStringLiteral("Страница и пакет несут в себе баллы теста: их считает браузер, и "
                       "знающий человек может их прочитать. Ключ в них не попадает. Чтобы баллы "
                       "оставались только у учителя, проводите тест через сервер класса (он "
                       "появится в следующей версии программы)."),
        this);
    points->setObjectName("PointsNote");
    points->setWordWrap(true);
    layout->addWidget(points);
    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton(QStringLiteral("&Сохранить…"), QDialogButtonBox::AcceptRole);
    save_->setObjectName("Save");
    save_->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole)
        ->setObjectName("Cancel");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(save_, &QPushButton::clicked, this, services_.guard([this] {
        if (exportChosen()) accept();
    }));
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, services_.guard([this] {
        services_.platform.showHelp(QString::fromLatin1(TManag::kHelpFile));
    }));
}

void ExportDialog::keyPressEvent(QKeyEvent* event) {
    // Alt with the key that carries the access letter ("В", "П", "К", "С")
    // works in a Latin layout too, where the same key gives "D", "G", "R", "C".
    if (event->modifiers() == Qt::AltModifier) {
        const std::pair<int, QAbstractButton*> keys[] = {
            {Qt::Key_D, page_}, {Qt::Key_G, package_}, {Qt::Key_R, key_}, {Qt::Key_C, save_}};
        QAbstractButton* button = nullptr;
        for (const auto& [key, target] : keys)
            if (event->key() == key) button = target;
        if (button) {
            button->setFocus(Qt::ShortcutFocusReason);
            button->animateClick();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

bool ExportDialog::exportChosen() {
    qv::ExportOptions options;
    options.kind = package_->isChecked() ? qv::ExportKind::ScormPackage
                   : key_->isChecked()   ? qv::ExportKind::AnswerKey
                                         : qv::ExportKind::WebPage;
    const std::string test = fileNameBytes(testFile_);
    const QString proposed = fileNameText(qv::exportName(test, options.kind));
    const std::optional<QString> chosen = services_.platform.saveExportFile(
        this, proposed, options.kind == qv::ExportKind::ScormPackage);
    if (!chosen) return false;
    const qv::CheckReport check = qv::checkTest(test);
    const std::string written =
        qv::exportTest(test, fileNameBytes(*chosen), partsFolderBytes(), options);
    QString message = QStringLiteral("Записано: %1").arg(fileNameText(written));
    if (!check.clean()) {
        message += QStringLiteral("\n\nПроверка нашла в тесте то, на чём споткнётся проходящий:");
        for (const std::string& problem : check.problems) message += "\n" + toQt(problem);
    }
    services_.platform.showInformation(message);
    return true;
}
