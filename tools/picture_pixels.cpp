// Turns a picture into the form the program draws it from without decoding:
// its width and height (32 bits each, little-endian), then its pixels as
// premultiplied 32-bit ARGB, row by row. Run at build time.
//
//   qv_picture_pixels PICTURE OUTPUT
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qv_picture_pixels PICTURE OUTPUT\n");
        return 2;
    }
    const QImage picture = QImage(QString::fromLocal8Bit(argv[1]))
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        std::fprintf(stderr, "qv_picture_pixels: cannot read %s\n", argv[1]);
        return 1;
    }
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "qv_picture_pixels: cannot write %s\n", argv[2]);
        return 1;
    }
    const quint32 size[2] = {qToLittleEndian(quint32(picture.width())),
                             qToLittleEndian(quint32(picture.height()))};
    out.write(reinterpret_cast<const char*>(size), sizeof size);
    for (int y = 0; y < picture.height(); ++y) {
        out.write(reinterpret_cast<const char*>(picture.constScanLine(y)),
                  qsizetype{picture.width()} * 4);
    }
    return out.flush() ? 0 : 1;
}
