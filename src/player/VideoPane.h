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
class VideoPane : public QWidget {
    Q_OBJECT

public:
    explicit VideoPane(QWidget* parent = nullptr);

    // The engine whose pictures are shown; nullptr shows black. The pane
    // does not own the engine and lets go of it when it is destroyed.
    void setEngine(PlaybackEngine* engine);
    PlaybackEngine* engine() const { return m_engine; }

    // The picture last shown (null when black); right after a resize it may
    // still be one of the old size, until the engine has drawn a new one.
    QImage currentFrame() const { return m_frame; }

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
    QPointer<PlaybackEngine> m_engine;
    QImage m_frame;
};

}  // namespace clip
