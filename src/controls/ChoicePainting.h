#pragma once

#include <QSize>

class QAbstractButton;
class QPainter;

namespace clip {

// The drawing shared by the option button and the check box: an indicator at
// the left, vertically centred, followed by the caption.
enum class ChoiceShape { Round, Square };

QSize ChoiceSizeHint(const QAbstractButton& button);
void PaintChoice(QPainter& p, const QAbstractButton& button, ChoiceShape shape);

}  // namespace clip
