#include "shell/skin.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

using namespace vantoli::shell;

TEST(Skin, EverySlotPictureExistsWithItsSize) {
    initSkinResources();
    for (int skin = 0; skin < 2; ++skin) {
        for (int slot = 0; slot < kSkinSlots; ++slot) {
            const QString path = skinResourcePath(skin, slot);
            if (!skinHasSlot(skin, slot)) {
                EXPECT_FALSE(QFile::exists(path)) << qPrintable(path);
                continue;
            }
            const QImage img(path);
            ASSERT_FALSE(img.isNull()) << qPrintable(path);
            EXPECT_EQ(img.size(), skinSlotSize(slot)) << qPrintable(path);
        }
        EXPECT_EQ(QImage(titleIconPath(skin)).size(), QSize(32, 32));
    }
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/skins/121.png")));
    EXPECT_FALSE(QFile::exists(QStringLiteral(":/skins/120.png")));
    EXPECT_FALSE(QFile::exists(QStringLiteral(":/skins/221.png")));
}

TEST(Skin, MissingPicturesKeepThePreviousOne) {
    initSkinResources();
    SkinSet fresh;
    fresh.load(1);
    EXPECT_TRUE(fresh.slot(20).isNull());
    EXPECT_TRUE(fresh.slot(19).isNull());

    SkinSet s;
    s.load(0);
    const QImage black20 = s.slot(20).toImage();
    const QImage black0 = s.slot(0).toImage();
    s.load(1);
    EXPECT_EQ(s.skin(), 1);
    EXPECT_EQ(s.slot(20).toImage(), black20);
    EXPECT_NE(s.slot(0).toImage(), black0);
    // Other numbers load skin 0.
    s.load(7);
    EXPECT_EQ(s.skin(), 0);
    EXPECT_EQ(s.slot(0).toImage(), black0);
}

TEST(Skin, ResourceNumbers) {
    EXPECT_EQ(skinResourceNumber(0, 0), 101);
    EXPECT_EQ(skinResourceNumber(1, 18), 219);
}

TEST(Skin, CellsOfTheButtons) {
    // Title-bar buttons: normal from slot 1, hover from slot 2.
    EXPECT_EQ(titleButtonCell(2, false, false, false), (Cell{1, QRect(120, 0, 24, 24)}));
    EXPECT_EQ(titleButtonCell(0, true, false, false), (Cell{2, QRect(72, 0, 24, 24)}));
    EXPECT_EQ(titleButtonCell(3, false, false, false), (Cell{1, QRect(0, 0, 24, 24)}));
    EXPECT_EQ(titleButtonCell(5, true, false, false), (Cell{2, QRect(48, 0, 24, 24)}));
    // Maximise shows the restore glyph while maximised.
    EXPECT_EQ(titleButtonCell(1, false, false, false), (Cell{1, QRect(96, 0, 24, 24)}));
    EXPECT_EQ(titleButtonCell(1, false, true, false), (Cell{5, QRect(0, 0, 24, 24)}));
    EXPECT_EQ(titleButtonCell(1, true, true, false), (Cell{5, QRect(24, 0, 24, 24)}));
    // Always on top: 0 off, 24 off hover, 48 on, 72 on hover.
    EXPECT_EQ(titleButtonCell(4, false, false, false).src.x(), 0);
    EXPECT_EQ(titleButtonCell(4, true, false, false).src.x(), 24);
    EXPECT_EQ(titleButtonCell(4, false, false, true).src.x(), 48);
    EXPECT_EQ(titleButtonCell(4, true, false, true), (Cell{6, QRect(72, 0, 24, 24)}));
    EXPECT_EQ(titleButtonCell(6, false, false, false).slot, -1);

    EXPECT_EQ(pageTabCell(9, true), (Cell{7, QRect(0, 0, 100, 37)}));
    EXPECT_EQ(pageTabCell(8, false), (Cell{8, QRect(100, 0, 100, 37)}));
    EXPECT_EQ(pageTabCell(14, false).src.x(), 300);
    EXPECT_EQ(sideTabCell(12, true), (Cell{9, QRect(60, 0, 60, 21)}));
    EXPECT_EQ(sideTabCell(7, false), (Cell{9, QRect(120, 21, 60, 21)}));
    EXPECT_EQ(toggleStripCell(false).src.x(), 3);

    EXPECT_EQ(transportNormalCell(0), (Cell{12, QRect(0, 0, 58, 43)}));
    EXPECT_EQ(transportNormalCell(6), (Cell{16, QRect(75, 0, 25, 25)}));
    EXPECT_EQ(transportNormalCell(3).src.x(), 50);
    EXPECT_EQ(transportNormalCell(4).src.x(), 25);
    EXPECT_EQ(transportNormalCell(7), (Cell{18, QRect(50, 0, 25, 25)}));
}
