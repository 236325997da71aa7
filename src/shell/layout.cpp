#include "shell/layout.h"

#include <algorithm>
#include <cmath>

namespace vantoli::shell {

int roundHalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }

namespace {

int half(int v) { return roundHalfEven(v / 2.0); }

QRect r(const Layout &l, const QString &name) { return l.rect.value(name); }

void put(Layout &l, const QString &name, int x, int y, int w, int h) {
    l.rect.insert(name, QRect(x, y, w, h));
}
void put(Layout &l, const QString &name, int x, int y, QSize size) {
    l.rect.insert(name, QRect(QPoint(x, y), size));
}

// The page rectangle below the title bar in normal mode.
QRect normalPage(QSize client) { return {2, 39, client.width() - 4, client.height() - 85}; }

} // namespace

QSize clampOuterSizeTwips(QSize twips, int compactMode, bool maximised) {
    if (compactMode != 0) {
        return {std::max(twips.width(), kCompactMinWidthTwips),
                std::max(twips.height(), kCompactMinHeightTwips)};
    }
    if (maximised)
        return twips;
    return {std::max(twips.width(), kNormalMinWidthTwips),
            std::max(twips.height(), kNormalMinHeightTwips)};
}

void placeTitleBar(const LayoutState &s, Layout &out) {
    const int sw = s.client.width();
    // Right-hand buttons, right to left, each from the one placed before.
    int left = sw - 32;
    put(out, QStringLiteral("npc2"), left, 4, 24, 24);
    left -= 24;
    put(out, QStringLiteral("npc1"), left, 4, 24, 24);
    left -= 24;
    put(out, QStringLiteral("npc0"), left, 4, 24, 24);
    left -= 28;
    put(out, QStringLiteral("npc5"), left, 4, 24, 24);
    left -= 24;
    put(out, QStringLiteral("npc3"), left, 4, 24, 24);
    left -= 24;
    put(out, QStringLiteral("npc4"), left, 4, 24, 24);

    // Page tabs, left to right from 200.
    put(out, QStringLiteral("npc8"), 200, 0, 100, 37);
    put(out, QStringLiteral("npc9"), 300, 0, 100, 37);
    put(out, QStringLiteral("npc13"), 400, 0, 100, 37);
    put(out, QStringLiteral("npc14"), 500, 0, 100, 37);

    const QRect page = normalPage(s.client);
    for (const char *name : {"zz", "zzp", "tv", "ying"})
        out.rect.insert(QString::fromLatin1(name), page);
}

static void placeCatalogAndFourthPage(const DesignSizes &d, Layout &out) {
    const QSize page = r(out, QStringLiteral("zzp")).size();
    put(out, QStringLiteral("Pic1"), 0, 0, page);
    put(out, QStringLiteral("wait"), 0, 0, page);
    put(out, QStringLiteral("jia"), half(page.width() - d.jia.width()),
        half(page.height() - d.jia.height()) - 20, d.jia);
    out.rect.insert(QStringLiteral("Web1"), bleed(page));
    out.rect.insert(QStringLiteral("Web9"), bleed(r(out, QStringLiteral("ying")).size()));
}

void placeSideBar(const LayoutState &s, const DesignSizes &d, Layout &out) {
    const QRect zz = r(out, QStringLiteral("zz"));
    const int w = zz.width();
    const int h = zz.height();
    put(out, QStringLiteral("l2"), w - kSideBarWidth, 0, kSideBarWidth, h);
    int stripLeft;
    if (s.sideBarOpen) {
        stripLeft = w - kSideBarWidth;
        put(out, QStringLiteral("L1"), 0, 0, stripLeft, h);
    } else {
        stripLeft = w - 4;
        put(out, QStringLiteral("L1"), 0, 0, w, h);
    }
    out.sideStripOpenGlyph = s.sideBarOpen;
    put(out, QStringLiteral("npc6"), stripLeft, half(h - 43), 3, 40);

    put(out, QStringLiteral("npc10"), 0, 0, 202, 28);
    put(out, QStringLiteral("npc11"), 8, 4, 60, 21);
    put(out, QStringLiteral("npc12"), 71, 4, 60, 21);
    put(out, QStringLiteral("npc7"), 134, 4, 60, 21);

    const QSize l1 = r(out, QStringLiteral("L1")).size();
    put(out, QStringLiteral("Pic2"), 0, 0, l1);
    put(out, QStringLiteral("ggx"), l1.width() - d.ggx.width(), 0, d.ggx);

    put(out, QStringLiteral("shan"), 0, h - 20, kSideBarWidth, 20);
    put(out, QStringLiteral("qk"), kSideBarWidth - 80, 6, d.qk);

    const QRect pageRect(0, 28, kSideBarWidth, h - 28 - 20);
    for (const char *name : {"Pic3", "Pic4", "Pic5"})
        out.rect.insert(QString::fromLatin1(name), pageRect);

    out.rect.insert(QStringLiteral("Web2"), bleed(l1));
    for (const char *name : {"Web3", "Web4", "Web5"})
        out.rect.insert(QString::fromLatin1(name), bleed(pageRect.size()));
}

void placeTvPage(const LayoutState &s, const DesignSizes &d, Layout &out) {
    const QRect tv = r(out, QStringLiteral("tv"));
    const int w = tv.width();
    const int h = tv.height();
    put(out, QStringLiteral("tvright"), w - kSideBarWidth, 0, kSideBarWidth, h);
    int stripLeft;
    if (s.tvSideBarOpen) {
        stripLeft = w - kSideBarWidth;
        put(out, QStringLiteral("tvleft"), 0, 0, stripLeft, h);
    } else {
        stripLeft = w - 4;
        put(out, QStringLiteral("tvleft"), 0, 0, w, h);
    }
    out.tvStripOpenGlyph = s.tvSideBarOpen;
    put(out, QStringLiteral("npc15"), stripLeft, half(h - 43), 3, 40);
    const QSize left = r(out, QStringLiteral("tvleft")).size();
    put(out, QStringLiteral("gtv"), left.width() - d.gtv.width(), 0, d.gtv);
    out.rect.insert(QStringLiteral("Web11"), bleed(QSize(kSideBarWidth, h)));
    out.rect.insert(QStringLiteral("Web10"), bleed(left));
}

void placePlayArea(const LayoutState &s, const DesignSizes &d, Layout &out) {
    const QSize area = r(out, QStringLiteral("Pic2")).size();
    const int w = area.width();
    put(out, QStringLiteral("peer"), 0, 0, area);
    const int guntTop = area.height() - d.guntHeight;
    put(out, QStringLiteral("gunt"), 0, guntTop, w, d.guntHeight);
    const int ztTop = guntTop - d.boZtHeight;
    put(out, QStringLiteral("bo_zt"), 0, ztTop, w, d.boZtHeight);
    put(out, QStringLiteral("Peerx"), 0, 0, w, ztTop);
    const QSize video(w, ztTop);
    put(out, QStringLiteral("PeerC"), 0, 0, video);
    put(out, QStringLiteral("Lpeer"), 0, 0, video);
    put(out, QStringLiteral("bo_ad"), 0, 0, video);

    const int adpLeft = half(video.width() - d.adp.width());
    const int adpTop = half(video.height() - d.adp.height() - 30);
    put(out, QStringLiteral("adp"), adpLeft, adpTop, d.adp);
    put(out, QStringLiteral("bo_pad"), half(video.width() - 468), adpTop + d.adp.height() + 30, 468, 60);
    out.rect.insert(QStringLiteral("Web8"), bleed(QSize(468, 60)));
    put(out, QStringLiteral("ad_huan"), half(video.width() - 450), half(video.height() - 260), 450, 260);
    out.rect.insert(QStringLiteral("Web7"), bleed(QSize(450, 260)));
    put(out, QStringLiteral("next_s"), adpLeft, adpTop + d.adp.height() + 10, d.nextS);

    if (s.compactMode != 0) {
        out.zhunAutoSize = false;
        put(out, QStringLiteral("zhun"), 13, 3, 120, d.zhun.height());
    } else {
        out.zhunAutoSize = true;
        put(out, QStringLiteral("zhun"), 13, 3, d.zhun);
    }
    put(out, QStringLiteral("times"), w - d.times.width() - 13, 3, d.times);
    put(out, QStringLiteral("bo_name"), half(w - d.boName.width()), 3, d.boName);
    put(out, QStringLiteral("huan"), 0, 0, d.huanWidth, d.huanHeight);

    // Bottom bar buttons: left group left to right, right group right to
    // left from the window's client width (not the bar's).
    put(out, QStringLiteral("bo_but0"), 20, 0, 58, 43);
    int left = 20 + 65;
    put(out, QStringLiteral("bo_but1"), left, 11, 25, 25);
    left += 29;
    put(out, QStringLiteral("bo_but5"), left, 11, 25, 25);
    left += 29;
    put(out, QStringLiteral("bo_but7"), left, 11, 25, 25);
    left += 30;
    put(out, QStringLiteral("bo_but2"), left, 11, 25, 25);
    left += 26;
    put(out, QStringLiteral("yin"), left, 11, 80, 24);
    int right = s.client.width() - 47;
    put(out, QStringLiteral("bo_but6"), right, 11, 25, 25);
    right -= 26;
    put(out, QStringLiteral("bo_but3"), right, 11, 25, 25);
    right -= 26;
    put(out, QStringLiteral("bo_but4"), right, 11, 25, 25);
    put(out, QStringLiteral("La0"), 470, 18, d.la0);

    const int volume = std::clamp(s.volume, 0, 100);
    const int knobLeft = roundHalfEven(double(80 - d.boV.width()) * volume / 100.0);
    put(out, QStringLiteral("bo_v"), knobLeft, 6, d.boV);
    put(out, QStringLiteral("bo_y"), 0, 11, knobLeft, 2);
}

void placeBottomBar(const LayoutState &s, Layout &out) {
    put(out, QStringLiteral("bo_foot"), 2, s.client.height() - 46, s.client.width() - 4, 43);
}

Layout layoutNormal(const LayoutState &s, const DesignSizes &d) {
    Layout out;
    placeBottomBar(s, out);
    placeTitleBar(s, out);
    placeCatalogAndFourthPage(d, out);
    placeSideBar(s, d, out);
    placeTvPage(s, d, out);
    put(out, QStringLiteral("Imi"), 12, 3, d.imi);
    put(out, QStringLiteral("ni_name"), 50, 13, d.niName);
    placePlayArea(s, d, out);
    return out;
}

Layout layoutCompact(const LayoutState &s, const DesignSizes &d) {
    Layout out;
    const int sw = s.client.width();
    const int sh = s.client.height();
    const int jbiLeft = sw - d.jbi.width() - 10;
    put(out, QStringLiteral("jbi"), jbiLeft, 2, d.jbi);
    const QRect page(2, 20, sw - 4, sh - 23);
    if (s.compactMode == 1) {
        if (jbiLeft - 50 < d.niName.width()) {
            out.niBo1Wrapped = true;
            put(out, QStringLiteral("ni_bo1"), 13, 5, jbiLeft - 50, d.niBo1WrappedHeight);
        } else {
            out.niBo1Wrapped = false;
            put(out, QStringLiteral("ni_bo1"), 13, 5, d.niBo1);
        }
        out.rect.insert(QStringLiteral("zz"), page);
        put(out, QStringLiteral("L1"), 0, 0, page.size());
        put(out, QStringLiteral("Pic2"), 0, 0, page.size());
        out.rect.insert(QStringLiteral("Web2"), bleed(page.size()));
        placePlayArea(s, d, out);
    } else if (s.compactMode == 2) {
        out.rect.insert(QStringLiteral("tv"), page);
        put(out, QStringLiteral("tvleft"), 0, 0, page.size());
        out.rect.insert(QStringLiteral("Web10"), bleed(page.size()));
    }
    return out;
}

Layout layoutFor(const LayoutState &s, const DesignSizes &d) {
    return s.compactMode != 0 ? layoutCompact(s, d) : layoutNormal(s, d);
}

std::vector<Slice> frameSlices(QSize client, bool compact) {
    const int sw = client.width();
    const int sh = client.height();
    if (!compact) {
        return {
            {{0, 55, 35, sh - 55}, {0, 55, 35, 8}},
            {{sw - 35, 55, 35, sh - 55}, {45, 55, 35, 8}},
            {{35, sh - 45, sw - 70, 45}, {35, 63, 10, 45}},
            {{0, sh - 45, 35, 45}, {0, 63, 35, 45}},
            {{sw - 35, sh - 45, 35, 45}, {45, 63, 35, 45}},
            {{40, 0, sw - 70, 55}, {40, 0, 10, 55}},
            {{0, 0, 40, 55}, {0, 0, 40, 55}},
            {{sw - 30, 0, 30, 55}, {50, 0, 30, 55}},
        };
    }
    return {
        {{0, 30, 35, sh - 30}, {0, 50, 35, 33}},
        {{sw - 35, 30, 35, sh - 30}, {45, 50, 35, 33}},
        {{35, sh - 45, sw - 70, 45}, {35, 63, 10, 45}},
        {{0, sh - 45, 35, 45}, {0, 63, 35, 45}},
        {{sw - 35, sh - 45, 35, 45}, {45, 63, 35, 45}},
        {{40, 0, sw - 70, 30}, {40, 0, 10, 30}},
        {{0, 0, 40, 30}, {0, 0, 40, 30}},
        {{sw - 30, 0, 30, 30}, {50, 0, 30, 30}},
    };
}

RoundedShape roundedShape(QSize outerPixels) {
    return {QRect(0, 0, outerPixels.width() + 1, outerPixels.height() + 1), QSize(4, 4)};
}

QRegion shapeRegion(const RoundedShape &shape) {
    // The region's right and bottom edges are exclusive, so it covers pixels
    // 0..w-1 and 0..h-1 of a (w + 1) by (h + 1) rectangle. A 4 by 4 corner
    // ellipse cuts the outermost pixel of each corner.
    const int w = shape.bounds.width() - 1;
    const int h = shape.bounds.height() - 1;
    QRegion region(0, 0, w, h);
    if (w < 2 || h < 2)
        return region;
    const int cw = shape.corner.width() / 4;
    const int ch = shape.corner.height() / 4;
    region -= QRegion(0, 0, cw, ch);
    region -= QRegion(w - cw, 0, cw, ch);
    region -= QRegion(0, h - ch, cw, ch);
    region -= QRegion(w - cw, h - ch, cw, ch);
    return region;
}

QRect titleTooltipBoxRect(const QRect &button, QSize tipLabel) {
    return {button.left() - 5, button.top() + button.height() + 3, tipLabel.width() + 5,
            tipLabel.height() + 5};
}

} // namespace vantoli::shell
