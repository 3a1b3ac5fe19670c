#pragma once

#include <QList>
#include <QWidget>

namespace clip {

class Slider;

// A thin strip under a timeline that marks the key frames: one short line
// for each time, where the timeline's handle would stand for it.
class KeyFrameTicks : public QWidget {
    Q_OBJECT
public:
    explicit KeyFrameTicks(const Slider* timeline, QWidget* parent = nullptr);

    void setTimes(const QList<double>& seconds);
    const QList<double>& times() const { return m_times; }
    // The x of every tick drawn, in this strip's pixels, in time order.
    QList<int> TickPositions() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Slider* m_timeline;
    QList<double> m_times;
};

}  // namespace clip
