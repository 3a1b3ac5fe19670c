#pragma once

#include <QString>

#include <cstdio>

namespace clip {

// Writes `text` to `stream` in the locale's encoding and flushes it at once,
// so lines on a terminal and in a pipe come in the order they were written.
void PrintText(FILE* stream, const QString& text);

}  // namespace clip
