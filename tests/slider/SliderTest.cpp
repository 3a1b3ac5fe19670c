// The timeline slider: the order of its events for pointer, keys and writes
// (clamping included), and where it draws the handle and selection.
#include "slider/KeyFrameTicks.h"
#include "slider/Slider.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <memory>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace clip {
namespace {

constexpr double kTwips = 15.0;  // as on a 96 DPI screen
using Act = std::function<void(Slider&)>;

// A shown window holding one 300x20 slider at (10, 10) from 0 to 1000000,
// and every event it raises as a short text.
struct Host {
    Host() : window(std::make_unique<QWidget>()), s(new Slider(window.get()))
    {
        window->resize(400, 400);
        s->setTwipsPerPixel(kTwips, kTwips);
        s->setGeometry(10, 10, 300, 20);
        window->show();
        QApplication::processEvents();
        s->setMin(0), s->setMax(1000000);
        QObject::connect(s, &Slider::Click, [this] { events << "Click"; });
        QObject::connect(s, &Slider::Scroll, [this] { events << "Scroll"; });
        QObject::connect(s, &Slider::Change, [this] { events << "Change"; });
        QObject::connect(s, &Slider::DblClick, [this](qint32& v) { events << QStringLiteral("DblClick %1").arg(v); });
        QObject::connect(s, &Slider::MouseUp, [this](qint16 b, qint16 k, float x, float y) {
            events << QStringLiteral("MouseUp %1 %2 %3 %4").arg(b).arg(k).arg(x / kTwips).arg(y / kTwips);
        });
    }
    QStringList take() { return std::exchange(events, {}); }
    // Whether the handle is drawn with its top-left corner at (x, 4), pixel for pixel.
    bool handleAt(int x) const
    {
        const QImage handle = s->bitmap(Slider::Bitmap::PicHandle).convertToFormat(QImage::Format_RGB32);
        return s->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(x, 4), handle.size())) == handle;
    }
    std::unique_ptr<QWidget> window;
    Slider* s;
    QStringList events;
};

void Send(Slider& s, QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent ev(type, QPointF(x, 10), s.mapToGlobal(QPointF(x, 10)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&s, &ev);
}
Act Drag(int x, Qt::MouseButtons held = Qt::LeftButton)
{
    return [=](Slider& s) { Send(s, QEvent::MouseMove, x, Qt::NoButton, held); };
}
Act Click(int x, Qt::MouseButton button = Qt::LeftButton)
{
    return [=](Slider& s) {
        Send(s, QEvent::MouseMove, x, Qt::NoButton, Qt::NoButton);
        QTest::mouseClick(&s, button, {}, QPoint(x, 10));
    };
}
Act Key(Qt::Key key)
{
    return [key](Slider& s) { QTest::keyClick(&s, key); };
}

TEST(Slider, PointerAndKeyEventsComeInTheirOrder)
{
    // 0..1000000 over 300 pixels: pixel 147 is the middle, 275 the end of the track.
    const QStringList keyEvents{"Change", "Scroll"};
    const struct { const char* name; bool enabled; Act act; QStringList events; qint32 value, start = 0; } cases[] = {
        {"click", true, Click(147), {"MouseUp 1 0 147 10", "Click", "Scroll", "Change", "DblClick 500000"}, 500000},
        {"click while disabled", false, Click(147), {"MouseUp 1 0 147 10", "Click", "DblClick 0"}, 0},
        {"double-click: press, release, press, double-click, release", true, [](Slider& s) {
             Send(s, QEvent::MouseMove, 275, Qt::NoButton, Qt::NoButton);
             for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                                       QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
                 Send(s, type, 275, Qt::LeftButton, type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton);
         },
         {"MouseUp 1 0 275 10", "Click", "Scroll", "Change", "DblClick 1000000", "Scroll", "Change", "DblClick 1000000",
          "MouseUp 1 0 275 10"},
         1000000},
        {"click without an earlier move goes to the stored position", true,
         [](Slider& s) { QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(200, 10)); },
         {"MouseUp 1 0 200 10", "Click", "Scroll", "Change", "DblClick 0"}, 0},
        {"right click is no click", true, Click(147, Qt::RightButton), {"MouseUp 2 0 147 10"}, 0},
        {"drag", true, [](Slider& s) { Drag(147)(s); Drag(275)(s); }, {"Scroll", "Change", "Scroll", "Change"}, 1000000},
        {"drag while disabled", false, Drag(147), {}, 0},
        {"move with two buttons", true, Drag(147, Qt::LeftButton | Qt::RightButton), {}, 0},
        {"move with the right button", true, Drag(147, Qt::RightButton), {}, 0},
        // Keys move by one and raise Change then Scroll, even when nothing moved or disabled.
        {"left key", true, Key(Qt::Key_Left), keyEvents, 6, 7},
        {"right key while disabled", false, Key(Qt::Key_Right), keyEvents, 8, 7},
        {"left key at min", true, Key(Qt::Key_Left), keyEvents, 0, 0},
        {"right key at max", true, Key(Qt::Key_Right), keyEvents, 1000000, 1000000},
        {"up key", true, Key(Qt::Key_Up), keyEvents, 7, 7},
        {"percent is not the left arrow", true, Key(Qt::Key_Percent), keyEvents, 7, 7},
        // Writes clamp the value and raise Change every time; the limits never cross.
        {"value above max", true, [](Slider& s) { s.setValue(2000000); }, {"Change"}, 1000000, 7},
        {"same value twice", false, [](Slider& s) { s.setValue(9), s.setValue(9); }, {"Change", "Change"}, 9, 7},
        {"max below min", true, [](Slider& s) { s.setMax(-200); }, {"Change"}, 1, 7},
        {"min above max", true, [](Slider& s) { s.setMin(5000000); }, {"Change"}, 999999, 7},
        {"style, enabled and snap raise nothing", true,
         [](Slider& s) { s.setSliderStyle(1), s.setSliderEnabled(false), s.setSnap(true); }, {}, 7, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        host.s->setValue(c.start);
        host.s->setSliderEnabled(c.enabled);
        host.take();
        c.act(*host.s);
        EXPECT_EQ(host.take(), c.events);
        EXPECT_EQ(host.s->Value(), c.value);
    }
}

// A selection shows only when it runs forward; the handle sits at the value, or under a dragging pointer.
TEST(Slider, DrawsAForwardSelectionAndTheHandleAtTheValueOrUnderTheDraggingPointer)
{
    Host host;
    host.s->setBackColor(0x400000);
    const QRgb full = host.s->bitmap(Slider::Bitmap::PicFullFill).pixel(0, 9) & 0xFFFFFF;
    for (const auto& [start, end, shown] : {std::tuple{200000, 700000, true}, {400000, 400000, false}, {700000, 200000, false}}) {
        host.s->setSelectStart(start), host.s->setSelectEnd(end);
        const QImage shot = host.s->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // 20 % to 70 % runs from x = N(9.5 + 51 + 1) = 62 up to x = N(9.5 + 179 + 1) = 190.
        for (int x = 40; x < 280; ++x)
            EXPECT_EQ(shot.pixel(x, 9) & 0xFFFFFF, shown && x >= 62 && x < 190 ? full : 0x000040) << start << " x " << x;
    }
    const struct { qint32 value; int pointer; int x; } cases[] = {
        {0, -1, 10}, {1000000, -1, 266}, {7813, -1, 12}, {3907, -1, 12},  // N(266.5), N(12.5), N(11.5)
        {500000, 5, 10}, {500000, 19, 10}, {500000, 275, 266}, {500000, 320, 267}, {500000, 146, 136},
    };
    for (const auto& c : cases) {
        host.s->setValue(c.value);
        if (c.pointer >= 0)
            Drag(c.pointer)(*host.s);
        EXPECT_TRUE(host.handleAt(c.x) && !host.handleAt(c.x + 1) && !host.handleAt(c.x - 1)) << c.value << " " << c.pointer;
    }
}

// Each key-frame tick is drawn where a click on the timeline gives its time, at the ends as well.
TEST(Slider, KeyFrameTicksAreDrawnWhereAClickGivesTheirTime)
{
    Host host;
    host.s->setMax(100);  // about 2.5 pixels a value
    KeyFrameTicks ticks(host.s, host.window.get());
    ticks.setGeometry(0, 40, 400, 4), ticks.show();  // the timeline stands at x = 10
    const QList<double> times{0, 12.2, 50, 87.8, 100};
    ticks.setTimes(times);
    const QImage strip = ticks.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QList<int> drawn;
    for (int x = 0; x < strip.width(); ++x)
        if (strip.pixel(x, 1) == ticks.palette().color(QPalette::WindowText).rgb())
            drawn << x;
    ASSERT_EQ(drawn.size(), times.size());
    for (int i = 0; i < times.size(); ++i)
        EXPECT_EQ((Click(drawn[i] - 10)(*host.s), host.s->Value()), std::lround(times[i])) << "tick at " << drawn[i];
}

}  // namespace
}  // namespace clip
