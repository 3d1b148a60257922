#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

#if defined(QV_HAVE_FONTCONFIG)
#include <fontconfig/fontconfig.h>
#endif

namespace fonts {

ConfigurationLoader::ConfigurationLoader() {
#if defined(QV_HAVE_FONTCONFIG)
    thread_ = std::thread([] { FcInit(); });
#endif
}

ConfigurationLoader::~ConfigurationLoader() {
    wait();
}

void ConfigurationLoader::wait() {
    if (thread_.joinable()) thread_.join();
}

void installSubstitutes() {
    struct Substitute {
        const char* family;
        QStringList candidates;
    };
    const Substitute table[] = {
        {kSansSerif, {"Liberation Sans", "Arimo", "DejaVu Sans"}},
        {kTimes, {"Liberation Serif", "Tinos", "DejaVu Serif"}},
        {kTahoma, {"DejaVu Sans", "Liberation Sans"}},
        {kSystem, {"Liberation Sans", "DejaVu Sans"}},
    };
    const QStringList families = QFontDatabase::families();
    for (const auto& entry : table) {
        if (families.contains(QString::fromLatin1(entry.family))) continue;
        for (const auto& candidate : entry.candidates) {
            if (families.contains(candidate)) {
                QFont::insertSubstitution(QString::fromLatin1(entry.family), candidate);
                break;
            }
        }
    }
}

QFont font(const char* family, int pixelHeight, bool bold, bool italic, bool underline) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

QFont windowFont() {
    return font(kSansSerif, 11);
}

}  // namespace fonts
