// The themed controls: a button draws from its colours and answers clicks
// only while enabled, options are exclusive and answer over their caption,
// and the progress bar clamps its value and fills in proportion.
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"

#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace clip {
namespace {

QColor PixelOf(QWidget& w, QSize size, QPoint at)
{
    w.resize(size);
    return w.grab().toImage().pixelColor(at);
}

TEST(Controls, ButtonDrawsItsColoursAndIgnoresClicksWhenDisabled)
{
    MyButton b(QStringLiteral("Start"));
    b.setBackColor(0x0000FF);  // red, as 0x00BBGGRR
    b.setBackColorDisabled(0xFF0000);
    const QColor on = PixelOf(b, QSize(90, 28), QPoint(8, 22));
    QSignalSpy clicks(&b, &QAbstractButton::clicked);
    b.show();
    QTest::mouseClick(&b, Qt::LeftButton);
    b.setEnabled(false);
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    const QColor off = PixelOf(b, QSize(90, 28), QPoint(8, 22));
    EXPECT_TRUE(on.red() > 200 && on.blue() < 100 && off.blue() > off.red()) << "drawn from the disabled colour";
}

TEST(Controls, OptionsAreExclusiveAndOptionsAndChecksAnswerOverTheirCaption)
{
    QWidget parent;
    auto* a = new MyOption(QStringLiteral("Presets"), &parent);
    auto* b = new MyOption(QStringLiteral("Custom (Advanced)"), &parent);
    auto* check = new MyCheck(QStringLiteral("Shutdown after task complete"), &parent);
    b->setGeometry(0, 30, 200, 24);
    check->setGeometry(0, 60, 260, 24);
    parent.show();
    a->setChecked(true);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(150, 12));
    EXPECT_TRUE(b->isChecked() && !a->isChecked());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(200, 12));
    EXPECT_TRUE(check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_FALSE(check->isChecked());
}

TEST(Controls, ProgressIsClampedAndTheFillFollowsIt)
{
    MyProgressBar bar;
    for (const auto& [set, shown, x, filled] : {std::tuple{0, 0, 10, false}, {50, 50, 94, true}, {50, 50, 104, false},
                                                {101, 100, 192, true}, {INT_MIN, 0, 10, false}}) {
        bar.setValue(set);
        EXPECT_EQ(bar.Value(), shown) << set;
        const QColor c = PixelOf(bar, QSize(200, 20), QPoint(x, 3));
        EXPECT_EQ(c.blue() > 150 && c.red() < 120, filled) << set << " x " << x;
    }
}

}  // namespace
}  // namespace clip
