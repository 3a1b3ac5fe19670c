#include "slider/KeyFrameTicks.h"

#include "slider/Slider.h"

#include <QPainter>

#include <cmath>

namespace clip {

KeyFrameTicks::KeyFrameTicks(const Slider* timeline, QWidget* parent)
    : QWidget(parent)
    , m_timeline(timeline)
{
    setFixedHeight(4);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KeyFrameTicks::setTimes(const QList<double>& seconds)
{
    m_times = seconds;
    update();
}

QList<int> KeyFrameTicks::TickPositions() const
{
    QList<int> xs;
    if (!m_timeline)
        return xs;
    const int offset = m_timeline->mapTo(window(), QPoint()).x() - mapTo(window(), QPoint()).x();
    for (double t : m_times) {
        if (t < m_timeline->Min() || t > m_timeline->Max())
            continue;
        if (const std::optional<double> x = m_timeline->CentreOf(t))
            xs << int(std::lround(*x)) + offset;
    }
    return xs;
}

void KeyFrameTicks::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    for (int x : TickPositions())
        p.drawLine(x, 0, x, height() - 1);
}

}  // namespace clip
