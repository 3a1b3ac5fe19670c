#pragma once

#include <QAbstractButton>

namespace clip {

// A push button drawn in the theme's colours. Its caption is the button's
// text; "&&" shows as one "&" and a single "&" marks the mnemonic letter.
// A caption-less button may show a small vector glyph instead.
// Colours are 0x00BBGGRR values; every setter repaints.
class MyButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(quint32 BackColorDisabled READ BackColorDisabled WRITE setBackColorDisabled)
    Q_PROPERTY(quint32 BackColorFocus READ BackColorFocus WRITE setBackColorFocus)
    Q_PROPERTY(quint32 BorderColor READ BorderColor WRITE setBorderColor)
    Q_PROPERTY(quint32 ToolTipBackColor READ ToolTipBackColor WRITE setToolTipBackColor)

public:
    enum class Glyph { None, Minimize, Close, Help, About };

    explicit MyButton(const QString& caption = QString(), QWidget* parent = nullptr);

    quint32 BackColor() const { return m_back; }
    quint32 BackColorDisabled() const { return m_backDisabled; }
    quint32 BackColorFocus() const { return m_backFocus; }
    quint32 BorderColor() const { return m_border; }
    quint32 ToolTipBackColor() const { return m_toolTipBack; }

    void setBackColor(quint32 lColor);
    void setBackColorDisabled(quint32 lColor);
    void setBackColorFocus(quint32 lColor);
    void setBorderColor(quint32 lColor);
    void setToolTipBackColor(quint32 lColor);

    void setGlyph(Glyph glyph);
    Glyph glyph() const { return m_glyph; }

    // The caption as drawn: "&&" becomes "&", a mnemonic "&" disappears.
    static QString DisplayText(const QString& caption);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setColor(quint32& slot, quint32 value);
    void drawGlyph(class QPainter& p, const QRectF& box, const QColor& color) const;

    quint32 m_back = 0xF0E8E2;
    quint32 m_backDisabled = 0xE6E2E0;
    quint32 m_backFocus = 0xF8F0EA;
    quint32 m_border = 0xB09A8C;
    quint32 m_toolTipBack = 0xE1FFFF;
    Glyph m_glyph = Glyph::None;
    bool m_hover = false;
};

}  // namespace clip
