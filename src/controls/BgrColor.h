#pragma once

#include <QColor>
#include <QtGlobal>

namespace clip {

// Colours of the controls' colour properties are 32-bit values laid out
// 0x00BBGGRR (red in the lowest byte).
inline QColor ColorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

inline quint32 BgrFromColor(const QColor& color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

}  // namespace clip
