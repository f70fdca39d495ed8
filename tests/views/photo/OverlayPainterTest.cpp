// Pixels drawn for the photo, markers, dotted lines, hover colours and the blend zone.
#include "views/photo/OverlayPainter.h"

#include "PictureCompare.h"
#include "views/photo/BlendZoneGeometry.h"
#include "views/photo/OverlayHitTest.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace vm {
namespace {

const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);

QImage Surface(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kGrey);
    return image;
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000u;
}

// The centre fill of the marker at a window position.
QRgb MarkerFill(const QImage& image, QPoint centre) {
    return Pixel(image, centre.x(), centre.y());
}

TEST(OverlayPainter, MarkerIsFiveByFiveWithWhiteRim) {
    QImage image = Surface(20, 20);
    {
        QPainter painter(&image);
        OverlayPainter(painter, {0, 0}, 1.0f).Marker({10, 10}, QColor(kRed));
    }
    for (int y = 7; y <= 13; ++y) {
        for (int x = 7; x <= 13; ++x) {
            const bool outside = x < 8 || x > 12 || y < 8 || y > 12;
            const bool fill = x >= 9 && x <= 11 && y >= 9 && y <= 11;
            const QRgb want = outside ? kGrey : fill ? kRed : kWhite;
            EXPECT_EQ(Pixel(image, x, y), want) << x << "," << y;
        }
    }
}

TEST(OverlayPainter, PhotoIsStretchedByNearestNeighbourAndEmptyPhotoIsWhite) {
    QImage photo(4, 2, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(10, 0, 0), qRgb(0, 20, 0), qRgb(0, 0, 30), qRgb(40, 40, 0)};
    for (int x = 0; x < 4; ++x) {
        photo.setPixel(x, 0, colours[x]);
        photo.setPixel(x, 1, colours[3 - x]);
    }
    QImage image = Surface(60, 40);
    {
        QPainter painter(&image);
        // Photo pixel (0, 0) at window (5, 5), ten window pixels per photo pixel.
        OverlayPainter(painter, {-5, -5}, 10.0f).DrawPhoto(photo, photo.size());
    }
    EXPECT_EQ(Pixel(image, 4, 10), kGrey);
    EXPECT_EQ(Pixel(image, 5, 5), colours[0]);
    EXPECT_EQ(Pixel(image, 14, 14), colours[0]);
    EXPECT_EQ(Pixel(image, 15, 14), colours[1]); // no blend across the pixel border
    EXPECT_EQ(Pixel(image, 44, 24), colours[0]);
    EXPECT_EQ(Pixel(image, 45, 24), kGrey);

    // Scrolled so the photo starts off the surface: the visible part still lines up.
    QImage scrolled = Surface(20, 20);
    {
        QPainter painter(&scrolled);
        OverlayPainter(painter, {25, 0}, 10.0f).DrawPhoto(photo, photo.size());
    }
    EXPECT_EQ(Pixel(scrolled, 0, 0), colours[2]);
    EXPECT_EQ(Pixel(scrolled, 4, 0), colours[2]);
    EXPECT_EQ(Pixel(scrolled, 5, 0), colours[3]);

    QImage blank = Surface(100, 100);
    {
        QPainter painter(&blank);
        OverlayPainter(painter, {-10, -10}, 0.1f).DrawPhoto(QImage(), {600, 800});
    }
    EXPECT_EQ(Pixel(blank, 10, 10), kWhite);
    EXPECT_EQ(Pixel(blank, 69, 89), kWhite);
    EXPECT_EQ(Pixel(blank, 70, 89), kGrey);
}

// Feature 0 joins points 0-1, its child feature 1 joins points 2-3.
struct Overlays {
    std::vector<FeaturePoint> points{4};
    std::vector<Vec2> positions{{10, 10}, {30, 10}, {10, 30}, {30, 30}};
    std::vector<Feature> features{2};
    Overlays() {
        features[0].segments = {{0, 1}};
        features[0].children = {1};
        features[1].parent = 0;
        features[1].segments = {{2, 3}};
    }
};

TEST(OverlayPainter, HoveredFeatureTurnsItsOwnPointsRedNotItsChildrens) {
    Overlays o;
    QImage image = Surface(40, 40);
    {
        QPainter painter(&image);
        OverlayHover hover;
        hover.feature = 0;
        OverlayPainter(painter, {0, 0}, 1.0f)
            .DrawFeatures(o.features, o.points, o.positions, 5, hover);
    }
    EXPECT_EQ(MarkerFill(image, {10, 10}), kRed);
    EXPECT_EQ(MarkerFill(image, {30, 10}), kRed);
    EXPECT_EQ(MarkerFill(image, {10, 30}), kBlack);
    EXPECT_EQ(MarkerFill(image, {30, 30}), kBlack);
    EXPECT_EQ(Pixel(image, 20, 30) == kRed, false); // the child's line stays black
    bool redOnLine = false;
    for (int x = 14; x < 27; ++x) {
        redOnLine = redOnLine || Pixel(image, x, 10) == kRed;
    }
    EXPECT_TRUE(redOnLine);

    // Level -1 shows nothing at all.
    QImage none = Surface(40, 40);
    {
        QPainter painter(&none);
        OverlayPainter(painter, {0, 0}, 1.0f)
            .DrawFeatures(o.features, o.points, o.positions, -1, {});
    }
    EXPECT_EQ(none, Surface(40, 40));
}

TEST(OverlayPainter, BlendZonePicture) {
    // Three vertices, width 6, the left edge hovered: both edges red, centre black, and the
    // lines run on to the top and bottom of the surface.
    const std::vector<Vec2> zone{{20, 12}, {26, 24}, {20, 36}};
    QImage edges = Surface(48, 48);
    {
        QPainter painter(&edges);
        OverlayPainter(painter, {0, 0}, 1.0f).DrawBlendZone(zone, 6, -1, kBlendLeftEdge);
    }
    EXPECT_TRUE(test::SamePicture(edges, QStringLiteral("blend_zone_edge_hover")));
    EXPECT_NE(Pixel(edges, 20, 0), kGrey);
    EXPECT_NE(Pixel(edges, 20, 47), kGrey);
    EXPECT_EQ(MarkerFill(edges, {26, 24}), kBlack);

    QImage centre = Surface(48, 48);
    {
        QPainter painter(&centre);
        OverlayPainter(painter, {0, 0}, 1.0f).DrawBlendZone(zone, 6, -1, kBlendCentre);
    }
    EXPECT_EQ(MarkerFill(centre, {20, 12}), kRed);
    EXPECT_EQ(MarkerFill(centre, {26, 24}), kRed);

    QImage empty = Surface(48, 48);
    {
        QPainter painter(&empty);
        OverlayPainter(painter, {0, 0}, 1.0f).DrawBlendZone({}, 6, 0, kBlendCentre);
    }
    EXPECT_EQ(empty, Surface(48, 48));
}

} // namespace
} // namespace vm
