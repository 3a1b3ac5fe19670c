#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

namespace clip {

class PlaybackEngine;

// Shows the pictures of a playback engine, rendered at the pane's size and
// kept in their aspect ratio with black bars; black when no engine is
// attached or nothing is loaded. Files dragged onto the pane are accepted
// and handed on through filesDropped() once the drop handler has returned;
// the pane itself does nothing with them.
//
// On the software path the pane paints the engine's images; on the GPU path
// (ChosenPreviewPath(), decided when the first pane is made) an OpenGL child
// covering the pane draws the engine's textures, and drops fall through it
// to the pane. grab() shows what the pane shows on either path.
class VideoPane : public QWidget {
    Q_OBJECT

public:
    explicit VideoPane(QWidget* parent = nullptr);

    // The engine whose pictures are shown; nullptr shows black. The pane
    // does not own the engine and lets go of it when it is destroyed.
    void setEngine(PlaybackEngine* engine);
    PlaybackEngine* engine() const { return m_engine; }
    // The size, in pixels, pictures are drawn at for this pane.
    QSize pixelSize() const;

    // The software path: the picture last shown (null when black); right
    // after a resize it may still be one of the old size, until the engine
    // has drawn a new one. Null on the GPU path.
    QImage currentFrame() const { return m_frame; }
    // Either path: the size, in the pane's units, of the picture last shown
    // (empty when black), and how many different pictures it has shown.
    QSize pictureSize() const { return m_pictureSize; }
    quint64 picturesShown() const { return m_picturesShown; }
    bool drawsWithOpenGl() const { return m_gpu != nullptr; }

signals:
    // Local or remote addresses dropped onto the pane, in their order.
    void filesDropped(const QList<QUrl>& urls);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void refreshFrame();

private:
    class GpuView;
    // Counts a picture shown: `serial` numbers the engine's pictures.
    void pictureShown(quint64 serial, const QSize& size);

    QPointer<PlaybackEngine> m_engine;
    QImage m_frame;
    quint64 m_frameSerial = 0;
    GpuView* m_gpu = nullptr;
    QSize m_pictureSize;
    quint64 m_picturesShown = 0;
    quint64 m_lastSerial = 0;
};

}  // namespace clip
