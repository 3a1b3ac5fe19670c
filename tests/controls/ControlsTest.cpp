// The themed controls: colour layout, colour properties, captions, the
// progress bar's range and the drawing of each control.
#include "controls/BgrColor.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"

#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace clip {
namespace {

QImage Render(QWidget& w, QSize size)
{
    w.resize(size);
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(BgrColorTest, ConvertsBothWays)
{
    struct Case {
        quint32 bgr;
        QColor rgb;
    };
    const Case cases[] = {
        {0x0000FF, QColor(255, 0, 0)},       {0x00FF00, QColor(0, 255, 0)},
        {0xFF0000, QColor(0, 0, 255)},       {0xFFC0C0, QColor(0xC0, 0xC0, 0xFF)},
        {0x400000, QColor(0, 0, 0x40)},      {0x123456, QColor(0x56, 0x34, 0x12)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColorFromBgr(c.bgr), c.rgb) << std::hex << c.bgr;
        EXPECT_EQ(BgrFromColor(c.rgb), c.bgr) << std::hex << c.bgr;
    }
    // The unused top byte is ignored.
    EXPECT_EQ(ColorFromBgr(0xAB0000FF), QColor(255, 0, 0));
}

TEST(MyFrameTest, ColourPropertiesRoundTripAndRepaint)
{
    MyFrame f(QStringLiteral("Header"));
    const char* names[] = {"BodyColorBottomLeft", "BodyColorBottomRight", "BodyColorTopLeft", "BorderColor",
                           "ForeColor", "HeaderColorBottomLeft", "HeaderColorTopLeft"};
    quint32 value = 0x102030;
    for (const char* name : names) {
        ASSERT_TRUE(f.setProperty(name, QVariant::fromValue<quint32>(value))) << name;
        EXPECT_EQ(f.property(name).value<quint32>(), value) << name;
        value += 0x010101;
    }
}

TEST(MyFrameTest, DrawsBodyHeaderAndBorderFromItsColours)
{
    MyFrame f(QStringLiteral("Output Video Formats"));
    f.setCornerRadius(0);
    f.setBodyColorTopLeft(0x0000FF);      // red
    f.setBodyColorBottomLeft(0x0000FF);
    f.setBodyColorBottomRight(0x00FF00);  // green
    f.setHeaderColorTopLeft(0x800000);
    f.setHeaderColorBottomLeft(0x800000);  // navy band
    f.setBorderColor(0x00FFFF);           // yellow
    const QImage img = Render(f, QSize(200, 120));
    const int band = f.headerHeight();
    ASSERT_GT(band, 10);
    EXPECT_EQ(f.contentsRect().top(), band + 1);
    EXPECT_EQ(QColor(img.pixel(0, 60)), QColor(255, 255, 0));
    EXPECT_EQ(QColor(img.pixel(199, 60)), QColor(255, 255, 0));
    EXPECT_EQ(QColor(img.pixel(3, band + 4)), QColor(255, 0, 0));
    const QColor corner = img.pixel(196, 116);
    EXPECT_GT(corner.green(), 200);
    EXPECT_LT(corner.red(), 60);
    const QColor head = img.pixel(img.width() - 4, band / 2);
    EXPECT_EQ(head, QColor(0, 0, 0x80));

    // Without a caption there is no band.
    f.setCaption(QString());
    EXPECT_EQ(f.headerHeight(), 0);
    const QImage plain = Render(f, QSize(200, 120));
    EXPECT_EQ(QColor(plain.pixel(3, 4)), QColor(255, 0, 0));
}

TEST(MyButtonTest, CaptionShowsDoubledAmpersandOnce)
{
    struct Case {
        const char* caption;
        const char* shown;
    };
    const Case cases[] = {{"Save && Close", "Save & Close"}, {"&Open", "Open"}, {"A && B && C", "A & B & C"},
                          {"Start Selection ", "Start Selection "}, {"", ""}, {"&&", "&"}};
    for (const Case& c : cases)
        EXPECT_EQ(MyButton::DisplayText(QString::fromLatin1(c.caption)), QString::fromLatin1(c.shown)) << c.caption;

    MyButton b(QStringLiteral("Save && Close"));
    EXPECT_EQ(b.text(), "Save && Close");
}

TEST(MyButtonTest, ColoursClickAndDisabledLook)
{
    MyButton b(QStringLiteral("Start"));
    b.setBackColor(0x0000FF);
    b.setBackColorDisabled(0xFF0000);
    b.setBackColorFocus(0x00FF00);
    b.setBorderColor(0x000000);
    b.setToolTipBackColor(0xFFFFFF);
    EXPECT_EQ(b.BackColor(), 0x0000FFu);
    EXPECT_EQ(b.property("BackColorDisabled").value<quint32>(), 0xFF0000u);
    EXPECT_EQ(b.ToolTipBackColor(), 0xFFFFFFu);

    const QImage on = Render(b, QSize(90, 28));
    const QColor mid = on.pixel(8, 22);
    EXPECT_GT(mid.red(), 200);
    EXPECT_LT(mid.blue(), 100);

    QSignalSpy clicks(&b, &QAbstractButton::clicked);
    b.show();
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);

    b.setEnabled(false);
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    const QImage off = Render(b, QSize(90, 28));
    const QColor dim = off.pixel(8, 22);
    EXPECT_GT(dim.blue(), dim.red());  // drawn from the disabled colour
}

TEST(MyButtonTest, GlyphsDrawSomethingDifferentEach)
{
    QList<QImage> images;
    for (auto g : {MyButton::Glyph::None, MyButton::Glyph::Minimize, MyButton::Glyph::Close, MyButton::Glyph::Help,
                   MyButton::Glyph::About}) {
        MyButton b;
        b.setGlyph(g);
        images << Render(b, QSize(24, 24));
    }
    for (int i = 0; i < images.size(); ++i)
        for (int j = i + 1; j < images.size(); ++j)
            EXPECT_NE(images[i], images[j]) << i << " vs " << j;
}

TEST(MyChoiceTest, OptionsAreExclusiveAndCheckToggles)
{
    QWidget parent;
    auto* a = new MyOption(QStringLiteral("Presets"), &parent);
    auto* b = new MyOption(QStringLiteral("Custom (Advanced)"), &parent);
    auto* check = new MyCheck(QStringLiteral("Shutdown after task complete"), &parent);
    a->setGeometry(0, 0, 200, 24);
    b->setGeometry(0, 30, 200, 24);
    check->setGeometry(0, 60, 260, 24);
    parent.show();
    a->setChecked(true);
    // The whole width of the control answers a click, caption included.
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(150, 12));
    EXPECT_TRUE(b->isChecked());
    EXPECT_FALSE(a->isChecked());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(200, 12));
    EXPECT_TRUE(check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_FALSE(check->isChecked());

    // Checked and unchecked look different.
    const QImage on = check->grab().toImage();
    check->setChecked(true);
    EXPECT_NE(on, check->grab().toImage());
    EXPECT_GE(check->sizeHint().width(),
              check->fontMetrics().horizontalAdvance(QStringLiteral("Shutdown after task complete")));
}

TEST(MyProgressBarTest, ValueIsClampedToTheRange)
{
    MyProgressBar bar;
    struct Case {
        int set;
        int shown;
    };
    const Case cases[] = {{0, 0}, {42, 42}, {100, 100}, {101, 100}, {-5, 0}, {INT_MAX, 100}, {INT_MIN, 0}};
    for (const Case& c : cases) {
        bar.setValue(c.set);
        EXPECT_EQ(bar.Value(), c.shown) << c.set;
        EXPECT_EQ(bar.property("Value").toInt(), c.shown) << c.set;
    }
}

TEST(MyProgressBarTest, FillGrowsWithTheValue)
{
    MyProgressBar bar;
    auto filledColumns = [&](int value) {
        bar.setValue(value);
        const QImage img = Render(bar, QSize(200, 20));
        int n = 0;
        for (int x = 2; x < img.width() - 2; ++x) {
            const QColor c = img.pixel(x, 3);
            if (c.blue() > 150 && c.red() < 120)
                ++n;
        }
        return n;
    };
    EXPECT_EQ(filledColumns(0), 0);
    const int half = filledColumns(50);
    const int full = filledColumns(100);
    EXPECT_NEAR(half, 98, 4);
    EXPECT_NEAR(full, 196, 4);
}

}  // namespace
}  // namespace clip
