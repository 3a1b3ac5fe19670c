#include "common/ConsoleText.h"

namespace clip {

void PrintText(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

}  // namespace clip
