// The timeline slider: clamping, the order of its events for pointer and
// keys, and where it draws the handle and selection.
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

// A shown window holding one 300x20 slider at (10, 10) with the given limits,
// and every event it raises as a short text.
struct Host {
    explicit Host(qint32 min = -100, qint32 max = 100) : window(std::make_unique<QWidget>()), s(new Slider(window.get()))
    {
        window->resize(400, 400);
        s->setTwipsPerPixel(kTwips, kTwips);
        s->setGeometry(10, 10, 300, 20);
        window->show();
        QApplication::processEvents();
        s->setMax(std::max(max, s->Max()));
        s->setMin(min);
        s->setMax(max);
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
        const QImage shot = s->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage& handle = s->bitmap(Slider::Bitmap::PicHandle);
        for (int by = 0; by < handle.height(); ++by)
            for (int bx = 0; bx < handle.width(); ++bx)
                if (!shot.rect().contains(x + bx, 4 + by)
                    || ((shot.pixel(x + bx, 4 + by) ^ handle.pixel(bx, by)) & 0xFFFFFF))
                    return false;
        return true;
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

TEST(Slider, WritesClampAndRaiseChangeEveryTime)
{
    const struct { const char* name; Act write; qint32 value, min, max, selectStart, selectEnd; int changes; } cases[] = {
        {"value above max", [](Slider& s) { s.setValue(150); }, 100, -100, 100, 0, 0, 1},
        {"same value twice", [](Slider& s) { s.setValue(50); s.setValue(50); }, 50, -100, 100, 0, 0, 2},
        {"max below min", [](Slider& s) { s.setMax(-200); }, -99, -100, -99, 0, 0, 1},
        {"min above max", [](Slider& s) { s.setMin(500); }, 99, 99, 100, 0, 0, 1},
        {"selection stored unchanged", [](Slider& s) { s.setSelectStart(700); s.setSelectEnd(300); },
         50, -100, 100, 700, 300, 2},
        {"style, enabled and snap raise nothing",
         [](Slider& s) { s.setSliderStyle(1); s.setSliderEnabled(false); s.setSnap(true); }, 50, -100, 100, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        c.write(*host.s);
        EXPECT_EQ(QList<qint32>({host.s->Value(), host.s->Min(), host.s->Max(), host.s->SelectStart(),
                                 host.s->SelectEnd()}),
                  QList<qint32>({c.value, c.min, c.max, c.selectStart, c.selectEnd}));
        EXPECT_EQ(host.events, QStringList(c.changes, "Change"));
    }
}

TEST(Slider, PointerAndKeyEventsComeInTheirOrder)
{
    // 0..1000000 over 300 pixels: pixel 147 is the middle, 275 the end of the track.
    const QStringList keyEvents{"Change", "Scroll"};
    const struct { const char* name; bool enabled; Act act; QStringList events; qint32 value, start = 0; } cases[] = {
        {"click", true, Click(147), {"MouseUp 1 0 147 10", "Click", "Scroll", "Change", "DblClick 500000"}, 500000},
        {"click while disabled", false, Click(147), {"MouseUp 1 0 147 10", "Click", "DblClick 0"}, 0},
        {"double-click: press, release, press, double-click, release", true,
         [](Slider& s) {
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(0, 1000000);
        host.s->setValue(c.start);
        host.s->setSliderEnabled(c.enabled);
        host.take();
        c.act(*host.s);
        EXPECT_EQ(host.take(), c.events);
        EXPECT_EQ(host.s->Value(), c.value);
    }
}

TEST(Slider, DrawsTheHandleAtTheValueOrUnderTheDraggingPointer)
{
    Host host(0, 1000000);
    const struct { qint32 value; int pointer; int x; } cases[] = {
        {0, -1, 10}, {1000000, -1, 266}, {7813, -1, 12}, {3907, -1, 12},  // N(266.5), N(12.5), N(11.5)
        {500000, 5, 10}, {500000, 19, 10}, {500000, 275, 266}, {500000, 320, 267}, {500000, 146, 136},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " pointer " << c.pointer);
        host.s->setValue(c.value);
        if (c.pointer >= 0)
            Drag(c.pointer)(*host.s);
        EXPECT_TRUE(host.handleAt(c.x));
        EXPECT_FALSE(host.handleAt(c.x + 1) || host.handleAt(c.x - 1));
    }
}

TEST(Slider, SelectionShowsOnlyWhenItRunsForward)
{
    for (const auto& [start, end, shown] : {std::tuple{20, 70, true}, {40, 40, false}, {70, 20, false}}) {
        Host host(0, 100);
        host.s->setBackColor(0x400000);
        host.s->setValue(0);
        host.s->setSelectStart(start);
        host.s->setSelectEnd(end);
        const QImage shot = host.s->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb full = host.s->bitmap(Slider::Bitmap::PicFullFill).pixel(0, 9) & 0xFFFFFF;
        // 20..70 runs from x = N(9.5 + 51 + 1) = 62 up to x = N(9.5 + 179 + 1) = 190.
        for (int x = 40; x < 280; ++x)
            EXPECT_EQ(shot.pixel(x, 9) & 0xFFFFFF, shown && x >= 62 && x < 190 ? full : 0x000040) << start << " x " << x;
    }
}

}  // namespace
}  // namespace clip
