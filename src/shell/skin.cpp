#include "shell/skin.h"


namespace vantoli::shell {

QSize skinSlotSize(int slot) {
    static const QSize sizes[kSkinSlots] = {
        {80, 108}, {144, 24}, {144, 24}, {1, 43},  {10, 10},  {48, 24},  {96, 24},
        {400, 37}, {400, 37}, {180, 42}, {2, 28},  {6, 40},   {232, 43}, {50, 25},
        {100, 25}, {80, 24},  {100, 25}, {100, 25}, {100, 25}, {0, 0},    {90, 38},
    };
    if (slot < 0 || slot >= kSkinSlots)
        return {};
    return sizes[slot];
}

bool skinHasSlot(int skin, int slot) {
    if (slot < 0 || slot >= kSkinSlots || slot == 19)
        return false;
    if (slot == 20)
        return skin == 0;
    return skin == 0 || skin == 1;
}

QString skinResourcePath(int skin, int slot) {
    return QStringLiteral(":/skins/%1.png").arg(skinResourceNumber(skin, slot));
}

QString titleIconPath(int skin) { return QStringLiteral(":/skins/im%1.png").arg(skin == 0 ? 2 : 3); }

Cell titleButtonCell(int index, bool hover, bool maximised, bool pinned) {
    const int slot = hover ? 2 : 1;
    const auto at = [](int s, int x) { return Cell{s, QRect(x, 0, 24, 24)}; };
    switch (index) {
    case 0: return at(slot, 72);
    case 1: return maximised ? at(5, hover ? 24 : 0) : at(slot, 96);
    case 2: return at(slot, 120);
    case 3: return at(slot, 0);
    case 4: return at(6, (pinned ? 48 : 0) + (hover ? 24 : 0));
    case 5: return at(slot, 48);
    default: return {};
    }
}

Cell pageTabCell(int index, bool selected) {
    int x;
    switch (index) {
    case 9: x = 0; break;
    case 8: x = 100; break;
    case 13: x = 200; break;
    case 14: x = 300; break;
    default: return {};
    }
    return {selected ? 7 : 8, QRect(x, 0, 100, 37)};
}

Cell sideTabCell(int index, bool selected) {
    int x;
    switch (index) {
    case 11: x = 0; break;
    case 12: x = 60; break;
    case 7: x = 120; break;
    default: return {};
    }
    return {9, QRect(x, selected ? 0 : 21, 60, 21)};
}

Cell toggleStripCell(bool open) { return {11, QRect(open ? 0 : 3, 0, 3, 40)}; }

Cell transportNormalCell(int index) {
    switch (index) {
    case 0: return {12, QRect(0, 0, 58, 43)};
    case 1: return {13, QRect(0, 0, 25, 25)};
    case 2: return {14, QRect(0, 0, 25, 25)};
    case 3: return {16, QRect(50, 0, 25, 25)};
    case 4: return {16, QRect(25, 0, 25, 25)};
    case 5: return {18, QRect(0, 0, 25, 25)};
    case 6: return {16, QRect(75, 0, 25, 25)};
    case 7: return {18, QRect(50, 0, 25, 25)};
    default: return {};
    }
}

void SkinSet::load(int skin) {
    if (skin != 1)
        skin = 0;
    skin_ = skin;
    for (int i = 0; i < kSkinSlots; ++i) {
        if (!skinHasSlot(skin, i))
            continue;
        QPixmap p(skinResourcePath(skin, i));
        if (!p.isNull())
            slots_[static_cast<size_t>(i)] = p;
    }
    QPixmap icon(titleIconPath(skin));
    if (!icon.isNull())
        titleIcon_ = icon;
}

QPixmap SkinSet::cell(const Cell &c) const {
    if (c.slot < 0 || c.slot >= kSkinSlots)
        return {};
    const QPixmap &p = slots_[static_cast<size_t>(c.slot)];
    if (p.isNull())
        return {};
    return p.copy(c.src);
}

} // namespace vantoli::shell
