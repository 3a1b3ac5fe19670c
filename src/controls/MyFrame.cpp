#include "controls/MyFrame.h"

#include "controls/BgrColor.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace clip {

namespace {
constexpr int kBorder = 1;

bool IsDark(const QColor& c)
{
    return 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF() < 0.55;
}
}  // namespace

MyFrame::MyFrame(const QString& caption, QWidget* parent)
    : QFrame(parent), m_caption(caption)
{
    setFrameShape(QFrame::NoFrame);
    updateMargins();
}

void MyFrame::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateMargins();
    update();
}

void MyFrame::setColor(quint32& slot, quint32 value)
{
    slot = value & 0x00FFFFFF;
    update();
}

void MyFrame::setBodyColorBottomLeft(quint32 lColor) { setColor(m_bodyBottomLeft, lColor); }
void MyFrame::setBodyColorBottomRight(quint32 lColor) { setColor(m_bodyBottomRight, lColor); }
void MyFrame::setBodyColorTopLeft(quint32 lColor) { setColor(m_bodyTopLeft, lColor); }
void MyFrame::setBorderColor(quint32 lColor) { setColor(m_border, lColor); }
void MyFrame::setForeColor(quint32 lColor) { setColor(m_fore, lColor); }
void MyFrame::setHeaderColorBottomLeft(quint32 lColor) { setColor(m_headerBottomLeft, lColor); }
void MyFrame::setHeaderColorTopLeft(quint32 lColor) { setColor(m_headerTopLeft, lColor); }

void MyFrame::setCornerRadius(int radius)
{
    m_radius = qMax(0, radius);
    update();
}

int MyFrame::headerHeight() const
{
    if (m_caption.isEmpty())
        return 0;
    QFont bold = font();
    bold.setBold(true);
    return QFontMetrics(bold).height() + 12;
}

void MyFrame::updateMargins()
{
    setContentsMargins(kBorder, kBorder + headerHeight(), kBorder, kBorder);
}

void MyFrame::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateMargins();
    QFrame::changeEvent(event);
}

void MyFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, m_radius > 0);
    const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(outer, m_radius, m_radius);

    // Body: down the left edge from top to bottom, then across the bottom.
    QLinearGradient body(outer.topLeft(), outer.bottomRight());
    body.setColorAt(0.0, ColorFromBgr(m_bodyTopLeft));
    body.setColorAt(0.55, ColorFromBgr(m_bodyBottomLeft));
    body.setColorAt(1.0, ColorFromBgr(m_bodyBottomRight));
    p.fillPath(shape, body);

    const int header = headerHeight();
    if (header > 0) {
        p.save();
        p.setClipPath(shape);
        const QRectF band(outer.left(), outer.top(), outer.width(), header);
        QLinearGradient head(band.topLeft(), band.bottomLeft());
        const QColor top = ColorFromBgr(m_headerTopLeft);
        const QColor bottom = ColorFromBgr(m_headerBottomLeft);
        head.setColorAt(0.0, top);
        head.setColorAt(1.0, bottom);
        p.fillRect(band, head);
        // A thin highlight under the band's top edge gives it some depth.
        p.setPen(QColor(255, 255, 255, 60));
        p.drawLine(band.topLeft() + QPointF(0, 1), band.topRight() + QPointF(0, 1));
        p.restore();

        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        // Caption in white on a dark band, in the fore colour on a light one.
        QColor mid((top.red() + bottom.red()) / 2, (top.green() + bottom.green()) / 2,
                   (top.blue() + bottom.blue()) / 2);
        p.setPen(IsDark(mid) ? QColor(Qt::white) : ColorFromBgr(m_fore));
        const QRectF textRect = band.adjusted(10, 0, -10, 0);
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, m_caption);
    }

    p.setPen(QPen(ColorFromBgr(m_border), kBorder));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}

}  // namespace clip
