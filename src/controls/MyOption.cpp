#include "controls/MyOption.h"

#include "controls/ChoicePainting.h"

#include <QPainter>

namespace clip {

MyOption::MyOption(const QString& caption, QWidget* parent) : QRadioButton(caption, parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QSize MyOption::sizeHint() const { return ChoiceSizeHint(*this); }

void MyOption::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintChoice(p, *this, ChoiceShape::Round);
}

}  // namespace clip
