// SPDX-License-Identifier: GPL-3.0-or-later
// The drawn images: right size, and the alarm colours where the eye looks.
#include "ZirkoImages.h"
#include "TImageList.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <gtest/gtest.h>

namespace {

QColor PixelOf(const QIcon& Icon, int Size, QPoint At) {
    return QColor::fromRgba(Icon.pixmap(Size, Size).toImage().pixel(At));
}

TEST(ZirkoImages, RadarSquaresCarryTheAlarmColours) {
    struct TRow {
        int Index;
        bool (*IsColour)(const QColor&);
        const char* Name;
    };
    const TRow Rows[] = {
        {0,
         [](const QColor& C) {
             return std::abs(C.red() - C.green()) < 16 && std::abs(C.green() - C.blue()) < 16;
         },
         "grey"},
        {1, [](const QColor& C) { return C.red() > 180 && C.green() > 150 && C.blue() < 80; },
         "yellow"},
        {2, [](const QColor& C) { return C.red() > 150 && C.green() < 80 && C.blue() < 80; },
         "red"}};
    for (const TRow& Row : Rows) {
        const QIcon Icon = ZirkoRadarImage(Row.Index);
        ASSERT_FALSE(Icon.isNull()) << Row.Name;
        EXPECT_EQ(Icon.availableSizes().value(0), QSize(16, 16)) << Row.Name;
        EXPECT_TRUE(Row.IsColour(PixelOf(Icon, 16, {2, 2}))) << Row.Name;
        // The teal radar disc in the middle.
        const QColor Disc = PixelOf(Icon, 16, {6, 10});
        EXPECT_TRUE(Disc.red() < 60 && Disc.green() > 90 && Disc.blue() > 90) << Row.Name;
        EXPECT_EQ(Disc.alpha(), 255) << Row.Name;
    }
}

TEST(ZirkoImages, OutOfRangeIndexGivesNoImage) {
    EXPECT_TRUE(ZirkoRadarImage(-1).isNull());
    EXPECT_TRUE(ZirkoRadarImage(ZirkoRadarImageCount).isNull());
}

TEST(ZirkoImages, ListGetsTheThreeInOrder) {
    TImageList List;
    ZirkoAddRadarImages(List);
    ASSERT_EQ(List.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PixelOf(List.Image(i), 16, {2, 2}), PixelOf(ZirkoRadarImage(i), 16, {2, 2}));
    EXPECT_NE(PixelOf(List.Image(0), 16, {2, 2}), PixelOf(List.Image(1), 16, {2, 2}));
}

TEST(ZirkoImages, ProgramIconHas32x32AndIsDrawn) {
    const QIcon Icon = ZirkoProgramIcon();
    EXPECT_TRUE(Icon.availableSizes().contains(QSize(32, 32)));
    EXPECT_EQ(PixelOf(Icon, 32, {16, 16}).alpha(), 255);
    EXPECT_EQ(PixelOf(Icon, 32, {0, 0}).alpha(), 0); // rounded corner
}

// The renderings the program carries must not drift from their SVG sources.
TEST(ZirkoImages, CompiledInRenderingsMatchTheSvgSources) {
    const QString Dir = QStringLiteral(ZIRKO_TRAY_IMAGES_DIR);
    struct TRow {
        QString File;
        QIcon Icon;
        int Size;
    };
    const TRow Rows[] = {{Dir + "/radar_grey.svg", ZirkoRadarImage(0), 16},
                         {Dir + "/radar_yellow.svg", ZirkoRadarImage(1), 16},
                         {Dir + "/radar_red.svg", ZirkoRadarImage(2), 16},
                         {Dir + "/program.svg", ZirkoProgramIcon(), 16},
                         {Dir + "/program.svg", ZirkoProgramIcon(), 128}};
    for (const TRow& Row : Rows) {
        QImage Svg(Row.Size, Row.Size, QImage::Format_ARGB32);
        Svg.fill(Qt::transparent);
        QSvgRenderer Renderer(Row.File);
        ASSERT_TRUE(Renderer.isValid()) << qPrintable(Row.File);
        {
            QPainter Painter(&Svg);
            Renderer.render(&Painter);
        }
        const QImage Built =
            Row.Icon.pixmap(Row.Size, Row.Size).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(Svg.size(), QSize(Row.Size, Row.Size)) << qPrintable(Row.File);
        ASSERT_EQ(Built.size(), Svg.size()) << qPrintable(Row.File);
        int Differing = 0;
        for (int y = 0; y < Row.Size; ++y)
            for (int x = 0; x < Row.Size; ++x) {
                const QColor A = QColor::fromRgba(Svg.pixel(x, y)),
                             B = QColor::fromRgba(Built.pixel(x, y));
                if (std::abs(A.alpha() - B.alpha()) > 2 ||
                    (A.alpha() > 32 &&
                     (std::abs(A.red() - B.red()) > 4 || std::abs(A.green() - B.green()) > 4 ||
                      std::abs(A.blue() - B.blue()) > 4)))
                    ++Differing;
            }
        EXPECT_EQ(Differing, 0) << qPrintable(Row.File);
    }
}

} // namespace
