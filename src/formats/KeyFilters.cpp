#include "formats/KeyFilters.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace clip {

namespace {

constexpr char16_t kBackspace = 8;
constexpr char16_t kEnter = 13;

bool IsDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

// The character a key press would type, as a single code; 0 when the key
// types nothing. A character typed with Ctrl held is its control code
// (Ctrl+V is 22), as the keyboard reports it on every platform.
char16_t TypedCode(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Backspace: return kBackspace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kEnter;
    // Keys that edit or move without typing; some keyboards still attach a
    // control character to them.
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape: return 0;
    default: break;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return 0;
    const bool ctrl = key->modifiers().testFlag(Qt::ControlModifier)
                      && !key->modifiers().testFlag(Qt::AltModifier);  // Ctrl+Alt is AltGr
    if (ctrl) {
        const char16_t c = text.at(0).toUpper().unicode();
        if (c >= u'@' && c <= u'_')
            return char16_t(c - u'@');
        return 0x1F;  // another control character
    }
    if (text.size() > 1)
        return 0xFFFF;  // several characters in one press: refused as a whole
    return text.at(0).unicode();
}

}  // namespace

NumberKeyFilter::NumberKeyFilter(Kind kind, QObject* parent) : QObject(parent), m_kind(kind) {}

int NumberKeyFilter::Limit(Kind kind)
{
    switch (kind) {
    case Kind::Bitrate: return 4;
    case Kind::Channels: return 1;
    case Kind::FrameRate: return 9;
    }
    return 0;
}

bool NumberKeyFilter::Accepts(Kind kind, const QString& current, QChar ch)
{
    if (ch.unicode() == kBackspace)
        return true;
    if (current.size() >= Limit(kind))
        return false;
    const bool enter = ch.unicode() == kEnter;
    switch (kind) {
    case Kind::Bitrate: return IsDigit(ch) || enter;
    case Kind::Channels: return (IsDigit(ch) && ch != QLatin1Char('0')) || enter;
    case Kind::FrameRate:
        if (!(IsDigit(ch) || ch == QLatin1Char('.') || enter))
            return false;
        if (current.contains(QLatin1Char('.')) && (ch == QLatin1Char('.') || ch == QLatin1Char('0')))
            return false;
        return true;
    }
    return false;
}

NumberKeyFilter* NumberKeyFilter::Install(QLineEdit* box, Kind kind)
{
    auto* filter = new NumberKeyFilter(kind, box);
    box->installEventFilter(filter);
    // Text composed by an input method would bypass the key filter.
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    return filter;
}

bool NumberKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* box = qobject_cast<QLineEdit*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (!box)
        return false;
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll))
        return false;
    if (key->matches(QKeySequence::Paste)) {
        key->accept();
        return true;  // every paste key (Ctrl+V, Shift+Insert); the context menu still pastes
    }
    const char16_t code = TypedCode(key);
    if (code == 0)
        return false;  // no character: navigation and editing keys pass
    if (Accepts(m_kind, box->text(), QChar(code)))
        return false;
    key->accept();
    return true;  // dropped without a sound
}

}  // namespace clip
