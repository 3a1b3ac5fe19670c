#include "controls/AccessibleText.h"

#include <QLabel>

namespace clip {

QString AccessibleCaption(const QString& caption)
{
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        text += caption.at(i);
    }
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

void LabelControl(QLabel* label, QWidget* field, const QString& description)
{
    label->setBuddy(field);
    field->setAccessibleName(AccessibleCaption(label->text()));
    field->setAccessibleDescription(description);
}

}  // namespace clip
