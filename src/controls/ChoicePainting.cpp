#include "controls/ChoicePainting.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>

namespace clip {

namespace {
int IndicatorSize(const QAbstractButton& b) { return qMax(13, b.fontMetrics().height() - 2); }
constexpr int kGap = 6;
}  // namespace

QSize ChoiceSizeHint(const QAbstractButton& b)
{
    const QFontMetrics fm = b.fontMetrics();
    const int ind = IndicatorSize(b);
    QString caption = b.text();
    caption.remove(QLatin1Char('&'));
    return QSize(ind + kGap + fm.horizontalAdvance(caption) + 4, qMax(ind, fm.height()) + 6);
}

void PaintChoice(QPainter& p, const QAbstractButton& b, ChoiceShape shape)
{
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = b.isEnabled();
    const bool hover = b.underMouse() && enabled;
    const int ind = IndicatorSize(b);
    const QRectF box(1.5, (b.height() - ind) / 2.0 + 0.5, ind - 1, ind - 1);

    const QColor accent = enabled ? QColor(0x1F, 0x3F, 0xA8) : QColor(0x9A, 0xA0, 0xB4);
    const QColor edge = enabled ? (hover ? accent : QColor(0x55, 0x62, 0x90)) : QColor(0xA8, 0xAC, 0xBA);
    const QColor face = enabled ? QColor(Qt::white) : QColor(0xEE, 0xEE, 0xF2);

    p.setPen(QPen(edge, 1.2));
    p.setBrush(face);
    if (shape == ChoiceShape::Round)
        p.drawEllipse(box);
    else
        p.drawRoundedRect(box, 3, 3);

    if (b.isChecked()) {
        if (shape == ChoiceShape::Round) {
            p.setPen(Qt::NoPen);
            p.setBrush(accent);
            const qreal r = box.width() * 0.27;
            p.drawEllipse(box.center(), r, r);
        } else {
            QPainterPath tick;
            tick.moveTo(box.left() + box.width() * 0.22, box.top() + box.height() * 0.52);
            tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.72);
            tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.28);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(accent, qMax<qreal>(1.6, box.width() / 7.0), Qt::SolidLine, Qt::RoundCap,
                          Qt::RoundJoin));
            p.drawPath(tick);
        }
    }

    QString caption = b.text();
    caption.replace(QLatin1String("&&"), QString(QChar(0xE000)));
    caption.remove(QLatin1Char('&'));
    caption.replace(QChar(0xE000), QLatin1Char('&'));
    p.setPen(enabled ? b.palette().color(QPalette::WindowText)
                     : b.palette().color(QPalette::Disabled, QPalette::WindowText));
    const QRectF text(ind + kGap, 0, b.width() - ind - kGap, b.height());
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, caption);
    if (b.hasFocus()) {
        p.setPen(QPen(QColor(0x1F, 0x3F, 0xA8, 110), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        const QRectF r = p.boundingRect(text, Qt::AlignVCenter | Qt::AlignLeft, caption);
        p.drawRect(r.adjusted(-2, 0, 2, 0));
    }
}

}  // namespace clip
