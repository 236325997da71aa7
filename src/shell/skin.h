#pragma once
// The two skins: 21 picture slots per skin, loaded from the resource files
// ":/skins/<number>.png" where number = skin * 100 + 101 + slot, and the
// cells of those pictures that each control shows.

#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>

namespace vantoli::shell {

inline constexpr int kSkinSlots = 21;
inline constexpr int kSkinCount = 2;

inline const QString kSkinNames[kSkinCount] = {QStringLiteral("黑色冷酷"), QStringLiteral("蓝色经典")};

// The size of each slot's picture; empty for slot 19, which no skin has.
QSize skinSlotSize(int slot);
constexpr int skinResourceNumber(int skin, int slot) { return skin * 100 + 101 + slot; }
// Skin 0 has slots 0 to 18 and 20; skin 1 has 0 to 18.
bool skinHasSlot(int skin, int slot);
QString skinResourcePath(int skin, int slot);
// The resource of the title icon of a skin.
QString titleIconPath(int skin);


// A cell of a slot picture.
struct Cell {
    int slot = -1;
    QRect src;
    bool operator==(const Cell &) const = default;
};

// Title-bar buttons npc0 to npc5 in normal or hover look.
Cell titleButtonCell(int index, bool hover, bool maximised, bool pinned);
// Page tabs npc8, npc9, npc13, npc14.
Cell pageTabCell(int index, bool selected);
// Side tabs npc11, npc12, npc7: row 0 selected, row 21 normal.
Cell sideTabCell(int index, bool selected);
// Toggle strips npc6 and npc15: columns 0 to 2 open, 3 to 5 closed.
Cell toggleStripCell(bool open);
// Normal look of the transport buttons bo_but0 to bo_but7.
Cell transportNormalCell(int index);

// The pictures of the current skin. A slot whose resource is missing keeps
// the picture it had before.
// Registers the skin pictures with the resource system; call once before the
// first load (the pictures live in a static library).
void initSkinResources();

class SkinSet {
public:
    // Loads skin 0 or 1 (other values load skin 0).
    void load(int skin);
    int skin() const { return skin_; }
    const QPixmap &slot(int i) const { return slots_.at(static_cast<size_t>(i)); }
    const QPixmap &titleIcon() const { return titleIcon_; }
    QPixmap cell(const Cell &c) const;

private:
    int skin_ = 0;
    std::array<QPixmap, kSkinSlots> slots_;
    QPixmap titleIcon_;
};

} // namespace vantoli::shell
