#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace clip {

// `caption` as a screen reader should say it: mnemonic marks ("&") removed
// ("&&" stays one "&"), blanks and a trailing colon trimmed.
QString AccessibleCaption(const QString& caption);

// Makes `label` the caption of `field`: the label's buddy (so its mnemonic
// moves the focus there) and the field's accessible name; `description`
// becomes the field's accessible description.
void LabelControl(QLabel* label, QWidget* field, const QString& description);

}  // namespace clip
