#include "settings/WindowPlacement.h"

#include <QStringList>

namespace clip {

QString WindowPlacement::Text() const
{
    QString text = QStringLiteral("%1,%2,%3,%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
    return maximized ? text + QStringLiteral(",max") : text;
}

std::optional<WindowPlacement> WindowPlacement::FromText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 4 || parts.size() > 5 || (parts.size() == 5 && parts[4] != QLatin1String("max")))
        return std::nullopt;
    int n[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        n[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    return WindowPlacement{QRect(n[0], n[1], n[2], n[3]), parts.size() == 5};
}

}  // namespace clip
