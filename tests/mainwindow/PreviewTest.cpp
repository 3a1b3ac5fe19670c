// The window's video preview against the real encoder and playback engine:
// loading, play, pause, stop, seeking, the end, the selection marks, the
// picture in the pane, dropped files, and files that must not hang a load.
#include "common/SecondsToTime.h"
#include "mainwindow/WindowTestKit.h"
#include "player/PlayerTestSupport.h"
#include "player/VideoPane.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPointer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clip {
namespace {

using test::Fake;
using test::WaitFor;
using State = PlaybackEngine::State;

QString SilentClip(double seconds, const char* name)  // two tiny frames a second, no sound
{
    test::ClipRecipe wanted;
    wanted.seconds = seconds;
    wanted.fps = 2;
    wanted.audioCodec.clear();
    wanted.baseName = QString::fromLatin1(name);
    return test::MakeClip(wanted);
}
QString Clip125() { return SilentClip(125.5, "preview-125"); }
QString ShortClip() { return SilentClip(4.0, "preview-short"); }

class Preview : public test::HiveTest {
protected:
    void SetUp() override
    {
        HiveTest::SetUp();
        w = std::make_unique<frmMain>();
    }
    void TearDown() override
    {
        w.reset();
        HiveTest::TearDown();
    }
    void Choose(const QString& path)
    {
        Fake().dialogAnswers << path;
        w->cmdAddVideoFile->click();
    }
    void Drop(const QList<QUrl>& urls) { emit w->picVideoWindow->filesDropped(urls); }
    void Drop(const QString& path) { Drop(QList<QUrl>{QUrl::fromLocalFile(path)}); }
    bool Loaded() { return WaitFor([&] { return !w->NoVideoLoaded || !Fake().messages.isEmpty(); }) && !w->NoVideoLoaded; }
    void LoadPlaying(const QString& path)
    {
        Choose(path);
        ASSERT_TRUE(Loaded()) << path.toStdString();
        ASSERT_TRUE(Fake().messages.isEmpty());
    }
    PlaybackEngine& Engine() { return *w->Player(); }
    bool SeekDone() { return WaitFor([&] { return !Engine().isSeeking(); }); }
    void SeekTo(qint32 value)
    {
        w->Slider->setValue(value);
        emit w->Slider->MouseUp(1, 0, 0.0f, 0.0f);
    }
    QString Copy(const QString& clip, const QString& name) { return test::CopyClipTo(clip, dir.path(), name); }

    std::unique_ptr<frmMain> w;
};

TEST_F(Preview, LoadSetsTimelineAndDurationHalvesToEvenAndStartsPlaying)
{
    const struct { const char* clip; double seconds; qint32 max; const char* text; } cases[] = {
        {"preview-125", 125.5, 126, "00:02:06"}, {"preview-124", 124.5, 124, "00:02:04"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clip);
        w->Slider->setSelectStart(3);
        w->progress->setValue(40);
        LoadPlaying(SilentClip(c.seconds, c.clip));
        EXPECT_EQ(QList<qint32>({w->Slider->Max(), w->Slider->Value(), w->Slider->SelectStart()}),
                  QList<qint32>({c.max, 0, 0}));
        EXPECT_TRUE(w->Slider->Enabled() && w->tmrVideo->isActive());
        EXPECT_EQ(w->lblTime->text(), QString("00:00:00/") + c.text);
        EXPECT_EQ(w->cmdPlay->text() + w->lblStartSelect->text(), "Pause00.00.00");
        EXPECT_FALSE(w->progress->isVisibleTo(w.get()));
        EXPECT_EQ(w->picVideoWindow->engine(), w->Player());
        EXPECT_TRUE(WaitFor([&] { return Engine().state() == State::Running; }));
    }
}

TEST_F(Preview, CancelledDialogChangesNothingAndThePaneShowsThePicture)
{
    LoadPlaying(test::PlayerClip("preview-blue", 2.0, 5, "c=blue"));
    PlaybackEngine* engine = w->Player();
    w->cmdAddVideoFile->click();  // no scripted answer: cancelled
    EXPECT_EQ(w->Player(), engine);
    EXPECT_EQ(w->cmdPlay->text(), "Pause");
    // Blanks around an answer go, unless they belong to a file's name.
    const QString tail = Copy(ShortClip(), "blank-tail.mp4 ");
    Fake().dialogAnswers << "  /tmp/x.mp4 " << "   " << tail;
    EXPECT_EQ(w->ShowOpenDialog(w.get(), {}, "t", false), "/tmp/x.mp4");
    EXPECT_EQ(w->ShowOpenDialog(w.get(), {}, "t", true), "Cancel");
    EXPECT_EQ(w->SelectVideoFile(), tail);

    w->show();
    auto centre = [&] {
        const QImage img = w->picVideoWindow->grab().toImage();
        return QColor(img.pixel(img.width() / 2, img.height() / 2));
    };
    EXPECT_TRUE(WaitFor([&] { return centre().blue() > 180 && centre().red() < 60; }));
}

// Whatever the bad file, the message says so, the previous video stops at
// its start, the marks are reset, and the guarded buttons do nothing.
TEST_F(Preview, BadFilesSayNotSupportedAndLeaveNoVideoLoaded)
{
    enum Bad { TextAsMp4, Truncated, Fifo, Missing, NoPicture };
    for (Bad bad : {TextAsMp4, Truncated, Fifo, Missing, NoPicture}) {
        SCOPED_TRACE(bad);
        Fake().reset();
        w = std::make_unique<frmMain>();
        LoadPlaying(Clip125());
        w->Slider->setValue(30);
        w->cmdStartSelect->click();
        const QPointer<PlaybackEngine> previous = w->Player();

        QString path = InDir("bad clip.mp4");
        QFile::remove(path);
        QFile source(ShortClip());
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        if (bad == TextAsMp4 || bad == Truncated) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bad == Truncated ? source.read(source.size() * 6 / 10) : QByteArray("milk, bread\n").repeated(300));
        }
        if (bad == Fifo) {
            ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        if (bad == NoPicture)
            path = test::NoPictureClip();  // the probe accepts it; the engine finds no picture
        // Should the probe wait on the FIFO, a writer lets it go (and the test fail).
        test::Poller unblock([&] {
            if (Fake().yields > 0 && bad == Fifo)
                ::close(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK));
            return false;
        });
        Fake().yields = 0;
        Fake().dialogAnswers << path;
        w->cmdAddVideoFile->click();
        ASSERT_TRUE(WaitFor([&] { return !Fake().messages.isEmpty(); }));
        EXPECT_EQ(Fake().yields == 0, bad == Fifo || bad == Missing);  // refused before any probe
        EXPECT_TRUE(Fake().messages[0].text.startsWith("File is not supported"));
        EXPECT_EQ(Fake().messages[0].style, 48);
        EXPECT_EQ(Fake().messages[0].text.contains("picture"), bad == NoPicture);
        EXPECT_TRUE(w->NoVideoLoaded);
        EXPECT_EQ(w->InputFilePath, path);
        EXPECT_EQ(w->lblTime->text() + w->lblStartSelect->text(), "00:00/00:0000.00.00");
        EXPECT_EQ(w->Slider->SelectStart(), 0);
        EXPECT_FALSE(w->tmrVideo->isActive());
        if (bad != NoPicture) {  // refused before loading: the previous video stays, stopped
            ASSERT_EQ(w->Player(), previous.data());
            EXPECT_EQ(Engine().state(), State::Stopped);
        } else {
            EXPECT_TRUE(previous.isNull());
        }
        w->cmdPlay->click();
        w->cmdStartSelect->click();
        EXPECT_EQ(w->cmdPlay->text() + w->lblStartSelect->text(), "Play00.00.00");
        EXPECT_EQ(Fake().messages.size(), 1);
    }
}

TEST_F(Preview, PlayPauseSeekSelectStopAndEnd)
{
    LoadPlaying(Clip125());
    ASSERT_TRUE(WaitFor([&] { return Engine().CurrentPosition() >= 1.6; }));
    w->tmrVideo_Timer();  // a tick carries the position to the timeline and the label
    EXPECT_GE(w->Slider->Value(), 2);
    EXPECT_EQ(w->lblTime->text(), SecondsToTime(w->Slider->Value()) + "/00:02:06");

    w->cmdPlay->click();  // pause
    EXPECT_EQ(w->cmdPlay->text(), "Play");
    EXPECT_FALSE(w->tmrVideo->isActive());
    EXPECT_EQ(Engine().state(), State::Paused);

    SeekTo(75);  // the mouse released on the timeline seeks; the play state stays
    EXPECT_EQ(w->lblTime->text(), "00:01:15/00:02:06");
    EXPECT_TRUE(SeekDone());
    EXPECT_EQ(Engine().state(), State::Paused);
    EXPECT_NEAR(Engine().CurrentPosition(), 75.0, 0.6);

    // The marks take the timeline's value; a start after the end is accepted here.
    w->cmdStartSelect->click();
    w->Slider->setValue(61);
    w->cmdEndSelect->click();
    EXPECT_EQ(w->lblStartSelect->text() + w->lblEndSelect->text(), "00:01:1500:01:01");
    EXPECT_EQ(w->Slider->SelectStart() - w->Slider->SelectEnd(), 14);
    w->cmdDeleteSelect->click();
    EXPECT_EQ(w->Slider->SelectStart() + w->Slider->SelectEnd(), 0);
    EXPECT_EQ(w->lblEndSelect->text(), "00.00.00");

    w->cmdPlay->click();  // goes on from the seek
    EXPECT_TRUE(WaitFor([&] { return Engine().CurrentPosition() >= 75.6; }));
    EXPECT_LT(Engine().CurrentPosition(), 100.0);
    const QString shown = w->lblTime->text();
    w->cmdStop->click();  // rewinds; the time label keeps its text
    EXPECT_EQ(w->cmdPlay->text(), "Play");
    EXPECT_EQ(w->Slider->Value(), 0);
    EXPECT_EQ(w->lblTime->text(), shown);
    EXPECT_TRUE(SeekDone());
    EXPECT_EQ(Engine().state(), State::Stopped);

    SeekTo(124);  // the end: a tick finds the timeline there; Play starts again at 0
    ASSERT_TRUE(SeekDone());
    w->cmdPlay->click();
    ASSERT_TRUE(WaitFor([&] { return Engine().state() == State::AtEnd; }));
    w->tmrVideo_Timer();
    EXPECT_EQ(w->lblTime->text(), "00:02:06/00:02:06");
    EXPECT_FALSE(w->tmrVideo->isActive());
    EXPECT_EQ(w->cmdPlay->text(), "Play");
    w->cmdPlay->click();
    EXPECT_EQ(w->Slider->Value(), 0);
    EXPECT_TRUE(WaitFor([&] { return Engine().state() == State::Running; }));
    EXPECT_LT(Engine().CurrentPosition(), 10.0);
}

// A probe that does not come back: the time limit ends it, and so does
// closing the window, which leaves nothing running.
TEST_F(Preview, ProbeThatHangsEndsAtItsLimitOrWhenTheWindowCloses)
{
    const QString folder = InDir("hanging encoder");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile script(folder + "/ffmpeg");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\nexec sleep 20\n") > 0);
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    script.close();
    for (const bool closeIt : {false, true}) {
        SCOPED_TRACE(closeIt);
        w = std::make_unique<frmMain>();
        Fake().folderOverride = folder;  // after the catalogues were read
        Fake().messages.clear();
        w->show();
        w->ProbeTimeLimitMs = closeIt ? 60000 : 300;
        test::Poller closer([&] { return closeIt && Fake().yields > 0 && w->close(); });
        Fake().yields = 0;
        w->OpenVideoFile(Copy(ShortClip(), "hangs.mp4"));
        EXPECT_TRUE(w->NoVideoLoaded);
        EXPECT_EQ(w->Player(), nullptr);
        EXPECT_EQ(w->isVisible(), !closeIt);
        EXPECT_EQ(Fake().messages.size(), closeIt ? 0 : 1);
    }
}

TEST(PreviewDropNames, ExtensionsAreWholeEntriesInAnyCase)
{
    for (const char* name : {"CLIP.TS", "movie.Mpeg", "a.rmvb", "a.mpv2", "a.DivX", "x.txt.mp4"})
        EXPECT_TRUE(frmMain::IsVideoFileName(name)) << name;
    for (const char* name : {"notes.txt", "a.mp4.txt", "noext", "a.", "a.mp", "a.m2ts", "a.mp4 "})
        EXPECT_FALSE(frmMain::IsVideoFileName(name)) << name;
}

// The drop handler only accepts; the file loads after it has returned, and
// of several files the first one is opened, replacing the playing video.
TEST_F(Preview, DropIsAcceptedFirstAndLoadedAfterTheHandler)
{
    LoadPlaying(ShortClip());
    w->Slider->setValue(2);
    w->cmdStartSelect->click();
    const QPointer<PlaybackEngine> first = w->Player();
    QDir(dir.path()).mkpath("my videos");
    const QString a = Copy(Clip125(), "my videos/a \"quoted\" été $x.MPEG");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(Copy(ShortClip(), "b.mp4"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    Fake().yields = 0;
    QCoreApplication::sendEvent(w->picVideoWindow, &enter);
    QCoreApplication::sendEvent(w->picVideoWindow, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(Fake().yields, 0);  // nothing probed or loaded inside the handler
    EXPECT_NE(w->InputFilePath, a);
    ASSERT_TRUE(WaitFor([&] { return w->InputFilePath == a; }));
    ASSERT_TRUE(Loaded());
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(w->Slider->SelectStart(), 0);
    EXPECT_EQ(w->lblTime->text(), "00:00:00/00:02:06");
    EXPECT_TRUE(Fake().messages.isEmpty());
}

// A drop handled while the file is probed, or while the engine opens it,
// wins; the interrupted load neither finishes over it nor leaves a dangling
// engine.
TEST_F(Preview, DropDuringALoadTakesOver)
{
    const QString second = Copy(ShortClip(), "second.mkv");
    for (const bool whileOpening : {false, true}) {
        SCOPED_TRACE(whileOpening);
        w = std::make_unique<frmMain>();
        Fake().yields = 0;
        bool dropped = whileOpening;
        test::Poller dropper([&] {
            if (dropped || Fake().yields == 0)
                return false;
            dropped = true;  // before the nested load, which ticks this poller again
            Drop(second);
            return true;
        });
        Choose(Clip125());
        if (whileOpening) {
            ASSERT_TRUE(w->Player() && w->Player()->isLoading());
            Drop(second);
        }
        ASSERT_TRUE(Loaded());
        EXPECT_EQ(Engine().filePath(), second);
        EXPECT_EQ(w->InputFilePath, second);
        EXPECT_EQ(w->picVideoWindow->engine(), w->Player());
        EXPECT_EQ(w->lblTime->text(), "00:00:00/00:00:04");
        EXPECT_TRUE(Fake().messages.isEmpty());
    }
}

TEST_F(Preview, OtherDropsAreIgnoredSilently)
{
    LoadPlaying(ShortClip());
    const QString loaded = w->InputFilePath;
    PlaybackEngine* engine = w->Player();
    QFile notes(InDir("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write("not a video\n") > 0);
    QDir(dir.path()).mkpath("folder.mp4");
    const QList<QList<QUrl>> drops{{QUrl::fromLocalFile(notes.fileName())},
                                   {QUrl::fromLocalFile(InDir("folder.mp4"))},
                                   {QUrl("https://example.org/movie.mp4")},
                                   {},
                                   {QUrl::fromLocalFile(notes.fileName()), QUrl::fromLocalFile(loaded)}};
    for (const QList<QUrl>& urls : drops) {
        Drop(urls);
        EXPECT_EQ(w->InputFilePath, loaded);
        EXPECT_EQ(w->Player(), engine);
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
}

}  // namespace
}  // namespace clip
