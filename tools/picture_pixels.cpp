// Turns a picture into the form the program draws it from without decoding:
// its width, height and kind (32 bits each, little-endian), then its pixels,
// 32 bits each, row by row: opaque pictures as 0xffRRGGBB (kind 0), which
// the screen takes as they are, others as premultiplied ARGB (kind 1). Run
// at build time.
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
    const QImage source(QString::fromLocal8Bit(argv[1]));
    const bool opaque = !source.hasAlphaChannel();
    const QImage picture =
        source.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        std::fprintf(stderr, "qv_picture_pixels: cannot read %s\n", argv[1]);
        return 1;
    }
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "qv_picture_pixels: cannot write %s\n", argv[2]);
        return 1;
    }
    const quint32 size[3] = {qToLittleEndian(quint32(picture.width())),
                             qToLittleEndian(quint32(picture.height())),
                             qToLittleEndian(quint32(opaque ? 0 : 1))};
    out.write(reinterpret_cast<const char*>(size), sizeof size);
    for (int y = 0; y < picture.height(); ++y) {
        out.write(reinterpret_cast<const char*>(picture.constScanLine(y)),
                  qsizetype{picture.width()} * 4);
    }
    return out.flush() ? 0 : 1;
}
