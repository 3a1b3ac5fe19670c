// The slider's state, property writes, events, keys, persistence and overflow.
#include "slider/SliderTestSupport.h"

#include <QTest>

#include <functional>
#include <limits>

namespace clip::test {
namespace {

constexpr qint32 kInt32Max = std::numeric_limits<qint32>::max();
constexpr qint32 kInt32Min = std::numeric_limits<qint32>::min();

TEST(SliderModel, StartsWithItsInitialValues)
{
    Slider s;
    EXPECT_EQ(s.Value(), 50);
    EXPECT_EQ(s.Max(), 100);
    EXPECT_EQ(s.Min(), -100);
    EXPECT_EQ(s.SelectStart(), 0);
    EXPECT_EQ(s.SelectEnd(), 0);
    EXPECT_EQ(s.Style(), 0);
    EXPECT_TRUE(s.Enabled());
    EXPECT_FALSE(s.Snap());
    EXPECT_EQ(s.BackColor(), 0);
    EXPECT_EQ(s.ForeColor(), 0xC8C8);
    EXPECT_EQ(s.ForeColor2(), 200);
    // The colour components are derived only by the colour writes.
    EXPECT_EQ(s.ForeRGB().Red, 0.0f);
    EXPECT_EQ(s.ForeRGB().Green, 0.0f);
    EXPECT_FALSE(s.PointerDriven());
}

struct WriteCase {
    const char* name;
    std::function<void(Slider&)> write;
    qint32 value, min, max, selectStart, selectEnd;
    int changes;
};

TEST(SliderModel, WritesClampAndRaiseChangeEveryTime)
{
    const WriteCase cases[] = {
        {"value above max", [](Slider& s) { s.setValue(150); }, 100, -100, 100, 0, 0, 1},
        {"value below min", [](Slider& s) { s.setValue(-101); }, -100, -100, 100, 0, 0, 1},
        {"same value twice", [](Slider& s) { s.setValue(50); s.setValue(50); }, 50, -100, 100, 0, 0, 2},
        {"max below min", [](Slider& s) { s.setMax(-200); }, -99, -100, -99, 0, 0, 1},
        {"max equal to min", [](Slider& s) { s.setMax(-100); }, -99, -100, -99, 0, 0, 1},
        {"max below value", [](Slider& s) { s.setMax(10); }, 10, -100, 10, 0, 0, 1},
        {"min above max", [](Slider& s) { s.setMin(500); }, 99, 99, 100, 0, 0, 1},
        {"min above value", [](Slider& s) { s.setMin(60); }, 60, 60, 100, 0, 0, 1},
        {"selection stored unchanged", [](Slider& s) { s.setSelectStart(700); s.setSelectEnd(300); },
         50, -100, 100, 700, 300, 2},
        {"colours raise change", [](Slider& s) { s.setBackColor(1); s.setForeColor(2); s.setForeColor2(3); },
         50, -100, 100, 0, 0, 3},
        {"style, enabled and snap raise nothing",
         [](Slider& s) { s.setSliderStyle(1); s.setSliderEnabled(false); s.setSnap(true); }, 50, -100, 100, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host;
        EventLog log(*host);
        c.write(*host);
        EXPECT_EQ(host->Value(), c.value);
        EXPECT_EQ(host->Min(), c.min);
        EXPECT_EQ(host->Max(), c.max);
        EXPECT_EQ(host->SelectStart(), c.selectStart);
        EXPECT_EQ(host->SelectEnd(), c.selectEnd);
        EXPECT_EQ(log.events.count("Change"), c.changes);
        EXPECT_EQ(log.events.size(), c.changes);
    }
}

TEST(SliderModel, ColourWritesDeriveComponents)
{
    Slider s;
    s.setForeColor(0x80336699);  // the top byte is ignored
    EXPECT_EQ(s.ForeRGB().Red, 0x99);
    EXPECT_EQ(s.ForeRGB().Green, 0x66);
    EXPECT_EQ(s.ForeRGB().Blue, 0x33);
    s.setForeColor2(0x0000FF);
    EXPECT_EQ(s.Fore2RGB().Red, 255);
    EXPECT_EQ(s.Fore2RGB().Blue, 0);
}

TEST(SliderModel, HandlerWritesRunInsideTheOuterOperation)
{
    SliderHost host;
    EventLog log(*host);
    bool once = true;
    QObject::connect(host.slider, &Slider::Change, [&] {
        if (once) {
            once = false;
            host->setSelectStart(5);
        }
    });
    host->setValue(10);
    EXPECT_EQ(log.take(), QStringList({"Change", "Change"}));
    EXPECT_EQ(host->SelectStart(), 5);
}

// ------------------------------------------------------------ pointer events

struct PointerCase {
    const char* name;
    bool enabled;
    std::function<void(Slider&)> act;
    QStringList events;
    qint32 value;
};

TEST(SliderEvents, PointerSequences)
{
    // A 300-pixel control with 0..1000000: pixel 147 is the middle (500000).
    const PointerCase cases[] = {
        {"click", true,
         [](Slider& s) {
             SendMove(s, {147, 10}, Qt::NoButton);
             QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(147, 10));
         },
         {"MouseUp 1 0 147 10", "Click", "Scroll", "Change", "DblClick 500000"}, 500000},
        {"click while disabled", false,
         [](Slider& s) {
             SendMove(s, {147, 10}, Qt::NoButton);
             QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(147, 10));
         },
         {"MouseUp 1 0 147 10", "Click", "DblClick 0"}, 0},
        {"double-click", true,
         [](Slider& s) {
             SendMove(s, {275, 10}, Qt::NoButton);
             // As the platform delivers it: the second press comes as a
             // press followed by a double-click.
             SendButton(s, QEvent::MouseButtonPress, {275, 10}, Qt::LeftButton, Qt::LeftButton);
             SendButton(s, QEvent::MouseButtonRelease, {275, 10}, Qt::LeftButton, Qt::NoButton);
             SendButton(s, QEvent::MouseButtonPress, {275, 10}, Qt::LeftButton, Qt::LeftButton);
             SendButton(s, QEvent::MouseButtonDblClick, {275, 10}, Qt::LeftButton, Qt::LeftButton);
             SendButton(s, QEvent::MouseButtonRelease, {275, 10}, Qt::LeftButton, Qt::NoButton);
         },
         {"MouseUp 1 0 275 10", "Click", "Scroll", "Change", "DblClick 1000000", "Scroll", "Change",
          "DblClick 1000000", "MouseUp 1 0 275 10"},
         1000000},
        {"click without an earlier move goes to the stored position", true,
         [](Slider& s) { QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(200, 10)); },
         {"MouseUp 1 0 200 10", "Click", "Scroll", "Change", "DblClick 0"}, 0},
        {"right click is no click", true,
         [](Slider& s) {
             SendMove(s, {147, 10}, Qt::NoButton);
             QTest::mouseClick(&s, Qt::RightButton, {}, QPoint(147, 10));
         },
         {"MouseUp 2 0 147 10"}, 0},
        {"drag", true,
         [](Slider& s) {
             SendButton(s, QEvent::MouseButtonPress, {30, 10}, Qt::LeftButton, Qt::LeftButton);
             SendMove(s, {147, 10}, Qt::LeftButton);
             SendMove(s, {275, 10}, Qt::LeftButton);
         },
         {"Scroll", "Change", "Scroll", "Change"}, 1000000},
        {"drag while disabled", false,
         [](Slider& s) { SendMove(s, {147, 10}, Qt::LeftButton); }, {}, 0},
        {"move with two buttons", true,
         [](Slider& s) { SendMove(s, {147, 10}, Qt::LeftButton | Qt::RightButton); }, {}, 0},
        {"move with the right button", true,
         [](Slider& s) { SendMove(s, {147, 10}, Qt::RightButton); }, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
        host->setValue(0);
        host->setSliderEnabled(c.enabled);
        EventLog log(*host);
        c.act(*host);
        EXPECT_EQ(log.take(), c.events);
        EXPECT_EQ(host->Value(), c.value);
    }
}

TEST(SliderEvents, MovesStoreThePointerClampedOnlyWhenDragging)
{
    SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
    SendMove(*host, {5, 3}, Qt::NoButton);
    EXPECT_FLOAT_EQ(host->PointerX(), 5 * kTwips);
    EXPECT_FLOAT_EQ(host->PointerY(), 3 * kTwips);
    EXPECT_FALSE(host->PointerDriven());
    SendMove(*host, {5, 3}, Qt::LeftButton);
    EXPECT_FLOAT_EQ(host->PointerX(), 19.5f * kTwips);
    EXPECT_FLOAT_EQ(host->PointerY(), 3 * kTwips);
    EXPECT_TRUE(host->PointerDriven());
    SendMove(*host, {299, 3}, Qt::LeftButton);
    EXPECT_FLOAT_EQ(host->PointerX(), (300 - 23.5f) * kTwips);
    // A release changes nothing, so the handle stays where the pointer left it.
    SendButton(*host, QEvent::MouseButtonRelease, {299, 3}, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(host->PointerDriven());
}

TEST(SliderEvents, DblClickHandlerAssignsTheFieldDirectly)
{
    SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
    EventLog log(*host);
    QObject::connect(host.slider, &Slider::DblClick, [](qint32& value) { value = 5000000; });
    host->handleClick();
    // Beyond Max, no Change after it: the handler wrote the field itself.
    EXPECT_EQ(host->Value(), 5000000);
    EXPECT_EQ(log.take(), QStringList({"Click", "Scroll", "Change", "DblClick 0"}));
}

// ------------------------------------------------------------ keys

struct KeyCase {
    const char* name;
    qint32 start;
    bool enabled;
    Qt::Key key;
    qint32 expected;
};

TEST(SliderEvents, KeysMoveByOneAndRaiseChangeThenScroll)
{
    const KeyCase cases[] = {
        {"left", 0, true, Qt::Key_Left, -1},
        {"right", 0, true, Qt::Key_Right, 1},
        {"left at min", -100, true, Qt::Key_Left, -100},
        {"right at max", 100, true, Qt::Key_Right, 100},
        {"up leaves the value", 7, true, Qt::Key_Up, 7},
        {"a letter leaves the value", 7, true, Qt::Key_A, 7},
        {"percent is not the left arrow", 7, true, Qt::Key_Percent, 7},
        {"disabled still moves", 7, false, Qt::Key_Right, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host;
        host->setValue(c.start);
        host->setSliderEnabled(c.enabled);
        EventLog log(*host);
        QTest::keyClick(host.slider, c.key);
        EXPECT_EQ(host->Value(), c.expected);
        EXPECT_EQ(log.take(), QStringList({"Change", "Scroll"}));
    }
}

TEST(SliderEvents, KeyPressEndsPointerDrivenMode)
{
    SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
    SendMove(*host, {100, 10}, Qt::LeftButton);
    ASSERT_TRUE(host->PointerDriven());
    host->handleKeyDown(39);
    EXPECT_FALSE(host->PointerDriven());
}

// ------------------------------------------------------------ persistence

TEST(SliderPersistence, LoadAppliesValueBeforeTheLimits)
{
    struct Case {
        const char* name;
        MemoryPropertyBag bag;
        qint32 value, min, max;
        bool enabled;
    };
    const Case cases[] = {
        {"value clamped by the initial limits", {{"Value", 500}, {"Max", 1000}}, 100, -100, 1000, true},
        {"only max", {{"Max", 1000000}}, 50, -100, 1000000, true},
        {"the window's own instance", Slider::windowInstanceProperties(), 0, 0, 1000000, false},
        {"wrong types read as defaults", {{"Value", "many"}, {"Max", 1e12}, {"Enabled", "x"}}, 50, -100, 100, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, 300, 20));
        ASSERT_TRUE(host->readProperties(c.bag));
        EXPECT_EQ(host->Value(), c.value);
        EXPECT_EQ(host->Min(), c.min);
        EXPECT_EQ(host->Max(), c.max);
        EXPECT_EQ(host->Enabled(), c.enabled);
        // Loading squares a horizontal control and the size rules leave it
        // at the minimum.
        EXPECT_EQ(host->size(), QSize(63, 20));
    }
}

TEST(SliderPersistence, SelectionIsStoredWithoutEvents)
{
    SliderHost host;
    EventLog log(*host);
    MemoryPropertyBag bag{{"StartSelect", 30}, {"EndSelect", 10}, {"Snap", true}, {"BackColor", 0x123456}};
    ASSERT_TRUE(host->readProperties(bag));
    EXPECT_EQ(host->SelectStart(), 30);
    EXPECT_EQ(host->SelectEnd(), 10);
    EXPECT_TRUE(host->Snap());
    EXPECT_EQ(host->BackColor(), 0x123456);
    EXPECT_FALSE(host->PointerDriven());
    // Value, Max, Min, BackColor, ForeColor and ForeColor2 raise Change; the
    // rest nothing.
    EXPECT_EQ(log.take(), QStringList(6, "Change"));
    // Loading always derives the colour components.
    EXPECT_EQ(host->ForeRGB().Red, 200);
    EXPECT_EQ(host->ForeRGB().Green, 200);
    EXPECT_EQ(host->Fore2RGB().Red, 200);
}

TEST(SliderPersistence, SaveWritesEveryKeyInOrderAndRoundTrips)
{
    SliderHost host;
    host->setMax(1000);
    host->setValue(700);
    host->setSelectStart(3);
    host->setSelectEnd(9);
    host->setSliderEnabled(false);
    MemoryPropertyBag bag;
    host->writeProperties(bag);
    EXPECT_EQ(bag.writeOrder(), QStringList({"Value", "Max", "Min", "BackColor", "ForeColor", "ForeColor2",
                                             "Enabled", "Snap", "Style", "StartSelect", "EndSelect"}));
    EXPECT_EQ(bag.value("Value").toInt(), 700);
    EXPECT_EQ(bag.value("StartSelect").toInt(), 3);
    EXPECT_EQ(bag.value("Enabled").toBool(), false);

    SliderHost other;
    ASSERT_TRUE(other->readProperties(bag));
    // The saved value is clamped against the initial limits on the way back.
    EXPECT_EQ(other->Value(), 100);
    EXPECT_EQ(other->Max(), 1000);
    EXPECT_EQ(other->SelectEnd(), 9);
    EXPECT_FALSE(other->Enabled());
}

// ------------------------------------------------------------ overflow

struct OverflowCase {
    const char* name;
    std::function<void(Slider&)> setUp;
    std::function<bool(Slider&)> act;
    qint32 value, min, max;
    QStringList events;
};

TEST(SliderOverflow, StopsWhereItHappensAndReportsIt)
{
    const OverflowCase cases[] = {
        {"range beyond 32 bits in the redraw", [](Slider& s) { s.setMin(-1); s.setMax(1000); },
         [](Slider& s) { return s.setMax(kInt32Max); }, 50, -1, kInt32Max, {"Overflow"}},
        {"left arrow at the smallest value",
         [](Slider& s) { s.setMax(-1); s.setMin(kInt32Min); s.setValue(kInt32Min); },
         [](Slider& s) { return s.handleKeyDown(37); }, kInt32Min, kInt32Min, -1, {"Overflow"}},
        {"pointer mapping beyond 32 bits",
         [](Slider& s) { s.setMax(0); s.setMin(kInt32Min + 1); s.setValue(-5); },
         [](Slider& s) { return s.handleClick(); }, -5, kInt32Min + 1, 0, {"Click", "Overflow"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host;
        c.setUp(*host);
        const QImage before = host->surface();
        EventLog log(*host);
        EXPECT_FALSE(c.act(*host));
        EXPECT_EQ(host->Value(), c.value);
        EXPECT_EQ(host->Min(), c.min);
        EXPECT_EQ(host->Max(), c.max);
        EXPECT_EQ(log.take(), c.events);
        // No half-drawn picture is shown.
        EXPECT_EQ(host->surface(), before);
    }
}

TEST(SliderOverflow, ExtremeButValidLimitsWork)
{
    SliderHost host;
    ASSERT_TRUE(host->setMax(-1));
    ASSERT_TRUE(host->setMin(kInt32Min));  // range 2147483647
    EXPECT_TRUE(host->setValue(kInt32Max));
    EXPECT_EQ(host->Value(), -1);
    EXPECT_TRUE(host->handleKeyDown(39));
    EXPECT_EQ(host->Value(), -1);
}

}  // namespace
}  // namespace clip::test
