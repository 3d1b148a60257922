#include "app_windows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include "ab.h"
#include "encoding.h"
#include "os_file.h"
#include "platform.h"
#include "errorform.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "userform.h"

// The pictures and icons live in the library's resources, which a static
// library must register itself.
static void registerResources() { Q_INIT_RESOURCE(quorvane); }

namespace {

// The editor, test, result, error and About windows are dialogs to a screen
// reader; a plain top-level widget would read as an unnamed pane.
QAccessibleInterface* secondaryWindowAccessible(const QString& className, QObject* object) {
    static const QStringList dialogs{"TRedactor", "TUserForm", "TResForm", "TErrorForm", "TAB"};
    if (!object || !object->isWidgetType() || !dialogs.contains(className)) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
}

}  // namespace

AppWindows::AppWindows(Platform& platform_, std::function<void()> quit_)
    : platform(platform_), failures(platform_), quit(std::move(quit_)) {
    registerResources();
    static const bool accessibleWindows = (QAccessible::installFactory(secondaryWindowAccessible), true);
    (void)accessibleWindows;
    // A window's constructor may look its neighbours up only in handlers,
    // never while they are being built.
    Manag = new TManag(*this);
    Redactor = new TRedactor(*this);
    UserForm = new TUserForm(*this);
    ResForm = new TResForm(*this);
    ErrorForm = new TErrorForm(*this);
    AB = new TAB(*this);
}

AppWindows::~AppWindows() {
    // Hidden first, so that no window's handlers run while its neighbours go.
    for (QWidget* w : std::initializer_list<QWidget*>{AB, ErrorForm, ResForm, UserForm, Redactor, Manag}) w->hide();
    delete AB;
    delete ErrorForm;
    delete ResForm;
    delete UserForm;
    delete Redactor;
    delete Manag;
}

void AppWindows::reportInterruptedSaves() {
    for (const auto& save : qv::os::interruptedSaves()) {
        failures.run([&] {
            platform.showInformation(
                QString("Сохранение теста «%1» не было завершено: программа прервалась, и тест мог повредиться. "
                        "Его прежнее содержимое сохранено в файле «%2». Если тест повреждён, откройте эту копию "
                        "в редакторе и сохраните её под прежним именем.")
                    .arg(fileNameText(save.targetPath), fileNameText(save.copyPath)));
        });
        qv::os::forgetInterruptedSave(save);
    }
}

void AppWindows::endEventLoop() { QCoreApplication::exit(0); }

void showWindow(QWidget* window) {
    window->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) window->raise();
    activateNow(window);
}

void activateNow(QWidget* window) {
    window->activateWindow();
    // The window system reports the activation only later, from the event
    // loop; until then the application would count no window as active.
    if (window->isVisible() && QApplication::activeWindow() != window) {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        QApplication::setActiveWindow(window);
        QT_WARNING_POP
    }
}
