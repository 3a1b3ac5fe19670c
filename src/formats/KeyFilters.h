#pragma once

#include <QObject>

class QLineEdit;

namespace clip {

// The typing rules of the formats panel's four number boxes. A filter sees
// every key press that carries a character before the box does, and either
// lets it through or drops it silently.
//
// - Backspace always passes.
// - A box already holding its limit of characters refuses every other
//   character key, whether or not some text is selected.
// - Digits (0-9) and Enter pass; every other character is refused, control
//   characters included, so Ctrl+V does not paste; neither does any other
//   paste key (the context menu's paste is not filtered).
// - The channel box refuses "0"; the frame-rate box also takes one ".", and
//   refuses "." and "0" once it holds a ".".
// Keys without a character (arrows, Home, End, Delete, Tab, function keys)
// and the non-editing shortcuts Copy and Select All are left to the box.
class NumberKeyFilter : public QObject {
    Q_OBJECT
public:
    enum class Kind { Bitrate, Channels, FrameRate };

    NumberKeyFilter(Kind kind, QObject* parent = nullptr);

    // Whether `ch` may enter a box that now holds `current`; character code 8
    // is Backspace, 13 Enter, values below 32 other control characters.
    static bool Accepts(Kind kind, const QString& current, QChar ch);

    // The most characters the box of that kind may hold.
    static int Limit(Kind kind);

    // Creates a filter of `kind` owned by `box` and installs it on the box.
    static NumberKeyFilter* Install(QLineEdit* box, Kind kind);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Kind m_kind;
};

}  // namespace clip
