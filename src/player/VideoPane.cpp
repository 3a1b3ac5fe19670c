#include "player/VideoPane.h"

#include "player/PlaybackEngine.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

#include <cmath>

namespace clip {

VideoPane::VideoPane(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(false);
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
    if (m_engine) {
        connect(m_engine, &PlaybackEngine::frameReady, this, &VideoPane::refreshFrame);
        connect(m_engine, &QObject::destroyed, this, [this] {
            m_frame = QImage();
            update();
        });
        refreshFrame();
    }
    update();
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
    m_engine->setRenderSize(QSize(static_cast<int>(std::lround(width() * ratio)),
                                  static_cast<int>(std::lround(height() * ratio))));
    QImage frame = m_engine->currentImage();
    if (!frame.isNull())
        frame.setDevicePixelRatio(ratio);
    m_frame = frame;
    update();
}

void VideoPane::paintEvent(QPaintEvent*)
{
    // The picture holds its own black bars; only what it leaves uncovered
    // (all of the pane without one, a strip while a resize is caught up
    // with) is filled.
    QPainter painter(this);
    QRect covered;
    if (!m_frame.isNull()) {
        painter.drawImage(QPointF(0, 0), m_frame);
        covered = QRect(QPoint(0, 0), m_frame.deviceIndependentSize().toSize()) & rect();
    }
    for (const QRect& bar : QRegion(rect()) - covered)
        painter.fillRect(bar, Qt::black);
}

void VideoPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
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
