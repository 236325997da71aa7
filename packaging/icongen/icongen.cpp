// Draws the program's icon: the scalable SVG and PNGs at the usual hicolor
// sizes, all from one description of the shapes, into a folder:
//   vantoli_icongen <folder>   (writes vantoli.svg and vantoli-<size>.png)
// The drawing is a rounded tile with a dark-to-teal gradient, a light ring
// and a play triangle; every measure is a share of the 256-unit canvas.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kCanvas = 256;
constexpr double kTileInset = 16, kTileRadius = 48;
constexpr double kRingCx = 128, kRingCy = 128, kRingR = 78, kRingWidth = 12;
// Play triangle, pointing right, its centre of mass on the ring's centre.
constexpr double kTri[3][2] = {{104, 82}, {104, 174}, {180, 128}};
const char *kTop = "#1b2a3a", *kBottom = "#0f8f8a", *kRing = "#e8f4f2", *kPlay = "#ffb547";

QString svg() {
    QString s;
    s += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
                        "  <defs>\n"
                        "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
                        "      <stop offset=\"0\" stop-color=\"%1\"/>\n"
                        "      <stop offset=\"1\" stop-color=\"%2\"/>\n"
                        "    </linearGradient>\n"
                        "  </defs>\n")
             .arg(QLatin1String(kTop), QLatin1String(kBottom));
    s += QStringLiteral("  <rect x=\"%1\" y=\"%1\" width=\"%2\" height=\"%2\" rx=\"%3\" fill=\"url(#tile)\"/>\n")
             .arg(kTileInset)
             .arg(kCanvas - 2 * kTileInset)
             .arg(kTileRadius);
    s += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"none\" stroke=\"%4\" stroke-width=\"%5\"/>\n")
             .arg(kRingCx)
             .arg(kRingCy)
             .arg(kRingR)
             .arg(QLatin1String(kRing))
             .arg(kRingWidth);
    s += QStringLiteral("  <path d=\"M %1 %2 L %3 %4 L %5 %6 Z\" fill=\"%7\" stroke=\"%7\" stroke-width=\"8\" "
                        "stroke-linejoin=\"round\"/>\n")
             .arg(kTri[0][0]).arg(kTri[0][1]).arg(kTri[1][0]).arg(kTri[1][1]).arg(kTri[2][0]).arg(kTri[2][1])
             .arg(QLatin1String(kPlay));
    s += QStringLiteral("</svg>\n");
    return s;
}

QImage png(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kCanvas, size / kCanvas);
    QLinearGradient tile(0, kTileInset, 0, kCanvas - kTileInset);
    tile.setColorAt(0, QColor(QLatin1String(kTop)));
    tile.setColorAt(1, QColor(QLatin1String(kBottom)));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(kTileInset, kTileInset, kCanvas - 2 * kTileInset, kCanvas - 2 * kTileInset),
                      kTileRadius, kTileRadius);
    // The ring thins out at the smallest sizes; keep it at least a pixel wide.
    const double ring = std::max(kRingWidth, kCanvas / size);
    p.setPen(QPen(QColor(QLatin1String(kRing)), ring));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(kRingCx, kRingCy), kRingR, kRingR);
    QPainterPath tri;
    tri.moveTo(kTri[0][0], kTri[0][1]);
    tri.lineTo(kTri[1][0], kTri[1][1]);
    tri.lineTo(kTri[2][0], kTri[2][1]);
    tri.closeSubpath();
    p.setPen(QPen(QColor(QLatin1String(kPlay)), 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(QLatin1String(kPlay)));
    p.drawPath(tri);
    p.end();
    return image;
}

} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantoli_icongen <folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    QFile file(out.filePath(QStringLiteral("vantoli.svg")));
    if (!file.open(QIODevice::WriteOnly) || file.write(svg().toUtf8()) < 0)
        return 1;
    file.close();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        if (!png(size).save(out.filePath(QStringLiteral("vantoli-%1.png").arg(size))))
            return 1;
    return 0;
}
