#pragma once
// Placement arithmetic of the main window. Every pass recomputes the
// rectangle of each named region from the client size and the view state;
// nothing here touches a widget, so the rules are checked without a screen.
//
// Rectangles are in the coordinates of the region's parent, as the region
// tree nests them (e.g. "Web2" in "Pic2", "bo_but0" in "bo_foot").
// Elements of control arrays are named by appending the index: "npc4",
// "bo_but6", "La0".

#include <QHash>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

#include <vector>

namespace vantoli::shell {

inline constexpr int kTwipsPerPixel = 15;

// Outer sizes kept in twips.
inline constexpr int kNormalMinWidthTwips = 13500;
inline constexpr int kNormalMinHeightTwips = 7000;
inline constexpr int kCompactMinWidthTwips = 4100;
inline constexpr int kCompactMinHeightTwips = 3000;
inline constexpr int kDefaultWidthTwips = 14850;
inline constexpr int kDefaultHeightTwips = 9830;
inline constexpr int kCompactWidthTwips = 5900;
inline constexpr int kCompactHeightTwips = 4800;

inline constexpr int kSideBarWidth = 202;

// Pixels from twips; 96 dpi.
constexpr int twipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

// Sizes the layout never sets: the design sizes of labels, pictures and
// buttons. Labels that size themselves to their text report their current
// natural width here.
struct DesignSizes {
    QSize jbi{15, 14};
    QSize niName{60, 14};  // natural size of the title label
    QSize niBo1{60, 14};   // natural one-line size of the compact title
    int niBo1WrappedHeight = 28;
    QSize boName{0, 12};
    QSize zhun{60, 12};
    QSize times{0, 12};
    QSize nextS{200, 12};
    QSize adp{180, 100};
    QSize ggx{20, 20};
    QSize gtv{20, 20};
    QSize jia{160, 60};
    QSize imi{32, 32};
    QSize qk{74, 14};
    QSize boV{10, 10};
    QSize la0{400, 14};
    int boZtHeight = 22;
    int guntHeight = 7;
    int huanHeight = 7;
    int huanWidth = 0;
};

struct LayoutState {
    QSize client;          // SW, SH
    int compactMode = 0;   // 0 normal, 1 compact player page, 2 compact TV page
    bool sideBarOpen = true;
    bool tvSideBarOpen = true;
    int volume = 100;      // 0 to 100
};

struct Layout {
    QHash<QString, QRect> rect;
    // Toggle strips: true draws the open-state glyph.
    bool sideStripOpenGlyph = true;
    bool tvStripOpenGlyph = true;
    // Compact title: wrapped inside a fixed width, or one line at natural width.
    bool niBo1Wrapped = false;
    // "zhun" keeps a fixed width in compact mode, sizes to its text otherwise.
    bool zhunAutoSize = true;
};

// Halves and fractions round half to even, like the assignment of a
// fractional value to an integer position.
int roundHalfEven(double v);

// The outer size after the minimum rules, in twips. Normal mode clamps unless
// maximised; compact mode always clamps to its own smaller minimum.
QSize clampOuterSizeTwips(QSize twips, int compactMode, bool maximised);

// The full pass of a normal-mode resize: title bar, pages, side bar, TV page,
// play area and bottom bar.
Layout layoutNormal(const LayoutState &s, const DesignSizes &d = {});
// The compact pass: the compact title, the page of the compact mode and, on
// the player page, the play area.
Layout layoutCompact(const LayoutState &s, const DesignSizes &d = {});
// Whichever pass the compact mode calls for.
Layout layoutFor(const LayoutState &s, const DesignSizes &d = {});

// Steps that also run on their own (after a side-bar toggle, at skin load).
void placeTitleBar(const LayoutState &s, Layout &out);
void placeSideBar(const LayoutState &s, const DesignSizes &d, Layout &out);
void placeTvPage(const LayoutState &s, const DesignSizes &d, Layout &out);
void placePlayArea(const LayoutState &s, const DesignSizes &d, Layout &out);
void placeBottomBar(const LayoutState &s, Layout &out);

// Where a web pane goes in a holder of the given size: 2 pixels beyond each
// edge, so the pane's own border stays hidden.
inline QRect bleed(QSize holder) { return {-2, -2, holder.width() + 4, holder.height() + 4}; }

// One stretched copy of the frame painter: destination in the window,
// source in the frame picture.
struct Slice {
    QRect dst;
    QRect src;
};
// The nine-slice copies of the frame, in painting order (later ones win).
std::vector<Slice> frameSlices(QSize client, bool compact);

// The window's outline: a rounded rectangle from (0, 0) to (w + 1, h + 1)
// with 4 by 4 corner ellipses, right and bottom edges exclusive, as the
// region rule of the platform this outline was first drawn for.
struct RoundedShape {
    QRect bounds; // (0, 0, w + 1, h + 1)
    QSize corner{4, 4};
};
RoundedShape roundedShape(QSize outerPixels);
QRegion shapeRegion(const RoundedShape &shape);

// Placement of the tooltip box under a title-bar button.
QRect titleTooltipBoxRect(const QRect &button, QSize tipLabel);

} // namespace vantoli::shell
