#pragma once

#include <QFrame>
#include <QString>

namespace clip {

// A panel with a gradient body, an optional header band carrying its caption
// and a thin border. The body runs from BodyColorTopLeft down to
// BodyColorBottomLeft and across to BodyColorBottomRight; the header from
// HeaderColorTopLeft down to HeaderColorBottomLeft. Without a caption there is
// no header band. Colours are 0x00BBGGRR values; every setter repaints.
// Children are laid out inside contentsRect(), which excludes the header.
class MyFrame : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(quint32 BodyColorBottomLeft READ BodyColorBottomLeft WRITE setBodyColorBottomLeft)
    Q_PROPERTY(quint32 BodyColorBottomRight READ BodyColorBottomRight WRITE setBodyColorBottomRight)
    Q_PROPERTY(quint32 BodyColorTopLeft READ BodyColorTopLeft WRITE setBodyColorTopLeft)
    Q_PROPERTY(quint32 BorderColor READ BorderColor WRITE setBorderColor)
    Q_PROPERTY(quint32 ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(quint32 HeaderColorBottomLeft READ HeaderColorBottomLeft WRITE setHeaderColorBottomLeft)
    Q_PROPERTY(quint32 HeaderColorTopLeft READ HeaderColorTopLeft WRITE setHeaderColorTopLeft)

public:
    explicit MyFrame(const QString& caption = QString(), QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);

    quint32 BodyColorBottomLeft() const { return m_bodyBottomLeft; }
    quint32 BodyColorBottomRight() const { return m_bodyBottomRight; }
    quint32 BodyColorTopLeft() const { return m_bodyTopLeft; }
    quint32 BorderColor() const { return m_border; }
    quint32 ForeColor() const { return m_fore; }
    quint32 HeaderColorBottomLeft() const { return m_headerBottomLeft; }
    quint32 HeaderColorTopLeft() const { return m_headerTopLeft; }

    void setBodyColorBottomLeft(quint32 lColor);
    void setBodyColorBottomRight(quint32 lColor);
    void setBodyColorTopLeft(quint32 lColor);
    void setBorderColor(quint32 lColor);
    void setForeColor(quint32 lColor);
    void setHeaderColorBottomLeft(quint32 lColor);
    void setHeaderColorTopLeft(quint32 lColor);

    // Rounded corners in pixels (0 for square ones, as a window needs).
    void setCornerRadius(int radius);
    int cornerRadius() const { return m_radius; }

    // Height of the header band in pixels; 0 without a caption.
    int headerHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setColor(quint32& slot, quint32 value);
    void updateMargins();

    QString m_caption;
    // Neutral defaults: a pale body, a soft steel header, dark text.
    quint32 m_bodyBottomLeft = 0xF4EEEA;
    quint32 m_bodyBottomRight = 0xEDE4DE;
    quint32 m_bodyTopLeft = 0xFDFBFA;
    quint32 m_border = 0xC8B8AE;
    quint32 m_fore = 0x402A20;
    quint32 m_headerBottomLeft = 0xE2D4CA;
    quint32 m_headerTopLeft = 0xF4ECE6;
    int m_radius = 5;
};

}  // namespace clip
