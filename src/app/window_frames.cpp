#include "window_frames.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QResource>
#include <QScreen>
#include <QWidget>
#include <QtEndian>
#include <algorithm>

Qt::WindowFlags dialogFrame(bool closeBox, bool stayOnTop) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (stayOnTop) flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

void placeFixed(QWidget* window, int clientWidth, int clientHeight) {
    window->setFixedSize(clientWidth, clientHeight);
    centreOnScreen(window);
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

std::optional<Beside> placeBeside(const QRect& anchor, const QSize& size, const QRect& available) {
    const int top = std::clamp(anchor.top(), available.top(),
                               std::max(available.top(), available.bottom() + 1 - size.height()));
    if (anchor.right() + size.width() <= available.right())
        return Beside{anchor.topLeft(), QPoint(anchor.right() + 1, top)};
    if (anchor.left() - size.width() >= available.left())
        return Beside{anchor.topLeft(), QPoint(anchor.left() - size.width(), top)};
    const int spare = available.width() - anchor.width() - size.width();
    if (spare < 0) return std::nullopt;
    const int left = available.left() + spare / 2;
    return Beside{QPoint(left, anchor.top()), QPoint(left + anchor.width(), top)};
}

void moveBeside(QWidget* window, QWidget* anchor, const QMargins& frame) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    centreOnScreen(anchor);
    const QRect anchorFrame(anchor->pos(), anchor->size().grownBy(frame));
    if (const auto at =
            placeBeside(anchorFrame, window->size().grownBy(frame), screen->availableGeometry())) {
        anchor->move(at->anchor);
        window->move(at->window);
    } else {
        centreOnScreen(window);
    }
}

QMargins frameMargins(const QWidget* window) {
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

QPixmap picture(const char* name) {
    // The width, height and kind, 32 bits each, little-endian, then the pixels.
    const QResource resource(QStringLiteral(":/%1.pixels").arg(QLatin1String(name)));
    const QByteArray data = resource.uncompressedData();
    constexpr qsizetype kHeader = 12;
    if (data.size() < kHeader) return {};
    const auto width = qFromLittleEndian<quint32>(data.constData());
    const auto height = qFromLittleEndian<quint32>(data.constData() + 4);
    const bool opaque = qFromLittleEndian<quint32>(data.constData() + 8) == 0;
    if (width > 4096 || height > 4096 || data.size() - kHeader != qsizetype{width} * height * 4)
        return {};
    // An opaque picture is drawn from the program's own bytes, with no copy.
    const QImage image(reinterpret_cast<const uchar*>(data.constData() + kHeader), int(width),
                       int(height), int(width) * 4,
                       opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    return QPixmap::fromImage(image, Qt::NoFormatConversion);
}

QIcon programIcon() {
    // Made once and kept to the end: its pixmaps must not outlive the
    // application object in a static destructor.
    static const QIcon* icon = [] {
        auto* i = new QIcon;
        i->addPixmap(picture("icons/quorvane-32"));
        i->addPixmap(picture("icons/quorvane-64"));
        return i;
    }();
    return *icon;
}

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
