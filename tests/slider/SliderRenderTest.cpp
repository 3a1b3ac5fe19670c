// The slider's sizes, mappings and drawn pixels.
#include "slider/SliderTestSupport.h"

namespace clip::test {
namespace {

using Bitmap = Slider::Bitmap;

TEST(SliderBitmaps, HaveTheirSizes)
{
    Slider s;
    const struct {
        Bitmap which;
        QSize size;
    } cases[] = {
        {Bitmap::PicLeft, {11, 20}},      {Bitmap::PicRight, {14, 20}},     {Bitmap::PicHandle, {19, 10}},
        {Bitmap::PicEmptyFill, {1, 20}},  {Bitmap::PicFullFill, {1, 20}},   {Bitmap::PicUp, {20, 14}},
        {Bitmap::PicDown, {20, 11}},      {Bitmap::PicHandle2, {10, 19}},   {Bitmap::PicEmptyFill2, {20, 1}},
        {Bitmap::PicFullFill2, {20, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.which));
        EXPECT_EQ(s.bitmap(c.which).size(), c.size);
    }
    // The groove's interior differs from its edges, so recolouring shows.
    const QImage& full = s.bitmap(Bitmap::PicFullFill);
    EXPECT_NE(full.pixel(0, 6), full.pixel(0, 5));
    EXPECT_NE(full.pixel(0, 12), full.pixel(0, 13));
}

// ------------------------------------------------------------ size rules

TEST(SliderSize, RulesKeepMinimumLengthAndFixedThickness)
{
    const struct {
        const char* name;
        qint32 style;
        QSize requested;
        QSize expected;
    } cases[] = {
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

TEST(SliderSize, StyleSwitchSquaresTheControl)
{
    SliderHost host(QRect(0, 0, 200, 20));
    host->setSliderStyle(1);
    EXPECT_EQ(host->size(), QSize(20, 200));
    host->setSliderStyle(0);
    EXPECT_EQ(host->size(), QSize(200, 20));
    // A hidden control follows the same rules.
    Slider hidden;
    hidden.resize(300, 20);
    hidden.setSliderStyle(1);
    EXPECT_EQ(hidden.size(), QSize(20, 300));
}

// ------------------------------------------------------------ positions

TEST(SliderDraw, HandleSitsAtThePositionOfValue)
{
    const struct {
        const char* name;
        int width;
        qint32 min, max, value;
        int x;
    } cases[] = {
        {"min", 300, 0, 1000000, 0, 10},
        {"max", 300, 0, 1000000, 1000000, 266},  // N(266.5) is 266
        {"two pixels in", 300, 0, 1000000, 7813, 12},  // N(12.5) is 12, not 13
        {"one pixel in", 300, 0, 1000000, 3907, 12},   // N(11.5) is 12
        {"negative min", 300, -100, 100, 0, 138},
        {"negative min at min", 300, -100, 100, -100, 10},
        {"negative min at max", 300, -100, 100, 100, 266},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, c.width, 20), c.min, c.max);
        host->setValue(c.value);
        const QImage shot = Grab(*host);
        EXPECT_TRUE(ShowsBitmapAt(shot, host->bitmap(Bitmap::PicHandle), c.x, 4));
        EXPECT_FALSE(ShowsBitmapAt(shot, host->bitmap(Bitmap::PicHandle), c.x + 1, 4));
        EXPECT_FALSE(ShowsBitmapAt(shot, host->bitmap(Bitmap::PicHandle), c.x - 1, 4));
    }
}

TEST(SliderDraw, DraggingMapsThePointerAndDrawsTheHandleUnderIt)
{
    const struct {
        const char* name;
        double pointer;
        qint32 value;
        float handlePos;
        int drawnAt;
    } cases[] = {
        {"left of the track", 5, 0, 10.0f, 10},
        {"track start", 19, 0, 10.0f, 10},
        {"track end", 275, 1000000, 265.5f, 266},  // N(265.5) is 266
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
        EXPECT_TRUE(ShowsBitmapAt(Grab(*host), host->bitmap(Bitmap::PicHandle), c.drawnAt, 4));
    }
}

TEST(SliderDraw, HandleFollowsValueAgainAfterAWriteOrWithSnap)
{
    // A range of 4 steps: the pointer and the value's position differ.
    SliderHost host(QRect(10, 10, 300, 20), 0, 4);
    SendMove(*host, {100, 10}, Qt::LeftButton);  // t = 81/256, value N(1.27) = 1
    ASSERT_EQ(host->Value(), 1);
    const QImage& handle = host->bitmap(Bitmap::PicHandle);
    EXPECT_TRUE(ShowsBitmapAt(Grab(*host), handle, 90, 4));  // N(100 - 9.5)
    SendButton(*host, QEvent::MouseButtonRelease, {100, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(ShowsBitmapAt(Grab(*host), handle, 90, 4));
    host->setValue(1);
    EXPECT_TRUE(ShowsBitmapAt(Grab(*host), handle, 74, 4));  // N(9.5 + 64 + 1)

    host->setSnap(true);
    SendMove(*host, {100, 10}, Qt::LeftButton);
    EXPECT_TRUE(host->PointerDriven());
    EXPECT_TRUE(ShowsBitmapAt(Grab(*host), handle, 74, 4));
}

// ------------------------------------------------------------ selection

TEST(SliderDraw, SelectionShowsOnlyWhenItRunsForward)
{
    const struct {
        const char* name;
        qint32 start, end;
        bool shown;
    } cases[] = {
        {"forward", 20, 70, true},
        {"empty", 40, 40, false},
        {"reversed", 70, 20, false},
    };
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
        // Between the handle and the right cap; the selection 20..70 runs
        // from x = N(9.5 + 51 + 1) = 62 up to x = N(9.5 + 179 + 1) = 190.
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

TEST(SliderDraw, BackColorRecoloursBothEmptyStrips)
{
    SliderHost host(QRect(10, 10, 200, 20));
    host->setSliderStyle(1);
    host->setBackColor(0x2030A0);  // red A0, green 30, blue 20
    const QRgb expected = qRgb(0xA0, 0x30, 0x20);
    for (int i = 6; i <= 12; ++i) {
        EXPECT_EQ(host->bitmap(Bitmap::PicEmptyFill).pixel(0, i), expected);
        EXPECT_EQ(host->bitmap(Bitmap::PicEmptyFill2).pixel(i, 0), expected);
    }
    EXPECT_NE(host->bitmap(Bitmap::PicEmptyFill).pixel(0, 5), expected);
    host->setSliderStyle(0);
    host->setMin(0);
    host->setValue(0);
    EXPECT_EQ(Grab(*host).pixel(150, 9), expected);
}

// ------------------------------------------------------------ vertical

TEST(SliderVertical, HandleAndFillFollowValue)
{
    SliderHost host(QRect(10, 10, 300, 20), 0, 1000);
    host->setSliderStyle(1);
    ASSERT_EQ(host->size(), QSize(20, 300));
    host->setForeColor(0x000000);
    host->setForeColor2(0x0000FF);
    host->setBackColor(0x400000);
    const QImage& handle = host->bitmap(Bitmap::PicHandle2);

    host->setValue(0);
    EXPECT_TRUE(ShowsBitmapAt(Grab(*host), handle, 4, 300 - 30));
    EXPECT_EQ(host->bitmap(Bitmap::PicFullFill2).pixel(9, 0), qRgb(0, 0, 0));  // ForeColor at Min

    host->setValue(1000);
    QImage shot = Grab(*host);
    EXPECT_TRUE(ShowsBitmapAt(shot, handle, 4, 14));  // 300 - N(9.5 + 256 + 1 + 19)
    EXPECT_EQ(shot.pixel(9, 200), qRgb(255, 0, 0));  // below the handle: ForeColor2 at Max

    host->setValue(500);
    shot = Grab(*host);
    EXPECT_EQ(shot.pixel(9, 250), qRgb(128, 0, 0));  // 127.5 rounds to even
    EXPECT_EQ(shot.pixel(9, 100), qRgb(0, 0, 0x40));  // above the handle: the empty groove
}

TEST(SliderVertical, DraggingToTheTopBlendsToForeColor2)
{
    const struct {
        const char* name;
        double y;
        qint32 value;
        int red;
    } cases[] = {
        // t runs past 1 near the top and is clamped to the colour's range.
        {"top end", 0, 1000, 255},
        {"bottom end", 299, 0, 27},  // t = 29 / 275
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, 300, 20), 0, 1000);
        host->setSliderStyle(1);  // 20 x 300
        host->setForeColor(0x000000);
        host->setForeColor2(0x0000FF);
        SendMove(*host, {10, c.y}, Qt::LeftButton);
        EXPECT_EQ(host->Value(), c.value);
        EXPECT_EQ(qRed(host->bitmap(Bitmap::PicFullFill2).pixel(9, 0)), c.red);
    }
}

}  // namespace
}  // namespace clip::test
