#include "slider/Slider.h"

#include "common/Rounding.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <limits>

// Resources of a static library must be registered by name, from the global
// namespace.
static void initSliderResources()
{
    Q_INIT_RESOURCE(slider);
}

namespace clip {

namespace {

std::optional<qint32> checkedAdd(qint32 a, qint32 b)
{
    const qint64 r = qint64(a) + qint64(b);
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(r);
}

std::optional<qint32> checkedSub(qint32 a, qint32 b)
{
    const qint64 r = qint64(a) - qint64(b);
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(r);
}

// Colours are laid out 0x00BBGGRR; the top byte is ignored.
qint16 GetRed(qint32 lColor) { return qint16(lColor & 0xFF); }
qint16 GetGreen(qint32 lColor) { return qint16((lColor >> 8) & 0xFF); }
qint16 GetBlue(qint32 lColor) { return qint16((lColor >> 16) & 0xFF); }

QRgb toQRgb(qint32 lColor) { return qRgb(GetRed(lColor), GetGreen(lColor), GetBlue(lColor)); }

// A plain copy of the top-left w x h of a bitmap.
void copyBitmap(QPainter& p, int x, int y, int w, int h, const QImage& src)
{
    if (w <= 0 || h <= 0)
        return;
    p.drawImage(QPoint(x, y), src, QRect(0, 0, w, h));
}

// A whole bitmap stretched into a rectangle; a negative width or height
// draws it mirrored to the left of x (or above y).
void stretchBitmap(QPainter& p, int x, int y, int w, int h, const QImage& src)
{
    if (w == 0 || h == 0)
        return;
    const bool mirrorX = w < 0;
    const bool mirrorY = h < 0;
    if (mirrorX) {
        x += w;
        w = -w;
    }
    if (mirrorY) {
        y += h;
        h = -h;
    }
    const QRect target(x, y, w, h);
    if (mirrorX || mirrorY)
        p.drawImage(target, src.mirrored(mirrorX, mirrorY));
    else
        p.drawImage(target, src);
}

int buttonMask(Qt::MouseButtons buttons)
{
    int mask = 0;
    if (buttons & Qt::LeftButton)
        mask |= 1;
    if (buttons & Qt::RightButton)
        mask |= 2;
    if (buttons & Qt::MiddleButton)
        mask |= 4;
    return mask;
}

int shiftMask(Qt::KeyboardModifiers modifiers)
{
    int mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= 1;
    if (modifiers & Qt::ControlModifier)
        mask |= 2;
    if (modifiers & Qt::AltModifier)
        mask |= 4;
    return mask;
}

// The control's key codes: the arrows are 37 to 40 (left, up, right, down);
// letters, digits and the space bar keep their character codes; other keys
// give 0, so no other key can be taken for an arrow.
int keyCode(const QKeyEvent* event)
{
    const int key = event->key();
    switch (key) {
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Space: return 32;
    default: break;
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    return 0;
}

const char* const kBitmapFiles[10] = {
    ":/slider/PicLeft.png",   ":/slider/PicRight.png",   ":/slider/PicHandle.png",
    ":/slider/PicEmptyFill.png", ":/slider/PicFullFill.png", ":/slider/PicUp.png",
    ":/slider/PicDown.png",   ":/slider/PicHandle2.png", ":/slider/PicEmptyFill2.png",
    ":/slider/PicFullFill2.png",
};

// Property-bag defaults.
constexpr qint32 kDefaultValue = 50;
constexpr qint32 kDefaultMax = 100;
constexpr qint32 kDefaultMin = -100;
constexpr qint32 kDefaultBackColor = 0;
constexpr qint32 kDefaultForeColor = 0xC8C8;
constexpr qint32 kDefaultForeColor2 = 200;

qint32 readInt(const PropertyBag& bag, const QString& key, qint32 defaultValue)
{
    const QVariant v = bag.read(key, defaultValue);
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
        return defaultValue;
    return qint32(n);
}

bool readBool(const PropertyBag& bag, const QString& key, bool defaultValue)
{
    const QVariant v = bag.read(key, defaultValue);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    return ok ? n != 0 : defaultValue;
}

}  // namespace

Slider::Slider(QWidget* parent)
    : QWidget(parent)
{
    initSliderResources();
    for (int i = 0; i < 10; ++i)
        m_bitmaps[i] = QImage(QString::fromLatin1(kBitmapFiles[i])).convertToFormat(QImage::Format_RGB32);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateSizePolicy();
    DrawSlider();
}

Slider::~Slider() = default;

const QImage& Slider::bitmap(Bitmap which) const { return m_bitmaps[int(which)]; }
QImage& Slider::pic(Bitmap which) { return m_bitmaps[int(which)]; }

// ---------------------------------------------------------------- writes

bool Slider::fail()
{
    emit overflowed();
    return false;
}

void Slider::clampValue()
{
    if (m_value < m_min)
        m_value = m_min;
    if (m_value > m_max)
        m_value = m_max;
}

bool Slider::finishWrite()
{
    m_pointerDriven = false;
    if (!DrawSlider())
        return fail();
    emit Change();
    return true;
}

bool Slider::setValue(qint32 intValue)
{
    m_value = intValue;
    clampValue();
    return finishWrite();
}

bool Slider::setMax(qint32 intMax)
{
    m_max = intMax;
    if (intMax <= m_min) {
        const auto above = checkedAdd(m_min, 1);
        if (!above)
            return fail();
        m_max = *above;
    }
    if (m_value > m_max)
        m_value = m_max;
    return finishWrite();
}

bool Slider::setMin(qint32 intMin)
{
    m_min = intMin;
    if (intMin >= m_max) {
        const auto below = checkedSub(m_max, 1);
        if (!below)
            return fail();
        m_min = *below;
    }
    if (m_value < m_min)
        m_value = m_min;
    return finishWrite();
}

bool Slider::setSelectStart(qint32 iValue)
{
    m_selectStart = iValue;
    return finishWrite();
}

bool Slider::setSelectEnd(qint32 iValue)
{
    m_selectEnd = iValue;
    return finishWrite();
}

bool Slider::setBackColor(qint32 lColor)
{
    m_backColor = lColor;
    PaintEmptyFill();
    return finishWrite();
}

bool Slider::setForeColor(qint32 lColor)
{
    m_foreColor = lColor;
    m_foreRGB = {float(GetRed(lColor)), float(GetGreen(lColor)), float(GetBlue(lColor))};
    return finishWrite();
}

bool Slider::setForeColor2(qint32 lColor)
{
    m_foreColor2 = lColor;
    m_fore2RGB = {float(GetRed(lColor)), float(GetGreen(lColor)), float(GetBlue(lColor))};
    return finishWrite();
}

void Slider::setSnap(bool BolSnap) { m_snap = BolSnap; }

void Slider::setSliderEnabled(bool BolEnabled) { m_enabled = BolEnabled; }

bool Slider::setSliderStyle(qint32 eStyle)
{
    m_style = eStyle;
    updateSizePolicy();
    // Square the control first; the size rules then give it the thickness
    // of the new style.
    if (eStyle != 0)
        resize(width(), width());
    else
        resize(height(), height());
    if (!applySizeRules())
        return false;
    m_pointerDriven = false;
    if (!DrawSlider())
        return fail();
    return true;
}

// ---------------------------------------------------------------- persistence

bool Slider::readProperties(const PropertyBag& bag)
{
    if (!setValue(readInt(bag, QStringLiteral("Value"), kDefaultValue)))
        return false;
    if (!setMax(readInt(bag, QStringLiteral("Max"), kDefaultMax)))
        return false;
    if (!setMin(readInt(bag, QStringLiteral("Min"), kDefaultMin)))
        return false;
    if (!setBackColor(readInt(bag, QStringLiteral("BackColor"), kDefaultBackColor)))
        return false;
    if (!setForeColor(readInt(bag, QStringLiteral("ForeColor"), kDefaultForeColor)))
        return false;
    if (!setForeColor2(readInt(bag, QStringLiteral("ForeColor2"), kDefaultForeColor2)))
        return false;
    setSliderEnabled(readBool(bag, QStringLiteral("Enabled"), true));
    setSnap(readBool(bag, QStringLiteral("Snap"), false));
    if (!setSliderStyle(readInt(bag, QStringLiteral("Style"), 0)))
        return false;
    m_selectStart = readInt(bag, QStringLiteral("StartSelect"), 0);
    m_selectEnd = readInt(bag, QStringLiteral("EndSelect"), 0);
    m_pointerDriven = false;
    if (!DrawSlider())
        return fail();
    return true;
}

void Slider::writeProperties(PropertyBag& bag) const
{
    bag.write(QStringLiteral("Value"), Value(), kDefaultValue);
    bag.write(QStringLiteral("Max"), Max(), kDefaultMax);
    bag.write(QStringLiteral("Min"), Min(), kDefaultMin);
    bag.write(QStringLiteral("BackColor"), BackColor(), kDefaultBackColor);
    bag.write(QStringLiteral("ForeColor"), ForeColor(), kDefaultForeColor);
    bag.write(QStringLiteral("ForeColor2"), ForeColor2(), kDefaultForeColor2);
    bag.write(QStringLiteral("Enabled"), Enabled(), true);
    bag.write(QStringLiteral("Snap"), Snap(), false);
    bag.write(QStringLiteral("Style"), Style(), 0);
    bag.write(QStringLiteral("StartSelect"), SelectStart(), 0);
    bag.write(QStringLiteral("EndSelect"), SelectEnd(), 0);
}

MemoryPropertyBag Slider::windowInstanceProperties()
{
    return MemoryPropertyBag{
        {QStringLiteral("Value"), qint32(0)},
        {QStringLiteral("Max"), qint32(1000000)},
        {QStringLiteral("Min"), qint32(0)},
        {QStringLiteral("Enabled"), false},
    };
}

// ---------------------------------------------------------------- notifications

bool Slider::handleClick()
{
    emit Click();
    return handleDoubleClick();
}

bool Slider::handleDoubleClick()
{
    if (m_enabled) {
        float along = m_style == 0 ? float(m_pointerX / twipsPerPixelX())
                                   : float(m_pointerY / twipsPerPixelY());
        if (!mapPointer(along))
            return fail();
        clampValue();
        m_pointerDriven = true;
        if (!DrawSlider())
            return fail();
        emit Scroll();
        emit Change();
    }
    emit DblClick(m_value);
    return true;
}

bool Slider::handlePointerMove(int button, int shift, float x, float y)
{
    Q_UNUSED(shift);
    float keptX = x;
    float keptY = y;
    if (button == 1 && m_enabled) {
        if (m_style == 0) {
            float along = float(x / twipsPerPixelX());
            if (!mapPointer(along))
                return fail();
            keptX = float(along * twipsPerPixelX());
        } else {
            float along = float(y / twipsPerPixelY());
            if (!mapPointer(along))
                return fail();
            keptY = float(along * twipsPerPixelY());
        }
        clampValue();
        m_pointerDriven = true;
        if (!DrawSlider())
            return fail();
        emit Scroll();
        emit Change();
    }
    m_pointerX = keptX;
    m_pointerY = keptY;
    return true;
}

void Slider::handleButtonRelease(int button, int shift, float x, float y)
{
    emit MouseUp(qint16(button), qint16(shift), x, y);
}

bool Slider::handleKeyDown(int keyCode)
{
    if (keyCode == 37) {
        const auto v = checkedSub(m_value, 1);
        if (!v)
            return fail();
        m_value = *v;
    } else if (keyCode == 39) {
        const auto v = checkedAdd(m_value, 1);
        if (!v)
            return fail();
        m_value = *v;
    }
    clampValue();
    m_pointerDriven = false;
    if (!DrawSlider())
        return fail();
    emit Change();
    emit Scroll();
    return true;
}

// ---------------------------------------------------------------- geometry

void Slider::setTwipsPerPixel(double x, double y)
{
    m_twipsX = x > 0 ? x : 0;
    m_twipsY = y > 0 ? y : 0;
}

double Slider::twipsPerPixelX() const
{
    if (m_twipsX > 0)
        return m_twipsX;
    const int dpi = logicalDpiX();
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

double Slider::twipsPerPixelY() const
{
    if (m_twipsY > 0)
        return m_twipsY;
    const int dpi = logicalDpiY();
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

// The control's size in twips is its widget size times the factor, so in
// pixels it is the widget size itself.
double Slider::pixelWidth() const { return width(); }
double Slider::pixelHeight() const { return height(); }

bool Slider::applySizeRules()
{
    if (m_style == 0) {
        const QImage& left = pic(Bitmap::PicLeft);
        const int minWidth = left.width() + pic(Bitmap::PicRight).width() + 2 * pic(Bitmap::PicHandle).width();
        if (float(pixelWidth()) < float(minWidth))
            resize(minWidth, height());
        resize(width(), left.height());
    } else {
        const QImage& down = pic(Bitmap::PicDown);
        const int minHeight = down.height() + pic(Bitmap::PicUp).height() + 2 * pic(Bitmap::PicHandle2).height();
        if (float(pixelHeight()) < float(minHeight))
            resize(width(), minHeight);
        resize(down.width(), height());
    }
    m_pointerDriven = false;
    if (!DrawSlider())
        return fail();
    return true;
}

void Slider::updateSizePolicy()
{
    if (m_style == 0)
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    else
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    updateGeometry();
}

QSize Slider::minimumSizeHint() const
{
    if (m_style == 0)
        return {pic(Bitmap::PicLeft).width() + pic(Bitmap::PicRight).width() + 2 * pic(Bitmap::PicHandle).width(),
                pic(Bitmap::PicLeft).height()};
    return {pic(Bitmap::PicDown).width(),
            pic(Bitmap::PicDown).height() + pic(Bitmap::PicUp).height() + 2 * pic(Bitmap::PicHandle2).height()};
}

QSize Slider::sizeHint() const
{
    const QSize minimum = minimumSizeHint();
    return m_style == 0 ? QSize(std::max(200, minimum.width()), minimum.height())
                        : QSize(minimum.width(), std::max(200, minimum.height()));
}

// ---------------------------------------------------------------- mappings

// Where value v is drawn: horizontally the handle's left edge; vertically the
// distance from the handle's top edge to the bottom edge. Three separate
// roundings decide the pixel.
std::optional<qint32> Slider::positionOf(qint32 v) const
{
    const auto range = checkedSub(m_max, m_min);
    if (!range)
        return std::nullopt;
    const double r = *range;
    double trackLength;
    double handleHalf;
    double extra;
    if (m_style == 0) {
        trackLength = pixelWidth() - pic(Bitmap::PicLeft).width() - pic(Bitmap::PicRight).width()
            - pic(Bitmap::PicHandle).width();
        handleHalf = pic(Bitmap::PicHandle).width() / 2.0;
        extra = 0;
    } else {
        const int vh = pic(Bitmap::PicHandle2).height();
        trackLength = pixelHeight() - pic(Bitmap::PicDown).height() - pic(Bitmap::PicUp).height() - vh;
        handleHalf = vh / 2.0;
        extra = vh;
    }
    const auto a = RoundToInt32(double(v) / r * trackLength);
    if (!a)
        return std::nullopt;
    const auto b = RoundToInt32(handleHalf + *a + 1 + extra);
    if (!b)
        return std::nullopt;
    return RoundToInt32(*b - double(m_min) / r * trackLength);
}

std::optional<double> Slider::CentreOf(double seconds) const
{
    const double range = double(m_max) - double(m_min);
    if (m_style != 0 || range <= 0)
        return std::nullopt;
    // The inverse of mapPointer: a click here gives `seconds` (rounded), and
    // the handle it moves is centred here.
    const double trackLength = pixelWidth() - pic(Bitmap::PicLeft).width() - pic(Bitmap::PicRight).width()
        - pic(Bitmap::PicHandle).width();
    return pic(Bitmap::PicHandle).width() + (seconds - m_min) / range * trackLength;
}

// Turns a pointer coordinate (pixels along the control) into Value (not yet
// clamped) and HandlePos, and clamps the coordinate to the handle's travel.
bool Slider::mapPointer(float& coordinate)
{
    const auto range = checkedSub(m_max, m_min);
    if (!range)
        return false;
    if (m_style == 0) {
        const int l = pic(Bitmap::PicLeft).width();
        const int r = pic(Bitmap::PicRight).width();
        const int hd = pic(Bitmap::PicHandle).width();
        const double w = pixelWidth();
        const double trackLength = w - l - r - hd;
        const double t = (double(coordinate) - hd) / trackLength;
        const auto v = RoundToInt32(t * *range);
        if (!v)
            return false;
        const auto value = checkedAdd(*v, m_min);
        if (!value)
            return false;
        m_value = *value;
        float x = coordinate;
        const float low = float(hd) / 2.0f + float(l) - 1.0f;
        const float high = float(w) - (float(hd) / 2.0f + float(r));
        if (x < low)
            x = low;
        if (x > high)
            x = high;
        m_handlePos = x - float(hd) / 2.0f;
        coordinate = x;
    } else {
        const int d = pic(Bitmap::PicDown).height();
        const int u = pic(Bitmap::PicUp).height();
        const int vh = pic(Bitmap::PicHandle2).height();
        const double h = pixelHeight();
        const double trackLength = h - d - u - vh;
        const double t = (double(coordinate) - vh) / trackLength;
        const auto v = RoundToInt32(t * *range);
        if (!v)
            return false;
        const auto fromMin = checkedAdd(m_min, *v);
        if (!fromMin)
            return false;
        m_value = *fromMin;
        // The top end is the maximum.
        const auto sum = checkedAdd(m_min, m_max);
        if (!sum)
            return false;
        const auto flipped = checkedSub(*sum, m_value);
        if (!flipped)
            return false;
        m_value = *flipped;
        float y = coordinate;
        const float low = float(vh) / 2.0f + float(d) - 1.0f;
        const float high = float(h) - (float(vh) / 2.0f + float(u));
        if (y < low)
            y = low;
        if (y > high)
            y = high;
        m_handlePos = float(h) - y + float(vh) / 2.0f - 4.0f;
        coordinate = y;
    }
    return true;
}

// ---------------------------------------------------------------- drawing

void Slider::PaintEmptyFill()
{
    const QRgb colour = toQRgb(m_backColor);
    QImage& horizontal = pic(Bitmap::PicEmptyFill);
    QImage& vertical = pic(Bitmap::PicEmptyFill2);
    for (int i = 6; i <= 12; ++i) {
        horizontal.setPixel(0, i, colour);
        vertical.setPixel(i, 0, colour);
    }
}

// The fill colour of the vertical style, blended from ForeColor at Min to
// ForeColor2 at Max.
std::optional<QRgb> Slider::BlendFillColor() const
{
    double t;
    double foreWeight;
    if (!m_snap && m_pointerDriven) {
        const double travel = pixelHeight() - pic(Bitmap::PicDown).height() - pic(Bitmap::PicUp).height();
        t = m_handlePos / travel;
        foreWeight = 1.0 - t;
    } else {
        const auto range = checkedSub(m_max, m_min);
        if (!range)
            return std::nullopt;
        const auto fromMin = checkedSub(m_value, m_min);
        if (!fromMin)
            return std::nullopt;
        const auto toMax = checkedSub(*range, *fromMin);
        if (!toMax)
            return std::nullopt;
        t = double(*fromMin) / *range;
        foreWeight = double(*toMax) / *range;
    }
    auto component = [&](float fore, float fore2) -> std::optional<qint16> {
        double c = foreWeight * fore + t * fore2;
        if (c < 0)
            c = 0;
        if (c > 255)
            c = 255;
        return RoundToInt16(c);
    };
    const auto red = component(m_foreRGB.Red, m_fore2RGB.Red);
    const auto green = component(m_foreRGB.Green, m_fore2RGB.Green);
    const auto blue = component(m_foreRGB.Blue, m_fore2RGB.Blue);
    if (!red || !green || !blue)
        return std::nullopt;
    return qRgb(*red, *green, *blue);
}

// Repaints the whole control into the off-screen image and shows it. Every
// position is worked out before anything is drawn, so an overflow leaves the
// last complete picture on show.
bool Slider::DrawSlider()
{
    const auto range = checkedSub(m_max, m_min);
    if (!range)
        return false;
    if (*range == 0)
        return true;

    const bool snapped = m_snap || !m_pointerDriven;
    std::optional<qint32> handle;
    if (snapped)
        handle = positionOf(m_value);
    else
        handle = RoundToInt32(m_handlePos);
    if (!handle)
        return false;

    if (m_surface.size() != size())
        m_surface = QImage(size(), QImage::Format_RGB32);

    if (m_style == 0) {
        const auto xs = positionOf(m_selectStart);
        const auto xe = positionOf(m_selectEnd);
        if (!xs || !xe)
            return false;
        const QImage& left = pic(Bitmap::PicLeft);
        const QImage& right = pic(Bitmap::PicRight);
        const QImage& handleBitmap = pic(Bitmap::PicHandle);
        const int capH = left.height();
        const auto emptyWidth = RoundToInt32(pixelWidth() - *xe);
        const auto rightX = RoundToInt32(pixelWidth() - right.width());
        if (!emptyWidth || !rightX)
            return false;
        if (!m_surface.isNull()) {
            m_surface.fill(palette().color(QPalette::Window));
            QPainter p(&m_surface);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            stretchBitmap(p, *xs, 0, *xe - *xs, capH, pic(Bitmap::PicFullFill));
            stretchBitmap(p, *xe, 0, *emptyWidth, capH, pic(Bitmap::PicEmptyFill));
            stretchBitmap(p, 0, 0, *xs, capH, pic(Bitmap::PicEmptyFill));
            copyBitmap(p, 0, 0, left.width(), capH, left);
            copyBitmap(p, *rightX, 0, right.width(), capH, right);
            copyBitmap(p, *handle, 4, handleBitmap.width(), handleBitmap.height(), handleBitmap);
        }
    } else {
        const auto y = RoundToInt32(pixelHeight() - *handle);
        const auto fullHeight = RoundToInt32(pixelHeight());
        const QImage& up = pic(Bitmap::PicUp);
        const QImage& down = pic(Bitmap::PicDown);
        const QImage& handleBitmap = pic(Bitmap::PicHandle2);
        const auto downY = RoundToInt32(pixelHeight() - down.height());
        if (!y || !fullHeight || !downY)
            return false;
        const auto fill = BlendFillColor();
        if (!fill)
            return false;
        QImage& fullFill = pic(Bitmap::PicFullFill2);
        for (int i = 6; i <= 12; ++i)
            fullFill.setPixel(i, 0, *fill);
        if (!m_surface.isNull()) {
            m_surface.fill(palette().color(QPalette::Window));
            QPainter p(&m_surface);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            stretchBitmap(p, 0, 0, down.width(), *y, pic(Bitmap::PicEmptyFill2));
            stretchBitmap(p, 0, *y, up.width(), *fullHeight, fullFill);
            copyBitmap(p, 0, 0, up.width(), up.height(), up);
            copyBitmap(p, 0, *downY, down.width(), down.height(), down);
            copyBitmap(p, 4, *y, handleBitmap.width(), handleBitmap.height(), handleBitmap);
        }
    }
    update();
    return true;
}

// ---------------------------------------------------------------- Qt events

void Slider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_surface.size() != size())
        p.fillRect(rect(), palette().color(QPalette::Window));
    p.drawImage(0, 0, m_surface);
}

void Slider::resizeEvent(QResizeEvent*)
{
    applySizeRules();
}

void Slider::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    handlePointerMove(buttonMask(event->buttons()), shiftMask(event->modifiers()),
                      float(pos.x() * twipsPerPixelX()), float(pos.y() * twipsPerPixelY()));
    event->accept();
}

void Slider::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void Slider::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    const bool endsDoubleClick = m_releaseEndsDoubleClick;
    m_releaseEndsDoubleClick = false;
    QPointer<Slider> alive(this);
    handleButtonRelease(buttonMask(event->button()), shiftMask(event->modifiers()),
                        float(pos.x() * twipsPerPixelX()), float(pos.y() * twipsPerPixelY()));
    if (!alive)
        return;
    // A left press and release over the control is a click; the release that
    // ends a double-click is not.
    if (event->button() == Qt::LeftButton && !endsDoubleClick && rect().contains(pos.toPoint()))
        handleClick();
    event->accept();
}

void Slider::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_releaseEndsDoubleClick = true;
        handleDoubleClick();
    }
    event->accept();
}

bool Slider::event(QEvent* event)
{
    // Every key is the timeline's own while it has the focus: the window's
    // shortcuts do not take them from it.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void Slider::keyPressEvent(QKeyEvent* event)
{
    handleKeyDown(keyCode(event));
    event->accept();
}

}  // namespace clip
