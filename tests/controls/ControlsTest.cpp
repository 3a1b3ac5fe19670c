// The themed controls: a button draws from its colours and answers clicks
// only while enabled, options are exclusive and options and checks answer
// over their caption, and the progress bar clamps its value and fills in
// proportion.
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace clip {
namespace {

QColor PixelOf(QWidget& w, QSize size, QPoint at) { return w.resize(size), w.grab().toImage().pixelColor(at); }

TEST(Controls, ButtonsOptionsAndChecksAnswerClicksAsTheirStateSays)
{
    QWidget parent;
    auto* button = new MyButton(QStringLiteral("Start"), &parent);
    auto* a = new MyOption(QStringLiteral("Presets"), &parent);
    auto* b = new MyOption(QStringLiteral("Custom (Advanced)"), &parent);
    auto* check = new MyCheck(QStringLiteral("Shutdown after task complete"), &parent);
    b->setGeometry(0, 30, 200, 24), check->setGeometry(0, 60, 260, 24), button->move(0, 90);
    button->setBackColor(0x0000FF), button->setBackColorDisabled(0xFF0000);  // red and blue, as 0x00BBGGRR
    parent.show();
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
    const QColor on = PixelOf(*button, QSize(90, 28), QPoint(8, 22));
    QTest::mouseClick(button, Qt::LeftButton);
    button->setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton);
    const QColor off = PixelOf(*button, QSize(90, 28), QPoint(8, 22));
    EXPECT_TRUE(clicks == 1 && on.red() > 200 && on.blue() < 100 && off.blue() > off.red());
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
        const QColor c = PixelOf(bar, QSize(200, 20), QPoint(x, 3));
        EXPECT_TRUE(bar.Value() == shown && (c.blue() > 150 && c.red() < 120) == filled) << set << " x " << x;
    }
}

}  // namespace
}  // namespace clip
