// Draws the application icon as a PNG, 256 pixels unless told: for the desktop entry, the
// package's icon theme, and the window icon compiled into the program.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <cstdlib>

namespace {

QImage appIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const qreal s = size;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);
    painter.fillPath(tile, QColor(0, 128, 128));

    QFont serif;
    serif.setFamilies({QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    serif.setPixelSize(qMax(1, int(s * 0.62)));
    serif.setBold(true);
    painter.setFont(serif);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(s * 0.06, s * 0.02, s * 0.7, s * 0.8), Qt::AlignCenter,
                     QStringLiteral("V"));

    QFont cjk;
    cjk.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    cjk.setPixelSize(qMax(1, int(s * 0.36)));
    cjk.setBold(true);
    painter.setFont(cjk);
    painter.setPen(QColor(255, 220, 0));
    painter.drawText(QRectF(s * 0.5, s * 0.5, s * 0.42, s * 0.42), Qt::AlignCenter,
                     QStringLiteral("词"));
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int size = argc == 3 ? std::atoi(argv[2]) : 256;
    if (argc < 2 || argc > 3 || size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: mkicon OUTPUT.png [SIZE]\n");
        return 2;
    }
    return appIconImage(size).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
