#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cstdlib>
#include <ostream>

#include "model/demo_landmarks.h"
#include "tools/demo-pictures/demo_scene.h"

namespace {

struct DemoPicture {
    const char *file;
    const pondera::DemoLandmarkSet *set;
};

std::ostream &operator<<(std::ostream &os, const DemoPicture &p) {
    return os << p.file;
}

QImage load(const DemoPicture &p) {
    return QImage(QStringLiteral(PONDERA_RESOURCES_DIR "/") + QString::fromLatin1(p.file))
        .convertToFormat(QImage::Format_RGB32);
}

int colourDistance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

class DemoPictureTest : public ::testing::TestWithParam<DemoPicture> {};

// Every landmark of the picture's record must sit on the person: the pixel there is far from the
// colour the room (with the person's shadows) has at that place. A joint drawn off its landmark, or
// a landmark left on the wall by a change of the person's outline, shows up here.
TEST_P(DemoPictureTest, EveryLandmarkLiesOnThePerson) {
    const QImage photo = load(GetParam());
    ASSERT_FALSE(photo.isNull());
    ASSERT_EQ(photo.width(), 640);
    ASSERT_EQ(photo.height(), 480);
    const QImage room = pondera::demo::renderBackground(*GetParam().set);
    for (std::size_t i = 0; i < GetParam().set->size(); ++i) {
        const QPointF at = pondera::demo::toPicture((*GetParam().set)[i]);
        const int x = static_cast<int>(at.x());
        const int y = static_cast<int>(at.y());
        ASSERT_TRUE(photo.rect().contains(x, y)) << "landmark " << i;
        EXPECT_GE(colourDistance(photo.pixel(x, y), room.pixel(x, y)), 60)
            << "landmark " << i << " at (" << x << ", " << y << ")";
    }
}

// The committed JPEG is what the generator paints now, up to JPEG loss and grain: compared as
// 8 x 8 block averages, so that a generator change without regenerating the pictures fails.
TEST_P(DemoPictureTest, IsTheGeneratorsPicture) {
    const QImage photo = load(GetParam());
    ASSERT_EQ(photo.size(), QSize(640, 480));
    const QImage painted = pondera::demo::renderPicture(*GetParam().set);
    int worst = 0;
    long total = 0;
    int blocks = 0;
    for (int by = 0; by < 480; by += 8) {
        for (int bx = 0; bx < 640; bx += 8) {
            int sum[2][3] = {};
            for (int y = by; y < by + 8; ++y) {
                for (int x = bx; x < bx + 8; ++x) {
                    const QRgb a = photo.pixel(x, y);
                    const QRgb b = painted.pixel(x, y);
                    sum[0][0] += qRed(a), sum[0][1] += qGreen(a), sum[0][2] += qBlue(a);
                    sum[1][0] += qRed(b), sum[1][1] += qGreen(b), sum[1][2] += qBlue(b);
                }
            }
            int d = 0;
            for (int c = 0; c < 3; ++c)
                d += std::abs(sum[0][c] - sum[1][c]) / 64;
            worst = std::max(worst, d);
            total += d;
            ++blocks;
        }
    }
    EXPECT_LE(total / blocks, 1);
    EXPECT_LE(worst, 12);
}

INSTANTIATE_TEST_SUITE_P(DemoPictures, DemoPictureTest,
                         ::testing::Values(DemoPicture{"demo001.jpg", &pondera::kDemoSetA},
                                           DemoPicture{"demo003.jpg", &pondera::kDemoSetB}),
                         [](const auto &info) {
                             return std::string(info.param.file).substr(0, 7);
                         });

}  // namespace
