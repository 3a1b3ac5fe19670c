#include "cli/ConsoleHost.h"

#include <cstdio>

namespace clip {

void ConsoleHost::messageBox(const QString& text, int style) { messageBoxWithDetails(text, QString(), style); }

void ConsoleHost::messageBoxWithDetails(const QString& text, const QString& details, int)
{
    m_lastMessage = text;
    QString shown = QStringLiteral("clipwright: ") + text;
    if (!details.isEmpty())
        shown += QLatin1Char('\n') + details;
    if (!shown.endsWith(QLatin1Char('\n')))
        shown += QLatin1Char('\n');
    std::fputs(shown.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

}  // namespace clip
