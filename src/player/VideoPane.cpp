#include "player/VideoPane.h"

#include "player/PlaybackEngine.h"
#include "player/PreviewPath.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTextureBlitter>
#include <QOpenGLWidget>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

#include <cmath>

namespace clip {

// The GPU path's drawing: the engine's latest texture copied 1:1 to the top
// left of a black surface (the texture holds its own bars; a strip is left
// black while a resize is caught up with). Mouse events and drops pass
// through to the pane.
class VideoPane::GpuView : public QOpenGLWidget {
public:
    explicit GpuView(VideoPane* pane)
        : QOpenGLWidget(pane)
        , m_pane(pane)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    ~GpuView() override
    {
        if (!m_blitter.isCreated())
            return;
        makeCurrent();
        m_blitter.destroy();
        doneCurrent();
    }

protected:
    void initializeGL() override { m_blitter.create(); }

    void paintGL() override
    {
        QOpenGLFunctions* f = context()->functions();
        f->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        f->glClear(GL_COLOR_BUFFER_BIT);
        const qreal ratio = devicePixelRatioF();
        const QRect viewport(QPoint(0, 0), m_pane->pixelSize());
        QSize pixels;
        quint64 serial = 0;
        const auto blit = [&](unsigned texture, const QSize& size) {
            pixels = size;
            m_blitter.bind();
            m_blitter.blit(texture, QOpenGLTextureBlitter::targetTransform(QRectF(QPointF(0, 0), size), viewport),
                           QOpenGLTextureBlitter::OriginTopLeft);
            m_blitter.release();
        };
        if (m_pane->m_engine && m_blitter.isCreated() && m_pane->m_engine->drawPicture(blit, &serial))
            m_pane->pictureShown(serial, (QSizeF(pixels) / ratio).toSize());
        else
            m_pane->pictureShown(0, {});
    }

private:
    VideoPane* m_pane;
    QOpenGLTextureBlitter m_blitter;
};

VideoPane::VideoPane(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(false);
    if (ChosenPreviewPath().gpu)
        m_gpu = new GpuView(this);
}

void VideoPane::pictureShown(quint64 serial, const QSize& size)
{
    m_pictureSize = size;
    if (serial != 0 && serial != m_lastSerial)
        ++m_picturesShown;
    m_lastSerial = serial;
}

void VideoPane::setEngine(PlaybackEngine* engine)
{
    if (m_engine == engine)
        return;
    if (m_engine) {
        disconnect(m_engine, nullptr, this, nullptr);
        m_engine->setRenderSize({});
    }
    m_engine = engine;
    m_frame = QImage();
    if (m_gpu)
        m_gpu->update();
    if (m_engine) {
        connect(m_engine, &PlaybackEngine::frameReady, this, &VideoPane::refreshFrame);
        connect(m_engine, &QObject::destroyed, this, [this] {
            m_frame = QImage();
            update();
            if (m_gpu)
                m_gpu->update();
        });
        refreshFrame();
    }
    update();
}

QSize VideoPane::pixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
}

// Asks the engine for pictures at the pane's size in pixels and shows the
// latest one it has.
void VideoPane::refreshFrame()
{
    if (!m_engine) {
        m_frame = QImage();
        update();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    m_engine->setRenderSize(pixelSize());
    if (m_gpu) {
        m_gpu->update();
        return;
    }
    QImage frame = m_engine->currentImage(&m_frameSerial);
    if (!frame.isNull())
        frame.setDevicePixelRatio(ratio);
    m_frame = frame;
    update();
}

void VideoPane::paintEvent(QPaintEvent*)
{
    // The picture holds its own black bars; only what it leaves uncovered
    // (all of the pane without one, a strip while a resize is caught up
    // with) is filled. On the GPU path the OpenGL child covers the pane.
    if (m_gpu)
        return;
    QPainter painter(this);
    QRect covered;
    if (!m_frame.isNull()) {
        painter.drawImage(QPointF(0, 0), m_frame);
        covered = QRect(QPoint(0, 0), m_frame.deviceIndependentSize().toSize()) & rect();
    }
    for (const QRect& bar : QRegion(rect()) - covered)
        painter.fillRect(bar, Qt::black);
    pictureShown(m_frame.isNull() ? 0 : m_frameSerial, m_frame.deviceIndependentSize().toSize());
}

void VideoPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_gpu)
        m_gpu->setGeometry(rect());
    if (m_engine)
        refreshFrame();
}

void VideoPane::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void VideoPane::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void VideoPane::dropEvent(QDropEvent* event)
{
    if (!event->mimeData() || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    // Handed on after this handler has returned, so that the program that
    // dropped the files is not kept waiting while they load.
    if (!urls.isEmpty())
        QMetaObject::invokeMethod(this, [this, urls] { emit filesDropped(urls); }, Qt::QueuedConnection);
}

}  // namespace clip
