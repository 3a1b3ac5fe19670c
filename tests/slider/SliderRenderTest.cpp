// The slider's sizes, mappings and drawn pixels.
#include "slider/SliderTestSupport.h"

namespace clip::test {
namespace {

using Bitmap = Slider::Bitmap;

TEST(SliderSize, RulesKeepMinimumLengthAndFixedThickness)
{
    const struct { const char* name; qint32 style; QSize requested, expected; } cases[] = {
        {"horizontal too small", 0, {40, 50}, {63, 20}},
        {"horizontal wide", 0, {300, 7}, {300, 20}},
        {"horizontal at the minimum", 0, {63, 20}, {63, 20}},
        {"vertical too small", 1, {50, 40}, {20, 63}},
        {"vertical tall", 2, {5, 250}, {20, 250}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(0, 0, 200, 20));
        host->setSliderStyle(c.style);
        host->resize(c.requested);
        EXPECT_EQ(host->size(), c.expected);
        EXPECT_EQ(host->surface().size(), c.expected);
    }
}

TEST(SliderSize, StyleSwitchSquaresTheControlShownOrNot)
{
    SliderHost host(QRect(0, 0, 200, 20));
    host->setSliderStyle(1);
    EXPECT_EQ(host->size(), QSize(20, 200));
    host->setSliderStyle(0);
    EXPECT_EQ(host->size(), QSize(200, 20));
    Slider hidden;
    hidden.resize(300, 20);
    hidden.setSliderStyle(1);
    EXPECT_EQ(hidden.size(), QSize(20, 300));
}

TEST(SliderDraw, HandleSitsAtThePositionOfValue)
{
    const struct { const char* name; qint32 min, max, value; int x; } cases[] = {
        {"min", 0, 1000000, 0, 10},
        {"max", 0, 1000000, 1000000, 266},       // N(266.5) is 266
        {"two pixels in", 0, 1000000, 7813, 12}, // N(12.5) is 12, not 13
        {"one pixel in", 0, 1000000, 3907, 12},  // N(11.5) is 12
        {"negative min", -100, 100, 0, 138},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, 300, 20), c.min, c.max);
        host->setValue(c.value);
        EXPECT_TRUE(ShowsHandleAt(*host, c.x));
        EXPECT_FALSE(ShowsHandleAt(*host, c.x + 1));
        EXPECT_FALSE(ShowsHandleAt(*host, c.x - 1));
    }
}

TEST(SliderDraw, DraggingMapsThePointerClampedAndDrawsTheHandleUnderIt)
{
    const struct { const char* name; double pointer; qint32 value; float handlePos; int drawnAt; } cases[] = {
        {"left of the track", 5, 0, 10.0f, 10},
        {"track start", 19, 0, 10.0f, 10},
        {"track end (W - 25)", 275, 1000000, 265.5f, 266},  // N(265.5) is 266
        {"beyond the right end", 320, 1000000, 267.0f, 267},
        {"half a pixel", 146, 496094, 136.5f, 136},  // N(136.5) is 136
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
        host->setValue(500000);
        SendMove(*host, {c.pointer, 10}, Qt::LeftButton);
        EXPECT_EQ(host->Value(), c.value);
        EXPECT_FLOAT_EQ(host->HandlePos(), c.handlePos);
        // The stored pointer is clamped to 19.5 .. W - 23.5, the handle centred under it.
        EXPECT_FLOAT_EQ(host->PointerX(), (c.handlePos + 9.5f) * kTwips);
        EXPECT_TRUE(ShowsHandleAt(*host, c.drawnAt));
    }
}

TEST(SliderDraw, HandleFollowsValueAgainAfterAWriteOrWithSnap)
{
    // A range of 4 steps: the pointer and the value's position differ.
    SliderHost host(QRect(10, 10, 300, 20), 0, 4);
    SendMove(*host, {100, 10}, Qt::LeftButton);  // t = 81/256, value N(1.27) = 1
    ASSERT_EQ(host->Value(), 1);
    EXPECT_TRUE(ShowsHandleAt(*host, 90));  // N(100 - 9.5)
    SendButton(*host, QEvent::MouseButtonRelease, {100, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(ShowsHandleAt(*host, 90)) << "a release moves the handle";
    host->setValue(1);
    EXPECT_TRUE(ShowsHandleAt(*host, 74));  // N(9.5 + 64 + 1)

    host->setSnap(true);
    SendMove(*host, {100, 10}, Qt::LeftButton);
    EXPECT_TRUE(host->PointerDriven());
    EXPECT_TRUE(ShowsHandleAt(*host, 74));
}

TEST(SliderDraw, SelectionShowsOnlyWhenItRunsForwardOverTheRecolouredGroove)
{
    const struct { const char* name; qint32 start, end; bool shown; } cases[] = {{"forward", 20, 70, true}, {"empty", 40, 40, false}, {"reversed", 70, 20, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, 300, 20), 0, 100);
        host->setBackColor(0x400000);
        host->setValue(0);
        host->setSelectStart(c.start);
        host->setSelectEnd(c.end);
        const QImage shot = Grab(*host);
        const QRgb full = host->bitmap(Bitmap::PicFullFill).pixel(0, 9) & 0xFFFFFF;
        const QRgb empty = qRgb(0, 0, 0x40) & 0xFFFFFF;
        // 20..70 runs from x = N(9.5 + 51 + 1) = 62 up to x = N(9.5 + 179 + 1) = 190.
        int selected = 0;
        for (int x = 40; x < 280; ++x) {
            const QRgb p = shot.pixel(x, 9) & 0xFFFFFF;
            if (p == full)
                ++selected;
            else
                EXPECT_EQ(p, empty) << "x " << x;
        }
        EXPECT_EQ(selected, c.shown ? 190 - 62 : 0);
    }
}

TEST(SliderVertical, HandleAndBlendedFillFollowValueClampedAtTheTopEnd)
{
    SliderHost host(QRect(10, 10, 300, 20), 0, 1000);
    host->setSliderStyle(1);
    ASSERT_EQ(host->size(), QSize(20, 300));
    host->setForeColor(0x000000);
    host->setForeColor2(0x0000FF);
    host->setBackColor(0x400000);
    const QImage& handle = host->bitmap(Bitmap::PicHandle2);
    auto fillRed = [&] { return qRed(host->bitmap(Bitmap::PicFullFill2).pixel(9, 0)); };

    host->setValue(0);
    EXPECT_TRUE(ShowsBitmapAt(Grab(*host), handle, 4, 300 - 30));
    EXPECT_EQ(fillRed(), 0);  // ForeColor at Min
    host->setValue(1000);
    QImage shot = Grab(*host);
    EXPECT_TRUE(ShowsBitmapAt(shot, handle, 4, 14));  // 300 - N(9.5 + 256 + 1 + 19)
    EXPECT_EQ(shot.pixel(9, 200), qRgb(255, 0, 0));  // below the handle: ForeColor2 at Max
    host->setValue(500);
    shot = Grab(*host);
    EXPECT_EQ(shot.pixel(9, 250), qRgb(128, 0, 0));  // 127.5 rounds to even
    EXPECT_EQ(shot.pixel(9, 100), qRgb(0, 0, 0x40));  // above the handle: the recoloured groove

    // Dragging: near the top t runs past 1 and is clamped to the colour's range.
    SendMove(*host, {10, 0}, Qt::LeftButton);
    EXPECT_EQ(host->Value(), 1000);
    EXPECT_EQ(fillRed(), 255);
    SendMove(*host, {10, 299}, Qt::LeftButton);
    EXPECT_EQ(host->Value(), 0);
    EXPECT_EQ(fillRed(), 27);  // t = 29 / 275
}

}  // namespace
}  // namespace clip::test
