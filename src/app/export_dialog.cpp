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
#include "command_line.h"
#include "cp1251.h"
#include "encoding.h"
#include "errors.h"
#include "manag.h"
#include "platform.h"
#include "web_export.h"
#include "window_services.h"

#ifndef QV_INSTALLED_DATA_DIR
#define QV_INSTALLED_DATA_DIR "/usr/share/quorvane"
#endif

QString webPartsFolder() {
    for (const QString& folder :
         {qEnvironmentVariable("QUORVANE_WEB_DIR"), QCoreApplication::applicationDirPath() + "/web",
          QStringLiteral(QV_INSTALLED_DATA_DIR "/web")}) {
        if (folder.isEmpty()) continue;
        if (QFileInfo(QDir(folder), "page.html").isFile()) return folder;
    }
    return {};
}

namespace {

// The parts' folder as the export reads it; a missing folder reads as one
// where the page is not found.
std::string partsFolderBytes() {
    const QString folder = webPartsFolder();
    return fileNameBytes(folder.isEmpty() ? QStringLiteral(QV_INSTALLED_DATA_DIR "/web") : folder);
}

}  // namespace

int exportFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err) {
    const QString& test = line.files.front();
    int status = checkTestFiles({test}, out);
    if (status == 2) return status;
    qv::ExportOptions options;
    options.kind = line.printKey        ? qv::ExportKind::AnswerKey
                   : line.exportPackage ? qv::ExportKind::ScormPackage
                                        : qv::ExportKind::WebPage;
    try {
        const std::string written = qv::exportTest(fileNameBytes(test), fileNameBytes(line.output),
                                                   partsFolderBytes(), options);
        std::fprintf(out, "%s: записано в %s\n", test.toUtf8().constData(),
                     fileNameText(written).toUtf8().constData());
    } catch (const qv::Exception& e) {
        std::fprintf(err, "quorvane: %s\n",
                     qv::cp1251::toUtf8(qv::withFullStop(e.message())).c_str());
        status = 2;
    }
    std::fflush(out);
    return status;
}

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
