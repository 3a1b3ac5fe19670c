// The window's side of the segments: what the segment panel asks of the
// preview (the marks, taking a segment back, playing the kept parts) and
// when the list is kept with its video.
#include "mainwindow/frmMain.h"

#include "common/HostServices.h"
#include "common/Rounding.h"
#include "common/SecondsToTime.h"
#include "controls/MyButton.h"
#include "mainwindow/SegmentPanel.h"
#include "player/PlaybackEngine.h"
#include "preview/SegmentPlayback.h"
#include "preview/VideoSession.h"
#include "slider/Slider.h"

#include <QLabel>
#include <QTimer>

namespace clip {

void frmMain::connectSegmentHandlers()
{
    m_segmentPlay = new SegmentPlayback(this);
    m_segments->SetWindow({
        [this]() -> std::optional<Segment> {
            if (!IsVideoLoaded())
                return std::nullopt;
            return Segment{SelectionStartSeconds(), SelectionEndSeconds(), {}};
        },
        [this] { cmdDeleteSelect_Click(); },
        [this](const Segment& segment) { PutMarks(segment); },
        [this] { PlaySegments(); },
    });
    // The list goes with the video it was made on: kept when another file
    // is chosen, brought back when the file is opened again.
    connect(m_session, &VideoSession::cleared, m_segments, &SegmentPanel::VideoClosed);
    connect(m_session, &VideoSession::started, m_segments, [this] { m_segments->VideoOpened(InputFile()); });
    connect(m_segmentPlay, &SegmentPlayback::ended, this, [this] {
        tmrVideo->stop();
        cmdPlay->setText(QStringLiteral("Play"));
        ShowPosition();
    });
}

void frmMain::PutMarks(const Segment& segment)
{
    if (!IsVideoLoaded() || !Player())
        return;
    if (tmrVideo->isActive())
        cmdPlay_Click();  // edited on a still picture
    m_session->SetMarks(segment.start, segment.end);
    Slider->setSelectStart(RoundToInt32(segment.start).value_or(0));
    Slider->setSelectEnd(RoundToInt32(segment.end).value_or(0));
    lblStartSelect->setText(MillisecondsToTime(MediaMilliseconds(SelectionStartSeconds())));
    lblEndSelect->setText(MillisecondsToTime(MediaMilliseconds(SelectionEndSeconds())));
    SeekAndShow(segment.start);
    ShowCutStartNote();
}

void frmMain::PlaySegments()
{
    if (!IsVideoLoaded() || !Player()) {
        Host().messageBox(QStringLiteral("No video file loaded"), MsgInformation);
        return;
    }
    const double length = Player()->Duration();
    if (const QString nothing = m_segments->NothingLeft(length); !nothing.isEmpty()) {
        Host().messageBox(nothing, MsgInformation);
        return;
    }
    m_session->PlaybackMoved();
    if (!m_segmentPlay->Start(m_session->SharedPlayer(), m_segments->Parts(length)))
        return;
    tmrVideo->start();
    cmdPlay->setText(QStringLiteral("Pause"));
}

}  // namespace clip
