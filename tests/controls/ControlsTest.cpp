// The themed controls: colour layout, captions, the progress bar's range and
// the drawing of each control.
#include "controls/BgrColor.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"

#include <QImage>
#include <QPixmap>
#include <QSet>
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
    const std::pair<quint32, QColor> cases[] = {
        {0x0000FF, QColor(255, 0, 0)},  {0x00FF00, QColor(0, 255, 0)},          {0xFF0000, QColor(0, 0, 255)},
        {0x400000, QColor(0, 0, 0x40)}, {0x123456, QColor(0x56, 0x34, 0x12)},
    };
    for (const auto& [bgr, rgb] : cases) {
        EXPECT_EQ(ColorFromBgr(bgr), rgb) << std::hex << bgr;
        EXPECT_EQ(BgrFromColor(rgb), bgr) << std::hex << bgr;
    }
    EXPECT_EQ(ColorFromBgr(0xAB0000FF), QColor(255, 0, 0));  // the unused top byte is ignored
}

TEST(MyFrameTest, DrawsBodyHeaderAndBorderFromItsColours)
{
    MyFrame f(QStringLiteral("Output Video Formats"));
    f.setCornerRadius(0);
    f.setBodyColorTopLeft(0x0000FF);  // red
    f.setBodyColorBottomLeft(0x0000FF);
    f.setBodyColorBottomRight(0x00FF00);  // green
    f.setHeaderColorTopLeft(0x800000);
    f.setHeaderColorBottomLeft(0x800000);  // navy band
    f.setBorderColor(0x00FFFF);            // yellow
    const QImage img = Render(f, QSize(200, 120));
    const int band = f.headerHeight();
    ASSERT_GT(band, 10);
    EXPECT_EQ(f.contentsRect().top(), band + 1);
    EXPECT_EQ(QColor(img.pixel(199, 60)), QColor(255, 255, 0));
    EXPECT_EQ(QColor(img.pixel(3, band + 4)), QColor(255, 0, 0));
    EXPECT_GT(QColor(img.pixel(196, 116)).green(), 200);
    EXPECT_EQ(QColor(img.pixel(img.width() - 4, band / 2)), QColor(0, 0, 0x80));

    f.setCaption(QString());  // without a caption there is no band
    EXPECT_EQ(f.headerHeight(), 0);
    EXPECT_EQ(QColor(Render(f, QSize(200, 120)).pixel(3, 4)), QColor(255, 0, 0));
}

TEST(MyButtonTest, CaptionShowsDoubledAmpersandOnce)
{
    const std::pair<QString, QString> cases[] = {
        {"Save && Close", "Save & Close"}, {"&Open", "Open"}, {"A && B && C", "A & B & C"}, {"&&", "&"}, {"", ""}};
    for (const auto& [caption, shown] : cases)
        EXPECT_EQ(MyButton::DisplayText(caption), shown) << caption.toStdString();
    EXPECT_EQ(MyButton(QStringLiteral("Save && Close")).text(), "Save && Close");
}

TEST(MyButtonTest, DrawsItsColoursAndIgnoresClicksWhenDisabled)
{
    MyButton b(QStringLiteral("Start"));
    b.setBackColor(0x0000FF);
    b.setBackColorDisabled(0xFF0000);
    const QColor on = Render(b, QSize(90, 28)).pixel(8, 22);
    EXPECT_GT(on.red(), 200);
    EXPECT_LT(on.blue(), 100);

    QSignalSpy clicks(&b, &QAbstractButton::clicked);
    b.show();
    QTest::mouseClick(&b, Qt::LeftButton);
    b.setEnabled(false);
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    const QColor off = Render(b, QSize(90, 28)).pixel(8, 22);
    EXPECT_GT(off.blue(), off.red());  // drawn from the disabled colour
}

TEST(MyButtonTest, GlyphsDrawSomethingDifferentEach)
{
    QSet<QByteArray> looks;
    for (auto g : {MyButton::Glyph::None, MyButton::Glyph::Minimize, MyButton::Glyph::Close, MyButton::Glyph::Help,
                   MyButton::Glyph::About}) {
        MyButton b;
        b.setGlyph(g);
        const QImage img = Render(b, QSize(24, 24));
        looks.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
    }
    EXPECT_EQ(looks.size(), 5);
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
    const QImage checked = check->grab().toImage();
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_FALSE(check->isChecked());
    EXPECT_NE(checked, check->grab().toImage());
    EXPECT_GE(check->sizeHint().width(), check->fontMetrics().horizontalAdvance(check->text()));
}

TEST(MyProgressBarTest, ValueIsClampedAndTheFillFollowsIt)
{
    MyProgressBar bar;
    const std::pair<int, int> cases[] = {{0, 0}, {42, 42}, {100, 100}, {101, 100}, {-5, 0}, {INT_MAX, 100}, {INT_MIN, 0}};
    for (const auto& [set, shown] : cases) {
        bar.setValue(set);
        EXPECT_EQ(bar.Value(), shown) << set;
    }
    const auto filledColumns = [&](int value) {
        bar.setValue(value);
        const QImage img = Render(bar, QSize(200, 20));
        int n = 0;
        for (int x = 2; x < img.width() - 2; ++x) {
            const QColor c = img.pixel(x, 3);
            n += c.blue() > 150 && c.red() < 120;
        }
        return n;
    };
    EXPECT_EQ(filledColumns(0), 0);
    EXPECT_NEAR(filledColumns(50), 98, 4);
    EXPECT_NEAR(filledColumns(100), 196, 4);
}

}  // namespace
}  // namespace clip
