#include "encoding.h"

#include <QFile>
#include <QTextBoundaryFinder>

#include "cp1251.h"

namespace {
constexpr char32_t kControlPictures = 0x2400;  // U+2400..U+241F picture the bytes 0x00..0x1F
constexpr unsigned char kTab = 0x09;
constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;
}  // namespace

QString toQt(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char32_t ch =
            (byte < 0x20 && byte != kTab) ? kControlPictures + byte : qv::cp1251::toUnicode(byte);
        text.append(QChar(static_cast<char16_t>(ch)));
    }
    return text;
}

std::string fromQt(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t ch : text.toUcs4()) {
        if (ch >= kControlPictures && ch < kControlPictures + 0x20) {
            const auto byte = static_cast<unsigned char>(ch - kControlPictures);
            bytes +=
                (byte == kCarriageReturn || byte == kEndOfFile) ? '?' : static_cast<char>(byte);
        } else if (ch < 0x20) {
            bytes += ch == kTab ? '\t' : '?';
        } else {
            const int byte = qv::cp1251::fromUnicode(ch);
            bytes += byte < 0 ? '?' : static_cast<char>(byte);
        }
    }
    return bytes;
}

namespace {

bool holdable(const QString& cluster) {
    for (const char32_t ch : cluster.toUcs4()) {
        if (ch >= kControlPictures && ch < kControlPictures + 0x20) return false;
        if (qv::cp1251::fromUnicode(ch) < 0) return false;
    }
    return true;
}

}  // namespace

QString typedText(const QString& text) {
    QString typed;
    typed.reserve(text.size());
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = clusters.toNextBoundary();
        if (end <= start) end = text.size();
        const QString composed =
            text.mid(start, end - start).normalized(QString::NormalizationForm_C);
        typed += holdable(composed) ? composed : QStringLiteral("?");
        start = end;
    }
    return typed;
}

int visibleLength(const QString& text) {
    int count = 0;
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    while (clusters.toNextBoundary() > 0) ++count;
    return count;
}

QStringList toQt(const std::vector<std::string>& lines) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(lines.size()));
    for (const auto& line : lines) list.append(toQt(line));
    return list;
}

std::vector<std::string> fromQt(const QStringList& lines) {
    std::vector<std::string> bytes;
    bytes.reserve(static_cast<std::size_t>(lines.size()));
    for (const auto& line : lines) bytes.push_back(fromQt(line));
    return bytes;
}

std::string fileNameBytes(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString fileNameText(const std::string& bytes) {
    return QFile::decodeName(QByteArray(bytes.c_str(), static_cast<qsizetype>(bytes.size())));
}
