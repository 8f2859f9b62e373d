// Tests of the embedded record icon strip and application icon.
#include "resources/icons.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <gtest/gtest.h>

namespace kivo {
namespace {

QImage stripImage() {
    return iconStrip().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage pictureOf(const QImage& strip, int index) {
    return strip.copy(index * kIconSize, 0, kIconSize, kIconSize);
}

QImage iconImage(const QIcon& icon, int size) {
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) != 0;
    return count;
}

bool transparentAt(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) == 0;
}

TEST(IconStrip, HoldsThirtyThreePicturesOfSixteenPixelsWithAMask) {
    const QImage strip = stripImage();
    ASSERT_FALSE(strip.isNull()) << "the strip did not load from the resources";
    EXPECT_EQ(strip.width(), kIconCount * kIconSize);
    EXPECT_EQ(strip.height(), kIconSize);
    EXPECT_EQ(kIconCount, 33);
    EXPECT_EQ(kChoosableIcons, kIconCount - 1);
    EXPECT_TRUE(iconStrip().hasAlphaChannel());
    // The mask is monochrome: a pixel is either shown or not, never half.
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x) {
            const int alpha = qAlpha(strip.pixel(x, y));
            ASSERT_TRUE(alpha == 0 || alpha == 255) << "pixel " << x << "," << y;
        }
}

TEST(IconStrip, EveryChoosablePictureIsDrawnOnATransparentGround) {
    const QImage strip = stripImage();
    ASSERT_FALSE(strip.isNull());
    for (int i = 0; i < kChoosableIcons; ++i) {
        const QImage picture = pictureOf(strip, i);
        EXPECT_GE(opaquePixels(picture), 40) << "picture " << i << " is (nearly) empty";
        const int last = kIconSize - 1;
        EXPECT_TRUE(transparentAt(picture, 0, 0) || transparentAt(picture, last, 0) ||
                    transparentAt(picture, 0, last) || transparentAt(picture, last, last))
            << "picture " << i << " has no transparent corner";
    }
}

TEST(IconStrip, LastPictureIsBlank) {
    EXPECT_EQ(opaquePixels(pictureOf(stripImage(), kIconCount - 1)), 0);
}

TEST(IconStrip, NoTwoPicturesAreAlike) {
    const QImage strip = stripImage();
    ASSERT_FALSE(strip.isNull());
    for (int i = 0; i < kIconCount; ++i)
        for (int j = i + 1; j < kIconCount; ++j)
            EXPECT_NE(pictureOf(strip, i), pictureOf(strip, j)) << i << " and " << j;
}

TEST(IconPicture, IsItsOwnSquareOfTheStrip) {
    const QImage strip = stripImage();
    for (int i = 0; i < kIconCount; ++i) {
        const QImage image = iconImage(iconPicture(i), kIconSize);
        ASSERT_EQ(image.size(), QSize(kIconSize, kIconSize)) << "picture " << i;
        EXPECT_EQ(image, pictureOf(strip, i)) << "picture " << i;
    }
}

TEST(IconPicture, OutsideTheStripIsBlank) {
    // Records may hold any number as their icon; none of them may show a neighbour's picture
    // or read past the strip.
    for (int index : {-1, kIconCount, 1000, -1000}) {
        const QImage image = iconImage(iconPicture(index), kIconSize);
        EXPECT_EQ(image.size(), QSize(kIconSize, kIconSize)) << index;
        EXPECT_EQ(opaquePixels(image), 0) << index;
    }
}

// Twice the density is the same maps drawn larger: in each two-by-two block at least two pixels
// are the small picture's pixel (a corner may take a neighbour's colour to smooth a slope).
TEST(IconStrip, TwiceTheDensityIsTheSamePicturesDrawnLarger) {
    const QImage one = stripImage();
    const QImage two = iconStripTwice().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(two.size(), one.size() * 2);
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x) {
            int same = 0;
            for (int dy : {0, 1})
                for (int dx : {0, 1})
                    same += two.pixel(2 * x + dx, 2 * y + dy) == one.pixel(x, y);
            ASSERT_GE(same, 2) << "pixel " << x << "," << y;
        }
    const QPixmap dense = iconPicture(6).pixmap(QSize(kIconSize, kIconSize), 2.0);
    EXPECT_EQ(dense.size(), QSize(2 * kIconSize, 2 * kIconSize));
    EXPECT_EQ(dense.toImage().convertToFormat(QImage::Format_ARGB32),
              two.copy(6 * 2 * kIconSize, 0, 2 * kIconSize, 2 * kIconSize));
    const QList<QPixmap> pictures = iconPictures(2.0);
    ASSERT_EQ(pictures.size(), kIconCount);
    EXPECT_EQ(pictures[3].deviceIndependentSize(), QSizeF(kIconSize, kIconSize));
    EXPECT_EQ(pictures[3].size(), QSize(2 * kIconSize, 2 * kIconSize));
}

// On a dark theme every picture gets a light edge where its dark outline meets the ground; on a
// light one the pictures are as drawn. The mask stays all or nothing.
TEST(IconStrip, OnADarkThemeEveryPictureHasALightEdge) {
    const QImage light = stripImage();
    const QPalette previous = QGuiApplication::palette();
    QPalette dark = previous;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    QGuiApplication::setPalette(dark);
    const QImage shaded = stripImage();
    const QImage shadedTwice = iconStripTwice().toImage().convertToFormat(QImage::Format_ARGB32);
    QGuiApplication::setPalette(previous);
    EXPECT_EQ(stripImage(), light);

    ASSERT_EQ(shaded.size(), light.size());
    int edge = 0;
    for (int y = 0; y < light.height(); ++y)
        for (int x = 0; x < light.width(); ++x) {
            const QRgb was = light.pixel(x, y);
            const QRgb now = shaded.pixel(x, y);
            if (now != was) {
                ASSERT_TRUE(transparentAt(light, x, y)) << "pixel " << x << "," << y;
                ASSERT_EQ(qAlpha(now), 255);
                ASSERT_GE(qGray(now), 200);
                ++edge;
            }
            // No dark pixel meets the dark ground any more.
            if (qAlpha(now) == 0 || qGray(now) >= 96)
                continue;
            for (const auto& [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
                if (nx >= 0 && ny >= 0 && nx < light.width() && ny < light.height() &&
                    nx / kIconSize == x / kIconSize) {
                    ASSERT_NE(qAlpha(shaded.pixel(nx, ny)), 0) << "pixel " << x << "," << y;
                }
            }
        }
    EXPECT_GT(edge, kChoosableIcons * 12);
    EXPECT_GT(opaquePixels(shadedTwice), opaquePixels(iconStripTwice().toImage()));
}

TEST(ApplicationIcon, ComesInFiveSizesOfRedAndGreenBalloons) {
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 32, 48, 64, 96}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        const QImage image = iconImage(icon, size);
        ASSERT_EQ(image.size(), QSize(size, size)) << size;
        int red = 0;
        int green = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QColor c = QColor::fromRgba(image.pixel(x, y));
                if (c.alpha() == 0 || c.saturation() < 100)
                    continue;
                const int hue = c.hue();
                red += hue < 20 || hue > 340;
                green += hue > 90 && hue < 150;
            }
        EXPECT_GT(red, size * size / 16) << size;
        EXPECT_GT(green, size * size / 16) << size;
        EXPECT_TRUE(transparentAt(image, size - 1, 0)) << size;
    }
    // The small one is the balloons picture of the strip.
    EXPECT_EQ(iconImage(icon, 16), pictureOf(stripImage(), 4));
}

} // namespace
} // namespace kivo
