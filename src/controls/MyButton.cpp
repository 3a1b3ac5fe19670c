#include "controls/MyButton.h"

#include "controls/BgrColor.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace clip {

namespace {
const QColor kText(0x1B, 0x22, 0x4A);
const QColor kDisabledText(0x8A, 0x8E, 0xA0);
}  // namespace

MyButton::MyButton(const QString& caption, QWidget* parent) : QAbstractButton(parent)
{
    setText(caption);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void MyButton::setColor(quint32& slot, quint32 value)
{
    slot = value & 0x00FFFFFF;
    update();
}

void MyButton::setBackColor(quint32 lColor) { setColor(m_back, lColor); }
void MyButton::setBackColorDisabled(quint32 lColor) { setColor(m_backDisabled, lColor); }
void MyButton::setBackColorFocus(quint32 lColor) { setColor(m_backFocus, lColor); }
void MyButton::setBorderColor(quint32 lColor) { setColor(m_border, lColor); }
void MyButton::setToolTipBackColor(quint32 lColor) { setColor(m_toolTipBack, lColor); }

void MyButton::setGlyph(Glyph glyph)
{
    m_glyph = glyph;
    update();
}

QString MyButton::DisplayText(const QString& caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += caption.at(i);
    }
    return out;
}

QSize MyButton::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    if (text().isEmpty())
        return QSize(fm.height() + 10, fm.height() + 8);
    return QSize(fm.horizontalAdvance(DisplayText(text()).trimmed()) + 28, fm.height() + 12);
}

QSize MyButton::minimumSizeHint() const { return sizeHint(); }

bool MyButton::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        // Tooltips are shown on the button's own tooltip colour.
        QPalette pal = QToolTip::palette();
        pal.setColor(QPalette::ToolTipBase, ColorFromBgr(m_toolTipBack));
        pal.setColor(QPalette::ToolTipText, kText);
        QToolTip::setPalette(pal);
    }
    return QAbstractButton::event(e);
}

void MyButton::enterEvent(QEnterEvent* e)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(e);
}

void MyButton::leaveEvent(QEvent* e)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void MyButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(box, 4, 4);

    const bool enabled = isEnabled();
    const bool pressed = isDown() || isChecked();
    QColor base = ColorFromBgr(!enabled ? m_backDisabled : (hasFocus() ? m_backFocus : m_back));
    if (!enabled) {
        // Washed out: halfway to a light grey.
        base = QColor((base.red() + 0xE4) / 2, (base.green() + 0xE4) / 2, (base.blue() + 0xE8) / 2);
    } else if (pressed) {
        base = base.darker(112);
    } else if (m_hover) {
        base = base.lighter(106);
    }

    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    if (pressed) {
        fill.setColorAt(0.0, base.darker(106));
        fill.setColorAt(1.0, base);
    } else {
        fill.setColorAt(0.0, base.lighter(enabled ? 118 : 104));
        fill.setColorAt(0.5, base.lighter(enabled ? 104 : 101));
        fill.setColorAt(1.0, base);
    }
    p.fillPath(shape, fill);

    // The border is drawn darker than its colour so that a button stays
    // outlined when it shares its colour with the panel under it.
    QColor border = ColorFromBgr(m_border).darker(enabled ? 165 : 125);
    if (enabled && hasFocus())
        border = border.darker(130);
    p.setPen(QPen(border, 1));
    p.drawPath(shape);
    if (enabled && hasFocus() && !text().isEmpty()) {
        QPainterPath ring;
        ring.addRoundedRect(box.adjusted(2, 2, -2, -2), 3, 3);
        p.setPen(QPen(QColor(255, 255, 255, 150), 1));
        p.drawPath(ring);
    }

    const QColor ink = enabled ? kText : kDisabledText;
    const QPointF shift = pressed ? QPointF(0, 1) : QPointF(0, 0);
    if (!text().isEmpty()) {
        p.setPen(ink);
        p.drawText(box.translated(shift), Qt::AlignCenter | Qt::TextSingleLine,
                   DisplayText(text()).trimmed());
    } else if (m_glyph != Glyph::None) {
        drawGlyph(p, box.translated(shift), ink);
    }
}

void MyButton::drawGlyph(QPainter& p, const QRectF& box, const QColor& color) const
{
    const qreal s = qMin(box.width(), box.height());
    const QRectF g(box.center().x() - s * 0.25, box.center().y() - s * 0.25, s * 0.5, s * 0.5);
    QPen pen(color, qMax<qreal>(1.5, s / 11.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (m_glyph) {
    case Glyph::Minimize:
        p.drawLine(QPointF(g.left(), g.bottom() - s * 0.05), QPointF(g.right(), g.bottom() - s * 0.05));
        break;
    case Glyph::Close:
        p.drawLine(g.topLeft(), g.bottomRight());
        p.drawLine(g.topRight(), g.bottomLeft());
        break;
    case Glyph::Help: {
        QFont f = font();
        f.setBold(true);
        f.setPixelSize(qMax(8, int(s * 0.62)));
        p.setFont(f);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Glyph::About: {
        const qreal cx = g.center().x();
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        const qreal dot = pen.widthF() * 0.75;
        p.drawEllipse(QPointF(cx, g.top() + dot), dot, dot);
        p.setPen(pen);
        p.drawLine(QPointF(cx, g.top() + s * 0.17), QPointF(cx, g.bottom()));
        break;
    }
    case Glyph::None:
        break;
    }
}

}  // namespace clip
