#include "controls/MyProgressBar.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace clip {

namespace {

// What assistive technology sees: a progress bar whose value (0 to 100) can
// be read, and read out as "N%".
class AccessibleProgressBar : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleProgressBar(MyProgressBar* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QStringLiteral("%1%").arg(bar()->Value());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return bar()->Value(); }
    void setCurrentValue(const QVariant&) override {}  // shown, not edited
    QVariant maximumValue() const override { return MyProgressBar::Max; }
    QVariant minimumValue() const override { return MyProgressBar::Min; }
    QVariant minimumStepSize() const override { return 0; }

private:
    MyProgressBar* bar() const { return static_cast<MyProgressBar*>(widget()); }
};

QAccessibleInterface* ProgressBarFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(MyProgressBar::staticMetaObject.className()) && object->isWidgetType())
        return new AccessibleProgressBar(static_cast<MyProgressBar*>(object));
    return nullptr;
}

}  // namespace

MyProgressBar::MyProgressBar(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = (QAccessible::installFactory(ProgressBarFactory), true);
    Q_UNUSED(factoryInstalled);
}

void MyProgressBar::setValue(int intValue)
{
    const int v = std::clamp(intValue, Min, Max);
    if (v == m_value)
        return;
    m_value = v;
    update();
    QAccessibleValueChangeEvent changed(this, v);
    QAccessible::updateAccessibility(&changed);
}

QSize MyProgressBar::sizeHint() const { return QSize(200, fontMetrics().height() + 8); }

void MyProgressBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = qMin<qreal>(5, box.height() / 2);
    QPainterPath track;
    track.addRoundedRect(box, radius, radius);

    QLinearGradient trackFill(box.topLeft(), box.bottomLeft());
    trackFill.setColorAt(0, QColor(0xE6, 0xE9, 0xF4));
    trackFill.setColorAt(1, QColor(0xFA, 0xFB, 0xFF));
    p.fillPath(track, trackFill);

    const qreal filled = box.width() * m_value / Max;
    const QRectF bar(box.left(), box.top(), filled, box.height());
    if (m_value > 0) {
        p.save();
        p.setClipRect(bar);
        QLinearGradient barFill(box.topLeft(), box.bottomLeft());
        barFill.setColorAt(0, QColor(0x5C, 0x7C, 0xF0));
        barFill.setColorAt(1, QColor(0x1E, 0x3A, 0xA8));
        p.fillPath(track, barFill);
        p.restore();
    }
    p.setPen(QPen(QColor(0x6E, 0x7A, 0xA8), 1));
    p.drawPath(track);

    // The percentage: dark over the empty part, white over the filled part.
    const QString label = QStringLiteral("%1%").arg(m_value);
    p.setPen(QColor(0x1B, 0x22, 0x4A));
    p.drawText(box, Qt::AlignCenter, label);
    if (m_value > 0) {
        p.setClipRect(bar);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, label);
    }
}

}  // namespace clip
