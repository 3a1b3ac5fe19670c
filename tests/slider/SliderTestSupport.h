#pragma once

#include "slider/Slider.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <utility>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace clip::test {

// 15 twips per pixel, as on a 96 DPI screen, so positions are predictable.
constexpr double kTwips = 15.0;

// Every event of a slider as a short text: "Click", "Scroll", "Change",
// "DblClick <value>", "MouseUp b s x y" (pixels), "Overflow".
class EventLog {
public:
    explicit EventLog(Slider& slider)
    {
        QObject::connect(&slider, &Slider::Click, [this] { events << "Click"; });
        QObject::connect(&slider, &Slider::Scroll, [this] { events << "Scroll"; });
        QObject::connect(&slider, &Slider::Change, [this] { events << "Change"; });
        QObject::connect(&slider, &Slider::DblClick,
                         [this](qint32& value) { events << QStringLiteral("DblClick %1").arg(value); });
        QObject::connect(&slider, &Slider::MouseUp, [this](qint16 b, qint16 s, float x, float y) {
            events << QStringLiteral("MouseUp %1 %2 %3 %4").arg(b).arg(s).arg(x / kTwips).arg(y / kTwips);
        });
        QObject::connect(&slider, &Slider::overflowed, [this] { events << "Overflow"; });
    }
    QStringList take() { return std::exchange(events, {}); }
    QStringList events;
};

// A shown window holding one slider at a pixel geometry, as the main window
// holds it.
struct SliderHost {
    explicit SliderHost(QRect geometry = QRect(10, 10, 300, 20), qint32 min = -100, qint32 max = 100)
        : window(std::make_unique<QWidget>()), slider(new Slider(window.get()))
    {
        window->resize(400, 400);
        slider->setTwipsPerPixel(kTwips, kTwips);
        slider->setGeometry(geometry);
        window->show();
        QApplication::processEvents();
        slider->setGeometry(geometry);
        if (max > slider->Max()) {
            slider->setMax(max);
            slider->setMin(min);
        } else {
            slider->setMin(min);
            slider->setMax(max);
        }
    }
    Slider& operator*() const { return *slider; }
    Slider* operator->() const { return slider; }

    std::unique_ptr<QWidget> window;
    Slider* slider;
};

inline void SendMove(Slider& slider, QPointF pos, Qt::MouseButtons buttons)
{
    QMouseEvent ev(QEvent::MouseMove, pos, slider.mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&slider, &ev);
}

inline void SendButton(Slider& slider, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                       Qt::MouseButtons held)
{
    QMouseEvent ev(type, pos, slider.mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(&slider, &ev);
}

inline QImage Grab(Slider& slider) { return slider.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Whether the shot shows the bitmap with its top-left corner at (x, y),
// pixel for pixel.
inline bool ShowsBitmapAt(const QImage& shot, const QImage& bitmap, int x, int y)
{
    for (int by = 0; by < bitmap.height(); ++by)
        for (int bx = 0; bx < bitmap.width(); ++bx) {
            const QPoint p(x + bx, y + by);
            if (!shot.rect().contains(p) || (shot.pixel(p) & 0xFFFFFF) != (bitmap.pixel(bx, by) & 0xFFFFFF))
                return false;
        }
    return true;
}

// Whether the horizontal handle is drawn at x (its top is always at 4).
inline bool ShowsHandleAt(Slider& slider, int x)
{
    return ShowsBitmapAt(Grab(slider), slider.bitmap(Slider::Bitmap::PicHandle), x, 4);
}

}  // namespace clip::test
