#include "controls/MyCheck.h"

#include "controls/ChoicePainting.h"

#include <QPainter>

namespace clip {

MyCheck::MyCheck(const QString& caption, QWidget* parent) : QCheckBox(caption, parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QSize MyCheck::sizeHint() const { return ChoiceSizeHint(*this); }

void MyCheck::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintChoice(p, *this, ChoiceShape::Square);
}

}  // namespace clip
