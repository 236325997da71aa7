// Draws the artwork of both skins and the shell's other pictures into a
// folder, as PNG files named by their resource numbers, plus the resource
// list skins.qrc. Run: vantoli_skingen <folder>  (QT_QPA_PLATFORM=offscreen
// works; the captions need a CJK font such as Noto Sans CJK SC).

#include "shell/skin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cstdio>
#include <functional>

using vantoli::shell::skinSlotSize;

namespace {

struct Palette {
    QColor titleTop, titleBottom;   // title band gradient, rows 0 to 38
    QColor body;                    // frame below the title band
    QColor border, highlight;       // outer line and the line inside it
    QColor separator;               // last row of the title band
    QColor glyph, glyphHover, hoverBack, closeHover;
    QColor tabSelTop, tabSelBottom, tabSelText, tabText, accent;
    QColor barTop, barBottom, barLine;
    QColor sideTop, sideBottom, sideSelTop, sideSelBottom, sideText, sideSelText;
    QColor button, buttonHover, buttonGlyph; // round play button
    QColor groove;
};

Palette blackPalette() {
    Palette p;
    p.titleTop = QColor(0x45, 0x45, 0x48);
    p.titleBottom = QColor(0x1f, 0x1f, 0x21);
    p.body = QColor(0x1b, 0x1b, 0x1d);
    p.border = QColor(0x05, 0x05, 0x06);
    p.highlight = QColor(0x5a, 0x5a, 0x5e);
    p.separator = QColor(0x0e, 0x0e, 0x0f);
    p.glyph = QColor(0xc8, 0xc8, 0xcc);
    p.glyphHover = QColor(0xff, 0xff, 0xff);
    p.hoverBack = QColor(0x5e, 0x5e, 0x64);
    p.closeHover = QColor(0xd0, 0x30, 0x24);
    p.tabSelTop = QColor(0x4a, 0x4a, 0x4e);
    p.tabSelBottom = QColor(0x1b, 0x1b, 0x1d);
    p.tabSelText = QColor(0xff, 0xff, 0xff);
    p.tabText = QColor(0xa8, 0xa8, 0xac);
    p.accent = QColor(0xff, 0x80, 0x00);
    p.barTop = QColor(0x33, 0x33, 0x36);
    p.barBottom = QColor(0x16, 0x16, 0x18);
    p.barLine = QColor(0x50, 0x50, 0x54);
    p.sideTop = QColor(0x3a, 0x3a, 0x3d);
    p.sideBottom = QColor(0x24, 0x24, 0x26);
    p.sideSelTop = QColor(0x5a, 0x5a, 0x5e);
    p.sideSelBottom = QColor(0x38, 0x38, 0x3b);
    p.sideText = QColor(0x9a, 0x9a, 0x9e);
    p.sideSelText = QColor(0xff, 0xa0, 0x30);
    p.button = QColor(0x4c, 0x4c, 0x50);
    p.buttonHover = QColor(0xff, 0x80, 0x00);
    p.buttonGlyph = QColor(0xf0, 0xf0, 0xf0);
    p.groove = QColor(0x0a, 0x0a, 0x0b);
    return p;
}

Palette bluePalette() {
    Palette p;
    p.titleTop = QColor(0x4f, 0x9d, 0xe8);
    p.titleBottom = QColor(0x1c, 0x5c, 0xb0);
    p.body = QColor(0x1a, 0x56, 0xa5);
    p.border = QColor(0x0d, 0x33, 0x6b);
    p.highlight = QColor(0x7e, 0xb8, 0xf0);
    p.separator = QColor(0x12, 0x44, 0x88);
    p.glyph = QColor(0xe6, 0xf0, 0xfc);
    p.glyphHover = QColor(0xff, 0xff, 0xff);
    p.hoverBack = QColor(0x74, 0xb0, 0xee);
    p.closeHover = QColor(0xd9, 0x41, 0x2b);
    p.tabSelTop = QColor(0xf7, 0xfb, 0xff);
    p.tabSelBottom = QColor(0xd6, 0xe6, 0xf8);
    p.tabSelText = QColor(0x16, 0x4f, 0x9c);
    p.tabText = QColor(0xe8, 0xf2, 0xff);
    p.accent = QColor(0xff, 0xb8, 0x30);
    p.barTop = QColor(0x3f, 0x8a, 0xd8);
    p.barBottom = QColor(0x17, 0x4f, 0x9a);
    p.barLine = QColor(0x8c, 0xc4, 0xf6);
    p.sideTop = QColor(0xe9, 0xf2, 0xfc);
    p.sideBottom = QColor(0xc4, 0xdb, 0xf3);
    p.sideSelTop = QColor(0x4f, 0x9d, 0xe8);
    p.sideSelBottom = QColor(0x23, 0x67, 0xbd);
    p.sideText = QColor(0x2a, 0x5a, 0x94);
    p.sideSelText = QColor(0xff, 0xff, 0xff);
    p.button = QColor(0x1c, 0x5c, 0xb0);
    p.buttonHover = QColor(0xff, 0xa8, 0x20);
    p.buttonGlyph = QColor(0xff, 0xff, 0xff);
    p.groove = QColor(0x0f, 0x3a, 0x75);
    return p;
}

QColor mix(const QColor &a, const QColor &b, double t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

// Row colours shared by every picture drawn over the same band, so that the
// pictures blend with the frame and the bars they sit on.
QColor titleRow(const Palette &p, int y) {
    if (y >= 39)
        return p.body;
    if (y == 38)
        return p.separator;
    return mix(p.titleTop, p.titleBottom, y / 37.0);
}
QColor barRow(const Palette &p, int y) {
    if (y <= 0)
        return p.barLine;
    return mix(p.barTop, p.barBottom, (y - 1) / 41.0);
}
QColor sideRow(const Palette &p, int y) {
    if (y >= 27)
        return p.separator;
    return mix(p.sideTop, p.sideBottom, y / 26.0);
}

QImage canvas(QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void fillRows(QImage &img, QRect area, const std::function<QColor(int)> &row) {
    QPainter g(&img);
    for (int y = area.top(); y <= area.bottom(); ++y)
        g.fillRect(QRect(area.left(), y, area.width(), 1), row(y - area.top()));
}

QFont captionFont(int pixelSize, bool bold) {
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QPen glyphPen(const QColor &c, double width = 1.6) {
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// ---- frame ---------------------------------------------------------------

QImage frame(const Palette &p) {
    QImage img = canvas(skinSlotSize(0));
    fillRows(img, img.rect(), [&](int y) { return y < 63 ? titleRow(p, y) : mix(p.body, p.barBottom, 0.5); });
    QPainter g(&img);
    // Outer line and the light line inside it along the top and the sides.
    g.setPen(p.border);
    g.drawRect(0, 0, img.width() - 1, img.height() - 1);
    g.setPen(p.highlight);
    g.drawLine(1, 1, img.width() - 2, 1);
    g.setPen(mix(p.highlight, p.body, 0.6));
    g.drawLine(1, 2, 1, img.height() - 2);
    g.drawLine(img.width() - 2, 2, img.width() - 2, img.height() - 2);
    g.setPen(mix(p.border, p.body, 0.4));
    g.drawLine(1, img.height() - 2, img.width() - 2, img.height() - 2);
    return img;
}

// ---- title-bar glyphs ----------------------------------------------------

enum class Glyph { Compact, Skin, Menu, Minimise, Maximise, Close, Restore, Pin };

void drawGlyph(QPainter &g, Glyph kind, const QColor &c, bool filled = false, const QColor &fill = {}) {
    g.setPen(glyphPen(c));
    g.setBrush(Qt::NoBrush);
    switch (kind) {
    case Glyph::Compact:
        g.drawRoundedRect(QRectF(5.5, 6.5, 13, 11), 1.5, 1.5);
        g.setBrush(c);
        g.drawRect(QRectF(11.5, 11.5, 5, 4));
        break;
    case Glyph::Skin: {
        QPainterPath shirt;
        shirt.moveTo(8, 6.5);
        shirt.lineTo(5.5, 9);
        shirt.lineTo(7.5, 11.5);
        shirt.lineTo(8.5, 10.5);
        shirt.lineTo(8.5, 17.5);
        shirt.lineTo(15.5, 17.5);
        shirt.lineTo(15.5, 10.5);
        shirt.lineTo(16.5, 11.5);
        shirt.lineTo(18.5, 9);
        shirt.lineTo(16, 6.5);
        shirt.quadTo(12, 9.5, 8, 6.5);
        g.drawPath(shirt);
        break;
    }
    case Glyph::Menu:
        g.drawLine(QPointF(7, 8), QPointF(17, 8));
        g.drawLine(QPointF(7, 12), QPointF(17, 12));
        g.drawLine(QPointF(7, 16), QPointF(17, 16));
        break;
    case Glyph::Minimise:
        g.drawLine(QPointF(7, 16), QPointF(17, 16));
        break;
    case Glyph::Maximise:
        g.drawRect(QRectF(7, 7, 10, 10));
        g.drawLine(QPointF(7, 8), QPointF(17, 8));
        break;
    case Glyph::Close:
        g.drawLine(QPointF(7.5, 7.5), QPointF(16.5, 16.5));
        g.drawLine(QPointF(16.5, 7.5), QPointF(7.5, 16.5));
        break;
    case Glyph::Restore:
        g.drawRect(QRectF(6.5, 9.5, 8, 8));
        g.drawPolyline(QList<QPointF>{{9.5, 9.5}, {9.5, 6.5}, {17.5, 6.5}, {17.5, 14.5}, {14.5, 14.5}});
        break;
    case Glyph::Pin: {
        // A push pin leaning right: head, collar and needle.
        g.save();
        g.translate(12, 12);
        g.rotate(40);
        if (filled)
            g.setBrush(fill);
        g.drawRoundedRect(QRectF(-3.5, -8.5, 7, 7), 1.5, 1.5);
        g.drawLine(QPointF(-5.5, -1.5), QPointF(5.5, -1.5));
        g.drawLine(QPointF(0, -1.5), QPointF(0, 7.5));
        g.restore();
        break;
    }
    }
}

// One 24 by 24 title-bar button cell at x in img, over the title band rows 4 to 27.
void titleCell(QImage &img, int x, const Palette &p, Glyph kind, bool hover, bool pinned = false) {
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    for (int y = 0; y < 24; ++y)
        g.fillRect(QRect(x, y, 24, 1), titleRow(p, y + 4));
    g.translate(x, 0);
    if (hover) {
        g.setPen(Qt::NoPen);
        g.setBrush(kind == Glyph::Close ? p.closeHover : p.hoverBack);
        g.drawRoundedRect(QRectF(1, 1, 22, 22), 4, 4);
    }
    const QColor c = hover ? p.glyphHover : p.glyph;
    drawGlyph(g, kind, c, pinned, p.accent);
}

QImage titleGlyphs(const Palette &p, bool hover) {
    QImage img = canvas(skinSlotSize(1));
    const Glyph cells[] = {Glyph::Compact, Glyph::Skin, Glyph::Menu, Glyph::Minimise, Glyph::Maximise, Glyph::Close};
    for (int i = 0; i < 6; ++i)
        titleCell(img, i * 24, p, cells[i], hover);
    return img;
}

QImage restoreGlyphs(const Palette &p) {
    QImage img = canvas(skinSlotSize(5));
    titleCell(img, 0, p, Glyph::Restore, false);
    titleCell(img, 24, p, Glyph::Restore, true);
    return img;
}

QImage pinGlyphs(const Palette &p) {
    QImage img = canvas(skinSlotSize(6));
    titleCell(img, 0, p, Glyph::Pin, false);
    titleCell(img, 24, p, Glyph::Pin, true);
    titleCell(img, 48, p, Glyph::Pin, false, true);
    titleCell(img, 72, p, Glyph::Pin, true, true);
    return img;
}

// ---- tabs ----------------------------------------------------------------

const QString kPageCaptions[4] = {QStringLiteral("正在播放"), QStringLiteral("在线影视"), QStringLiteral("电视直播"),
                                  QStringLiteral("精彩推荐")};
const QString kSideCaptions[3] = {QStringLiteral("剧集列表"), QStringLiteral("网络任务"), QStringLiteral("本地播放")};

QImage pageTabs(const Palette &p, bool selected) {
    QImage img = canvas(skinSlotSize(7));
    fillRows(img, img.rect(), [&](int y) { return titleRow(p, y); });
    QPainter g(&img);
    // The frame's outer line and the light line under it run through the tabs.
    g.fillRect(QRect(0, 0, img.width(), 1), p.border);
    g.fillRect(QRect(0, 1, img.width(), 1), p.highlight);
    g.setRenderHint(QPainter::Antialiasing);
    g.setRenderHint(QPainter::TextAntialiasing);
    for (int i = 0; i < 4; ++i) {
        const QRectF cell(i * 100, 0, 100, 37);
        if (selected) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(cell.left() + 3, 7, 94, 40), 5, 5);
            QLinearGradient grad(0, 7, 0, 37);
            grad.setColorAt(0, p.tabSelTop);
            grad.setColorAt(1, p.tabSelBottom);
            g.setPen(QPen(p.border, 1));
            g.setBrush(grad);
            g.drawPath(shape);
            g.setPen(QPen(p.accent, 2));
            g.drawLine(QPointF(cell.left() + 7, 8), QPointF(cell.right() - 7, 8));
        } else if (i > 0) {
            g.setPen(QPen(mix(p.highlight, p.titleBottom, 0.5), 1));
            g.drawLine(QPointF(cell.left() + 0.5, 14), QPointF(cell.left() + 0.5, 30));
        }
        g.setFont(captionFont(14, selected));
        g.setPen(selected ? p.tabSelText : p.tabText);
        g.drawText(cell.adjusted(0, 8, 0, 0), Qt::AlignCenter, kPageCaptions[i]);
    }
    return img;
}

QImage sideTabs(const Palette &p) {
    QImage img = canvas(skinSlotSize(9));
    fillRows(img, img.rect(), [&](int y) { return sideRow(p, (y % 21) + 4); });
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    g.setRenderHint(QPainter::TextAntialiasing);
    g.setFont(captionFont(12, false));
    for (int row = 0; row < 2; ++row) {
        const bool selected = row == 0;
        for (int i = 0; i < 3; ++i) {
            const QRectF cell(i * 60, row * 21, 60, 21);
            if (selected) {
                QLinearGradient grad(0, cell.top(), 0, cell.bottom());
                grad.setColorAt(0, p.sideSelTop);
                grad.setColorAt(1, p.sideSelBottom);
                g.setPen(QPen(p.border, 1));
                g.setBrush(grad);
                g.drawRoundedRect(cell.adjusted(1.5, 1.5, -1.5, -0.5), 4, 4);
            }
            g.setPen(selected ? p.sideSelText : p.sideText);
            g.drawText(cell, Qt::AlignCenter, kSideCaptions[i]);
        }
    }
    return img;
}

QImage sideHeader(const Palette &p) {
    QImage img = canvas(skinSlotSize(10));
    fillRows(img, img.rect(), [&](int y) { return sideRow(p, y); });
    return img;
}

QImage toggleStrip(const Palette &p) {
    QImage img = canvas(skinSlotSize(11));
    fillRows(img, img.rect(), [&](int y) { return mix(p.barTop, p.barBottom, y / 39.0); });
    // Arrows of 3 pixels: open points right (fold the bar away), closed left.
    const QColor c = p.glyphHover;
    for (int col = 0; col < 3; ++col) {
        const int reach = 3 - col; // rows either side of the middle
        for (int y = 20 - reach; y < 20 + reach; ++y) {
            img.setPixelColor(col, y, c);
            img.setPixelColor(5 - col, y, c);
        }
    }
    return img;
}

// ---- bottom bar ----------------------------------------------------------

QImage barColumn(const Palette &p) {
    QImage img = canvas(skinSlotSize(3));
    fillRows(img, img.rect(), [&](int y) { return barRow(p, y); });
    return img;
}

// Background of a 25 by 25 cell at the bar's row 11.
void barCell(QPainter &g, const Palette &p, int x, int w = 25, int h = 25, int top = 11) {
    for (int y = 0; y < h; ++y)
        g.fillRect(QRect(x, y, w, 1), barRow(p, y + top));
}

enum class Transport { Play, Pause, Stop, Sound, Muted, OpenFile, FullScreen, SideBar, Previous, Next, None };

void transportGlyph(QPainter &g, Transport kind, const QColor &c) {
    g.setPen(glyphPen(c, 1.5));
    g.setBrush(Qt::NoBrush);
    switch (kind) {
    case Transport::Stop:
        g.setBrush(c);
        g.drawRoundedRect(QRectF(8, 8, 9, 9), 1, 1);
        break;
    case Transport::Sound:
    case Transport::Muted: {
        QPainterPath speaker;
        speaker.moveTo(5.5, 10);
        speaker.lineTo(8.5, 10);
        speaker.lineTo(12.5, 6.5);
        speaker.lineTo(12.5, 18.5);
        speaker.lineTo(8.5, 15);
        speaker.lineTo(5.5, 15);
        speaker.closeSubpath();
        g.setBrush(c);
        g.drawPath(speaker);
        g.setBrush(Qt::NoBrush);
        if (kind == Transport::Sound) {
            g.drawArc(QRectF(10, 8.5, 6, 8), -50 * 16, 100 * 16);
            g.drawArc(QRectF(10, 5.5, 10, 14), -50 * 16, 100 * 16);
        } else {
            g.drawLine(QPointF(15, 10), QPointF(20, 15));
            g.drawLine(QPointF(20, 10), QPointF(15, 15));
        }
        break;
    }
    case Transport::OpenFile: {
        g.setBrush(c);
        QPainterPath up;
        up.moveTo(12.5, 6);
        up.lineTo(18.5, 13);
        up.lineTo(6.5, 13);
        up.closeSubpath();
        g.drawPath(up);
        g.drawRect(QRectF(6.5, 15.5, 12, 2.5));
        break;
    }
    case Transport::FullScreen:
        g.drawPolyline(QList<QPointF>{{6.5, 10}, {6.5, 6.5}, {10, 6.5}});
        g.drawPolyline(QList<QPointF>{{15, 6.5}, {18.5, 6.5}, {18.5, 10}});
        g.drawPolyline(QList<QPointF>{{18.5, 15}, {18.5, 18.5}, {15, 18.5}});
        g.drawPolyline(QList<QPointF>{{10, 18.5}, {6.5, 18.5}, {6.5, 15}});
        break;
    case Transport::SideBar:
        g.drawRoundedRect(QRectF(5.5, 6.5, 14, 12), 1.5, 1.5);
        g.setBrush(c);
        g.drawRect(QRectF(14, 6.5, 5.5, 12));
        break;
    case Transport::Previous:
    case Transport::Next: {
        g.save();
        if (kind == Transport::Previous) {
            g.translate(25, 0);
            g.scale(-1, 1);
        }
        g.setBrush(c);
        QPainterPath a;
        a.moveTo(6.5, 7.5);
        a.lineTo(12.5, 12.5);
        a.lineTo(6.5, 17.5);
        a.closeSubpath();
        a.moveTo(12, 7.5);
        a.lineTo(18, 12.5);
        a.lineTo(12, 17.5);
        a.closeSubpath();
        g.setPen(Qt::NoPen);
        g.drawPath(a);
        g.drawRect(QRectF(18, 7.5, 1.8, 10));
        g.restore();
        break;
    }
    default:
        break;
    }
}

void smallButton(QImage &img, const Palette &p, int x, Transport kind, bool hover) {
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    barCell(g, p, x);
    g.translate(x, 0);
    if (kind == Transport::None)
        return;
    if (hover) {
        g.setPen(Qt::NoPen);
        g.setBrush(mix(p.barTop, p.glyphHover, 0.22));
        g.drawEllipse(QRectF(0.5, 0.5, 24, 24));
    }
    transportGlyph(g, kind, hover ? p.accent : p.glyph);
}

QImage playPause(const Palette &p) {
    QImage img = canvas(skinSlotSize(12));
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 4; ++i) {
        const bool hover = i % 2 == 1;
        const bool pause = i >= 2;
        const int x = i * 58;
        barCell(g, p, x, 58, 43, 0);
        const QPointF centre(x + 29, 21.5);
        QRadialGradient grad(centre - QPointF(5, 6), 22);
        const QColor base = hover ? p.buttonHover : p.button;
        grad.setColorAt(0, base.lighter(150));
        grad.setColorAt(1, base);
        g.setPen(QPen(p.border, 1));
        g.setBrush(grad);
        g.drawEllipse(centre, 17.5, 17.5);
        g.setPen(Qt::NoPen);
        g.setBrush(p.buttonGlyph);
        if (pause) {
            g.drawRoundedRect(QRectF(centre.x() - 6.5, centre.y() - 7.5, 4.5, 15), 1, 1);
            g.drawRoundedRect(QRectF(centre.x() + 2, centre.y() - 7.5, 4.5, 15), 1, 1);
        } else {
            QPainterPath tri;
            tri.moveTo(centre + QPointF(-5, -9));
            tri.lineTo(centre + QPointF(9, 0));
            tri.lineTo(centre + QPointF(-5, 9));
            tri.closeSubpath();
            g.drawPath(tri);
        }
    }
    return img;
}

QImage transportStrip(const Palette &p, int slot) {
    QImage img = canvas(skinSlotSize(slot));
    switch (slot) {
    case 13:
        smallButton(img, p, 0, Transport::Stop, false);
        smallButton(img, p, 25, Transport::Stop, true);
        break;
    case 14:
        smallButton(img, p, 0, Transport::Sound, false);
        smallButton(img, p, 25, Transport::Sound, true);
        smallButton(img, p, 50, Transport::Muted, false);
        smallButton(img, p, 75, Transport::Muted, true);
        break;
    case 16:
    case 17: {
        const bool hover = slot == 17;
        smallButton(img, p, 0, Transport::None, hover);
        smallButton(img, p, 25, Transport::OpenFile, hover);
        smallButton(img, p, 50, Transport::FullScreen, hover);
        smallButton(img, p, 75, Transport::SideBar, hover);
        break;
    }
    case 18:
        smallButton(img, p, 0, Transport::Previous, false);
        smallButton(img, p, 25, Transport::Previous, true);
        smallButton(img, p, 50, Transport::Next, false);
        smallButton(img, p, 75, Transport::Next, true);
        break;
    default:
        break;
    }
    return img;
}

QImage volumeTrack(const Palette &p) {
    QImage img = canvas(skinSlotSize(15));
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    barCell(g, p, 0, 80, 24, 11);
    g.setPen(QPen(mix(p.groove, p.barLine, 0.3), 1));
    g.setBrush(p.groove);
    g.drawRoundedRect(QRectF(0.5, 10.5, 79, 3), 1.5, 1.5);
    return img;
}

QImage volumeKnob(const Palette &p) {
    QImage img = canvas(skinSlotSize(4));
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    barCell(g, p, 0, 10, 10, 17);
    // The groove shows through where the knob is round.
    g.fillRect(QRect(0, 5, 10, 2), p.groove);
    QRadialGradient grad(QPointF(4, 4), 6);
    grad.setColorAt(0, QColor(0xff, 0xff, 0xff));
    grad.setColorAt(1, p.accent);
    g.setPen(QPen(p.border, 0.8));
    g.setBrush(grad);
    g.drawEllipse(QRectF(0.5, 0.5, 9, 9));
    return img;
}

// ---- other pictures ------------------------------------------------------

void drawLogoMark(QPainter &g, QRectF box, const QColor &from, const QColor &to) {
    QLinearGradient grad(box.topLeft(), box.bottomRight());
    grad.setColorAt(0, from);
    grad.setColorAt(1, to);
    g.setPen(Qt::NoPen);
    g.setBrush(grad);
    g.drawRoundedRect(box, box.width() * 0.22, box.width() * 0.22);
    const QPointF c = box.center();
    const double s = box.width() / 26.0;
    QPainterPath tri;
    tri.moveTo(c + QPointF(-4.5 * s, -7 * s));
    tri.lineTo(c + QPointF(7.5 * s, 0));
    tri.lineTo(c + QPointF(-4.5 * s, 7 * s));
    tri.closeSubpath();
    g.setBrush(Qt::white);
    g.drawPath(tri);
}

QImage titleIcon(const Palette &p) {
    QImage img = canvas({32, 32});
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    drawLogoMark(g, QRectF(3, 3, 26, 26), p.accent.lighter(115), p.accent.darker(140));
    return img;
}

QImage wordmark(const Palette &p) {
    QImage img = canvas(skinSlotSize(20));
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    g.setRenderHint(QPainter::TextAntialiasing);
    drawLogoMark(g, QRectF(4, 7, 24, 24), p.accent.lighter(115), p.accent.darker(140));
    g.setFont(captionFont(17, true));
    g.setPen(p.glyphHover);
    g.drawText(QRectF(32, 0, 58, 38), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Vantoli"));
    return img;
}

QImage pausePicture() {
    QImage img = canvas({180, 100});
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    g.setRenderHint(QPainter::TextAntialiasing);
    drawLogoMark(g, QRectF(62, 4, 56, 56), QColor(0xff, 0x9a, 0x2e), QColor(0xc0, 0x4a, 0x00));
    g.setFont(captionFont(22, true));
    g.setPen(QColor(0xe8, 0xe8, 0xe8));
    g.drawText(QRectF(0, 62, 180, 36), Qt::AlignCenter, QStringLiteral("Vantoli"));
    return img;
}

QImage messagePicture(const QString &text, bool spinner) {
    QImage img = canvas({160, 60});
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    g.setRenderHint(QPainter::TextAntialiasing);
    if (spinner) {
        for (int i = 0; i < 8; ++i) {
            g.save();
            g.translate(22, 30);
            g.rotate(i * 45);
            QColor c(0xff, 0x80, 0x00);
            c.setAlphaF(0.25 + 0.75 * i / 7.0);
            g.setPen(Qt::NoPen);
            g.setBrush(c);
            g.drawEllipse(QPointF(0, -10), 2.6, 2.6);
            g.restore();
        }
    } else {
        g.setPen(QPen(QColor(0xff, 0x80, 0x00), 2.2, Qt::SolidLine, Qt::RoundCap));
        g.drawArc(QRectF(12, 20, 20, 20), 60 * 16, 300 * 16);
        g.drawLine(QPointF(29, 19), QPointF(31.5, 24.5));
        g.drawLine(QPointF(31.5, 24.5), QPointF(26, 25.5));
    }
    g.setFont(captionFont(14, false));
    g.setPen(QColor(0x50, 0x50, 0x50));
    g.drawText(QRectF(40, 0, 120, 60), Qt::AlignVCenter | Qt::AlignLeft, text);
    return img;
}

QImage closeButton() {
    QImage img = canvas({20, 20});
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(0, 0, 0, 150));
    g.drawRoundedRect(QRectF(0, 0, 20, 20), 3, 3);
    g.setPen(glyphPen(Qt::white, 1.8));
    g.drawLine(QPointF(6, 6), QPointF(14, 14));
    g.drawLine(QPointF(14, 6), QPointF(6, 14));
    return img;
}

QImage closeCursor() {
    QImage img = canvas({32, 32});
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::white, 1.5));
    g.setBrush(QColor(0xd0, 0x30, 0x24));
    g.drawEllipse(QPointF(16, 16), 9, 9);
    g.setPen(glyphPen(Qt::white, 2));
    g.drawLine(QPointF(12.5, 12.5), QPointF(19.5, 19.5));
    g.drawLine(QPointF(19.5, 12.5), QPointF(12.5, 19.5));
    return img;
}

bool save(const QImage &img, const QString &path, QStringList &files) {
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
        return false;
    }
    files << QFileInfo(path).fileName();
    return true;
}

QImage slotImage(const Palette &p, int slot) {
    switch (slot) {
    case 0: return frame(p);
    case 1: return titleGlyphs(p, false);
    case 2: return titleGlyphs(p, true);
    case 3: return barColumn(p);
    case 4: return volumeKnob(p);
    case 5: return restoreGlyphs(p);
    case 6: return pinGlyphs(p);
    case 7: return pageTabs(p, true);
    case 8: return pageTabs(p, false);
    case 9: return sideTabs(p);
    case 10: return sideHeader(p);
    case 11: return toggleStrip(p);
    case 12: return playPause(p);
    case 15: return volumeTrack(p);
    case 20: return wordmark(p);
    default: return transportStrip(p, slot);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantoli_skingen <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path()))
        return 1;
    QStringList files;
    bool ok = true;
    const Palette palettes[2] = {blackPalette(), bluePalette()};
    for (int skin = 0; skin < 2; ++skin) {
        for (int slot = 0; slot < vantoli::shell::kSkinSlots; ++slot) {
            if (!vantoli::shell::skinHasSlot(skin, slot))
                continue;
            const QImage img = slotImage(palettes[skin], slot);
            if (img.size() != skinSlotSize(slot)) {
                std::fprintf(stderr, "skingen: slot %d has the wrong size\n", slot);
                ok = false;
            }
            ok &= save(img.convertToFormat(skin == 0 && slot == 20 ? QImage::Format_ARGB32 : QImage::Format_RGB32),
                       out.filePath(QStringLiteral("%1.png").arg(vantoli::shell::skinResourceNumber(skin, slot))),
                       files);
        }
        ok &= save(titleIcon(palettes[skin]), out.filePath(QStringLiteral("im%1.png").arg(skin + 2)), files);
    }
    ok &= save(pausePicture(), out.filePath(QStringLiteral("adp.png")), files);
    ok &= save(messagePicture(QStringLiteral("正在加载…"), true), out.filePath(QStringLiteral("jia.png")), files);
    ok &= save(messagePicture(QStringLiteral("加载失败，点击重试"), false), out.filePath(QStringLiteral("w3.png")), files);
    ok &= save(closeButton(), out.filePath(QStringLiteral("close.png")), files);
    ok &= save(closeCursor(), out.filePath(QStringLiteral("close_cursor.png")), files);

    QFile qrc(out.filePath(QStringLiteral("skins.qrc")));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return 1;
    QTextStream s(&qrc);
    s << "<RCC>\n  <qresource prefix=\"/skins\">\n";
    for (const QString &f : files)
        s << "    <file>" << f << "</file>\n";
    s << "  </qresource>\n</RCC>\n";
    return ok ? 0 : 1;
}
