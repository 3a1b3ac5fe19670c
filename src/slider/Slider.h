#pragma once

#include "slider/PropertyBag.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace clip {

// Red, green and blue of a colour, 0..255 each.
struct SliderRGB {
    float Red = 0;
    float Green = 0;
    float Blue = 0;
};

// The timeline control: a value between two limits and a selection range,
// drawn from ten small bitmaps. Style 0 is a horizontal timeline (groove,
// selection strip, handle); any other style is a vertical level gauge filled
// from the bottom up to the handle.
//
// Property writes clamp instead of failing. Every write that redraws raises
// Change afterwards; pointer updates raise Scroll then Change, key presses
// Change then Scroll. All events are emitted synchronously (connect them with
// direct connections): the control is already redrawn when a handler runs.
//
// 32-bit arithmetic is checked. An overflow stops the operation where it
// happened, with the fields as far as they were written; the operation then
// returns false and overflowed() is emitted. Positions delivered to and by
// the control (PointerX, PointerY, the MouseUp coordinates) are in twips;
// drawing is in pixels, converted with the twips-per-pixel factors.
//
// The control's own Enabled flag is not QWidget's enabled state: with it
// False, clicks still raise Click and DblClick and keys still move the value.
class Slider : public QWidget {
    Q_OBJECT

public:
    explicit Slider(QWidget* parent = nullptr);
    ~Slider() override;

    // Read accessors: the fields unchanged.
    qint32 Value() const { return m_value; }
    qint32 Max() const { return m_max; }
    qint32 Min() const { return m_min; }
    qint32 SelectStart() const { return m_selectStart; }
    qint32 SelectEnd() const { return m_selectEnd; }
    qint32 Style() const { return m_style; }
    bool Enabled() const { return m_enabled; }
    bool Snap() const { return m_snap; }
    qint32 BackColor() const { return m_backColor; }
    qint32 ForeColor() const { return m_foreColor; }
    qint32 ForeColor2() const { return m_foreColor2; }
    SliderRGB ForeRGB() const { return m_foreRGB; }
    SliderRGB Fore2RGB() const { return m_fore2RGB; }
    float PointerX() const { return m_pointerX; }
    float PointerY() const { return m_pointerY; }
    float HandlePos() const { return m_handlePos; }
    bool PointerDriven() const { return m_pointerDriven; }

    // Writes. Each returns false when an overflow stopped it.
    bool setValue(qint32 intValue);
    bool setMax(qint32 intMax);
    bool setMin(qint32 intMin);
    bool setSelectStart(qint32 iValue);
    bool setSelectEnd(qint32 iValue);
    bool setBackColor(qint32 lColor);
    bool setForeColor(qint32 lColor);
    bool setForeColor2(qint32 lColor);
    void setSnap(bool BolSnap);
    // The Style and Enabled properties. Named apart from QWidget::setStyle and
    // QWidget::setEnabled, which mean something else.
    bool setSliderStyle(qint32 eStyle);
    void setSliderEnabled(bool BolEnabled);

    // Persistence. readProperties applies "Value", "Max", "Min", "BackColor",
    // "ForeColor", "ForeColor2", "Enabled", "Snap" and "Style" through their
    // writes (in that order), then stores "StartSelect" and "EndSelect"
    // directly, then redraws once more. A stored value of the wrong type reads
    // as the key's default.
    bool readProperties(const PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;
    // The properties of the main window's timeline: Value 0, Max 1000000,
    // Min 0, Enabled False, everything else at its default.
    static MemoryPropertyBag windowInstanceProperties();

    // The notifications the control reacts to, callable directly. Positions
    // are in twips; button and shift masks as in MouseUp (1 left, 2 right,
    // 4 middle; 1 Shift, 2 Ctrl, 4 Alt). Key codes: 37 left, 39 right arrow.
    bool handleClick();
    bool handleDoubleClick();
    bool handlePointerMove(int button, int shift, float x, float y);
    void handleButtonRelease(int button, int shift, float x, float y);
    bool handleKeyDown(int keyCode);
    // The size rules: enforce the minimum length and the fixed thickness of
    // the current style, then redraw. Run on every size change.
    bool applySizeRules();

    // Twips per pixel; by default 1440 / the screen's logical DPI. A factor
    // of zero or less restores the default.
    void setTwipsPerPixel(double x, double y);
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    // The pixel along a horizontal timeline that a click turns into
    // `seconds` (fractions allowed), where the handle's centre then stands
    // (the drawing of whole values places it within a pixel of there);
    // nothing for an empty range or another style.
    std::optional<double> CentreOf(double seconds) const;

    // The off-screen image that the last complete redraw produced.
    const QImage& surface() const { return m_surface; }
    // The control's bitmaps as they are now (recolouring included).
    enum class Bitmap {
        PicLeft, PicRight, PicHandle, PicEmptyFill, PicFullFill,
        PicUp, PicDown, PicHandle2, PicEmptyFill2, PicFullFill2,
    };
    const QImage& bitmap(Bitmap which) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void DblClick(qint32& Value);
    void Scroll();
    void Change();
    void Click();
    void MouseUp(qint16 Button, qint16 Shift, float X, float Y);
    // An operation stopped on a 32-bit overflow.
    void overflowed();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool DrawSlider();
    void PaintEmptyFill();
    std::optional<QRgb> BlendFillColor() const;
    std::optional<qint32> positionOf(qint32 v) const;
    bool mapPointer(float& coordinate);
    void clampValue();
    bool fail();
    bool finishWrite();
    void updateSizePolicy();

    double pixelWidth() const;
    double pixelHeight() const;
    const QImage& pic(Bitmap which) const { return bitmap(which); }
    QImage& pic(Bitmap which);

    qint32 m_value = 50;
    qint32 m_max = 100;
    qint32 m_min = -100;
    qint32 m_selectStart = 0;
    qint32 m_selectEnd = 0;
    qint32 m_style = 0;
    bool m_enabled = true;
    bool m_snap = false;
    qint32 m_backColor = 0;
    qint32 m_foreColor = 0xC8C8;
    qint32 m_foreColor2 = 200;
    SliderRGB m_foreRGB;
    SliderRGB m_fore2RGB;
    float m_pointerX = 0;
    float m_pointerY = 0;
    float m_handlePos = 0;
    bool m_pointerDriven = false;

    double m_twipsX = 0;  // 0: from the screen
    double m_twipsY = 0;
    bool m_releaseEndsDoubleClick = false;
    QImage m_bitmaps[10];
    QImage m_surface;
};

}  // namespace clip
