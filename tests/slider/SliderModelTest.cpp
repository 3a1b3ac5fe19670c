// The slider's clamping, events, keys, persistence and overflow.
#include "slider/SliderTestSupport.h"

#include <QTest>

#include <functional>
#include <limits>

namespace clip::test {
namespace {

constexpr qint32 kInt32Max = std::numeric_limits<qint32>::max();
constexpr qint32 kInt32Min = std::numeric_limits<qint32>::min();
using Act = std::function<void(Slider&)>;

TEST(SliderModel, WritesClampAndRaiseChangeEveryTime)
{
    const struct {
        const char* name;
        Act write;
        qint32 value, min, max, selectStart, selectEnd;
        int changes;
    } cases[] = {
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
        EXPECT_EQ(log.events, QStringList(c.changes, "Change"));
    }
}

TEST(SliderModel, HandlerWritesRunInsideTheOuterOperation)
{
    SliderHost host;
    EventLog log(*host);
    bool once = true;
    QObject::connect(host.slider, &Slider::Change, [&] {
        if (std::exchange(once, false))
            host->setSelectStart(5);
    });
    host->setValue(10);
    EXPECT_EQ(log.take(), QStringList({"Change", "Change"}));
    EXPECT_EQ(host->SelectStart(), 5);
}

void MoveAndClick(Slider& s, int x, Qt::MouseButton button = Qt::LeftButton)
{
    SendMove(s, {double(x), 10}, Qt::NoButton);
    QTest::mouseClick(&s, button, {}, QPoint(x, 10));
}

Act Key(Qt::Key key)
{
    return [key](Slider& s) { QTest::keyClick(&s, key); };
}

TEST(SliderEvents, PointerAndKeySequences)
{
    // A 300-pixel control with 0..1000000: pixel 147 is the middle (500000).
    const QStringList keyEvents{"Change", "Scroll"};
    const struct {
        const char* name;
        bool enabled;
        Act act;
        QStringList events;
        qint32 value;
        qint32 start = 0;
    } cases[] = {
        {"click", true, [](Slider& s) { MoveAndClick(s, 147); },
         {"MouseUp 1 0 147 10", "Click", "Scroll", "Change", "DblClick 500000"}, 500000},
        {"click while disabled", false, [](Slider& s) { MoveAndClick(s, 147); },
         {"MouseUp 1 0 147 10", "Click", "DblClick 0"}, 0},
        {"double-click, delivered as press, release, press, double-click, release", true,
         [](Slider& s) {
             SendMove(s, {275, 10}, Qt::NoButton);
             for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                                       QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
                 SendButton(s, type, {275, 10}, Qt::LeftButton,
                            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton);
         },
         {"MouseUp 1 0 275 10", "Click", "Scroll", "Change", "DblClick 1000000", "Scroll", "Change",
          "DblClick 1000000", "MouseUp 1 0 275 10"},
         1000000},
        {"click without an earlier move goes to the stored position", true,
         [](Slider& s) { QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(200, 10)); },
         {"MouseUp 1 0 200 10", "Click", "Scroll", "Change", "DblClick 0"}, 0},
        {"right click is no click", true, [](Slider& s) { MoveAndClick(s, 147, Qt::RightButton); },
         {"MouseUp 2 0 147 10"}, 0},
        {"drag", true,
         [](Slider& s) {
             SendButton(s, QEvent::MouseButtonPress, {30, 10}, Qt::LeftButton, Qt::LeftButton);
             SendMove(s, {147, 10}, Qt::LeftButton);
             SendMove(s, {275, 10}, Qt::LeftButton);
         },
         {"Scroll", "Change", "Scroll", "Change"}, 1000000},
        {"drag while disabled", false, [](Slider& s) { SendMove(s, {147, 10}, Qt::LeftButton); }, {}, 0},
        {"move with two buttons", true,
         [](Slider& s) { SendMove(s, {147, 10}, Qt::LeftButton | Qt::RightButton); }, {}, 0},
        {"move with the right button", true, [](Slider& s) { SendMove(s, {147, 10}, Qt::RightButton); }, {}, 0},
        // Keys move by one, raising Change then Scroll even when nothing moved.
        {"left key", true, Key(Qt::Key_Left), keyEvents, 6, 7},
        {"right key", true, Key(Qt::Key_Right), keyEvents, 8, 7},
        {"left key at min", true, Key(Qt::Key_Left), keyEvents, 0, 0},
        {"right key at max", true, Key(Qt::Key_Right), keyEvents, 1000000, 1000000},
        {"up key leaves the value", true, Key(Qt::Key_Up), keyEvents, 7, 7},
        {"a letter leaves the value", true, Key(Qt::Key_A), keyEvents, 7, 7},
        {"percent is not the left arrow", true, Key(Qt::Key_Percent), keyEvents, 7, 7},
        {"key while disabled still moves", false, Key(Qt::Key_Right), keyEvents, 8, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
        host->setValue(c.start);
        host->setSliderEnabled(c.enabled);
        EventLog log(*host);
        c.act(*host);
        EXPECT_EQ(log.take(), c.events);
        EXPECT_EQ(host->Value(), c.value);
    }
}

TEST(SliderEvents, MovesStoreThePointerButOnlyADragDrivesTheHandleUntilAKey)
{
    SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
    SendMove(*host, {5, 3}, Qt::NoButton);
    EXPECT_FLOAT_EQ(host->PointerX(), 5 * kTwips);  // unclamped
    EXPECT_FLOAT_EQ(host->PointerY(), 3 * kTwips);
    EXPECT_FALSE(host->PointerDriven());
    SendMove(*host, {5, 3}, Qt::LeftButton);
    EXPECT_TRUE(host->PointerDriven());
    host->handleKeyDown(39);
    EXPECT_FALSE(host->PointerDriven());
}

TEST(SliderEvents, DblClickHandlerAssignsTheFieldByReference)
{
    SliderHost host(QRect(10, 10, 300, 20), 0, 1000000);
    EventLog log(*host);
    QObject::connect(host.slider, &Slider::DblClick, [](qint32& value) { value = 5000000; });
    host->handleClick();
    // Beyond Max, and no Change after it: the handler wrote the field itself.
    EXPECT_EQ(host->Value(), 5000000);
    EXPECT_EQ(log.take(), QStringList({"Click", "Scroll", "Change", "DblClick 0"}));
}

TEST(SliderPersistence, LoadAppliesValueBeforeTheLimits)
{
    const struct { const char* name; MemoryPropertyBag bag; qint32 value, min, max; bool enabled; } cases[] = {
        {"value clamped by the initial limits", {{"Value", 500}, {"Max", 1000}}, 100, -100, 1000, true},
        {"only max", {{"Max", 1000000}}, 50, -100, 1000000, true},
        {"the window's own instance", Slider::windowInstanceProperties(), 0, 0, 1000000, false},
        {"wrong types read as defaults", {{"Value", "many"}, {"Max", 1e12}, {"Enabled", "x"}}, 50, -100, 100, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SliderHost host;
        ASSERT_TRUE(host->readProperties(c.bag));
        EXPECT_EQ(host->Value(), c.value);
        EXPECT_EQ(host->Min(), c.min);
        EXPECT_EQ(host->Max(), c.max);
        EXPECT_EQ(host->Enabled(), c.enabled);
        // Loading squares a horizontal control; the size rules leave it at the minimum.
        EXPECT_EQ(host->size(), QSize(63, 20));
    }
}

TEST(SliderPersistence, SaveWritesEveryKeyInOrderAndLoadRestoresItWithChangesForWritesOnly)
{
    SliderHost saved;
    saved->setMax(1000);
    saved->setValue(700);
    saved->setSelectStart(30);
    saved->setSelectEnd(10);
    saved->setSnap(true);
    saved->setBackColor(0x123456);
    saved->setForeColor(0x80336699);  // the top byte is ignored
    saved->setSliderEnabled(false);
    MemoryPropertyBag bag;
    saved->writeProperties(bag);
    EXPECT_EQ(bag.writeOrder(), QStringList({"Value", "Max", "Min", "BackColor", "ForeColor", "ForeColor2",
                                             "Enabled", "Snap", "Style", "StartSelect", "EndSelect"}));

    SliderHost loaded;
    EventLog log(*loaded);
    ASSERT_TRUE(loaded->readProperties(bag));
    EXPECT_EQ(loaded->Value(), 100);  // clamped against the initial limits on the way back
    EXPECT_EQ(loaded->Max(), 1000);
    EXPECT_EQ(loaded->SelectStart(), 30);
    EXPECT_EQ(loaded->SelectEnd(), 10);
    EXPECT_TRUE(loaded->Snap());
    EXPECT_FALSE(loaded->Enabled());
    EXPECT_EQ(loaded->BackColor(), 0x123456);
    EXPECT_FALSE(loaded->PointerDriven());
    // Value, Max, Min and the three colours raise Change; the rest nothing.
    EXPECT_EQ(log.take(), QStringList(6, "Change"));
    // Loading derives the colour components.
    EXPECT_EQ(loaded->ForeRGB().Red, 0x99);
    EXPECT_EQ(loaded->ForeRGB().Green, 0x66);
    EXPECT_EQ(loaded->ForeRGB().Blue, 0x33);
    EXPECT_EQ(loaded->Fore2RGB().Red, 200);
    EXPECT_EQ(loaded->Fore2RGB().Blue, 0);
}

TEST(SliderOverflow, StopsWhereItHappensAndReportsIt)
{
    const struct {
        const char* name;
        Act setUp;
        std::function<bool(Slider&)> act;
        qint32 value, min, max;
        QStringList events;
    } cases[] = {
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
        EXPECT_EQ(host->surface(), before) << "a half-drawn picture is shown";
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
