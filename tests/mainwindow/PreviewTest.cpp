// The window's video preview against the real encoder and playback engine:
// loading a video, play, pause, stop, seeking, the end of the file, the
// selection marks, the picture in the pane and dropped files.
#include "common/SecondsToTime.h"
#include "mainwindow/WindowTestKit.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"

#include <QPointer>
#include <QUrl>
#include <QtTest/QTest>

namespace clip {
namespace {

using test::Fake;
using test::WaitFor;
using State = PlaybackEngine::State;

// Tiny pictures, two frames a second: long clips are made fast.
QString SilentClip(double seconds, const char* name)
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
    void LoadPlaying(const QString& path)
    {
        ASSERT_FALSE(path.isEmpty());
        Choose(path);
        ASSERT_FALSE(w->NoVideoLoaded) << path.toStdString();
        ASSERT_NE(w->Player(), nullptr);
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
    struct Case {
        const char* clip;
        double seconds;
        qint32 max;
        QString text;
    };
    for (const Case& c : {Case{"preview-125", 125.5, 126, "00:02:06"}, Case{"preview-124", 124.5, 124, "00:02:04"}}) {
        SCOPED_TRACE(c.clip);
        const QString path = SilentClip(c.seconds, c.clip);
        w->Slider->setSelectStart(3);
        w->progress->setValue(40);
        LoadPlaying(path);
        EXPECT_EQ(w->Slider->Max(), c.max);
        EXPECT_EQ(w->Slider->Value(), 0);
        EXPECT_EQ(w->Slider->SelectStart(), 0);
        EXPECT_TRUE(w->Slider->Enabled());
        EXPECT_EQ(w->DurationText, c.text);
        EXPECT_EQ(w->lblTime->text(), "00:00:00/" + c.text);
        EXPECT_EQ(w->cmdPlay->text(), "Pause");
        EXPECT_EQ(w->lblStartSelect->text(), "00.00.00");
        EXPECT_FALSE(w->progress->isVisibleTo(w.get()));
        EXPECT_EQ(w->progress->Value(), 0);
        EXPECT_TRUE(w->tmrVideo->isActive());
        EXPECT_EQ(w->picVideoWindow->engine(), w->Player());
        EXPECT_EQ(Engine().filePath(), path);
        EXPECT_TRUE(WaitFor([&] { return Engine().state() == State::Running; }));
    }
}

TEST_F(Preview, CancelledDialogChangesNothingAndPaneShowsThePicture)
{
    test::ClipRecipe blue;
    blue.seconds = 2.0;
    blue.fps = 5;
    blue.audioCodec.clear();
    blue.videoSource = "color";
    blue.videoSourceOptions = "c=blue";
    blue.baseName = "preview-blue";
    LoadPlaying(test::MakeClip(blue));
    PlaybackEngine* engine = w->Player();
    const QString input = w->InputFilePath;
    w->cmdAddVideoFile->click();  // no scripted answer: cancelled
    ASSERT_EQ(Fake().dialogs.size(), 2);
    EXPECT_EQ(w->Player(), engine);
    EXPECT_EQ(w->InputFilePath, input);
    EXPECT_EQ(w->cmdPlay->text(), "Pause");
    // Blanks around an answer go; a blank answer is a cancel.
    Fake().dialogAnswers << "  /tmp/x.mp4 " << "   ";
    EXPECT_EQ(w->ShowOpenDialog(w.get(), {}, "t", false), "/tmp/x.mp4");
    EXPECT_EQ(w->ShowOpenDialog(w.get(), {}, "t", true), "Cancel");

    w->show();
    auto centre = [&] {
        const QImage img = w->picVideoWindow->grab().toImage();
        return QColor(img.pixel(img.width() / 2, img.height() / 2));
    };
    EXPECT_TRUE(WaitFor([&] { return centre().blue() > 180; }));
    EXPECT_LT(centre().red(), 60);
    EXPECT_LT(centre().green(), 60);
}

TEST_F(Preview, ChosenFileWhoseNameEndsInABlankLoadsUnderItsOwnName)
{
    // Blanks are part of a file name here: a real file keeps them.
    const QString path = Copy(ShortClip(), QStringLiteral("blank-tail.mp4 "));
    ASSERT_TRUE(path.endsWith(QLatin1Char(' ')));
    LoadPlaying(path);
    EXPECT_EQ(w->InputFilePath, path);
}

TEST_F(Preview, BadFilesSayNotSupportedAndLeaveNoVideoLoaded)
{
    enum Bad { TextAsMp4, Truncated, ZeroBytes, RemovedAfterChoosing };
    for (Bad bad : {TextAsMp4, Truncated, ZeroBytes, RemovedAfterChoosing}) {
        SCOPED_TRACE(bad);
        Fake().reset();
        w = std::make_unique<frmMain>();
        // A video plays, with a selection, when the bad file is chosen.
        LoadPlaying(Clip125());
        w->Slider->setValue(30);
        w->cmdStartSelect->click();
        w->cmdEndSelect->click();
        const QPointer<PlaybackEngine> previous = w->Player();

        const QString path = InDir("bad clip.mp4");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (bad == TextAsMp4)
            f.write(QByteArray("Shopping list: milk, bread, tape for the video recorder.\n").repeated(100));
        QFile source(ShortClip());
        if (bad == Truncated && source.open(QIODevice::ReadOnly))
            f.write(source.read(source.size() * 6 / 10));
        f.close();
        Fake().dialogAnswers << path;
        if (bad == RemovedAfterChoosing) {
            ASSERT_TRUE(QFile::remove(path));
        }
        w->cmdAddVideoFile->click();

        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_EQ(Fake().messages[0].text, "File is not supported");
        EXPECT_EQ(Fake().messages[0].style, 48);
        EXPECT_TRUE(w->NoVideoLoaded);
        EXPECT_EQ(w->InputFilePath, path);
        EXPECT_EQ(w->lblTime->text(), "00:00/00:00");
        EXPECT_EQ(w->lblStartSelect->text(), "00.00.00");
        EXPECT_EQ(w->lblEndSelect->text(), "00.00.00");
        EXPECT_EQ(w->Slider->SelectStart() + w->Slider->SelectEnd(), 0);
        EXPECT_FALSE(w->tmrVideo->isActive());
        EXPECT_EQ(w->cmdPlay->text(), "Play");
        if (bad == RemovedAfterChoosing) {
            // The probe cannot tell; the engine refuses, after the previous one was released for it.
            EXPECT_TRUE(previous.isNull());
            EXPECT_FALSE(Engine().isLoaded());
        } else {
            // Refused by the probe: the previous video stays, stopped at its start.
            ASSERT_EQ(w->Player(), previous.data());
            EXPECT_EQ(Engine().state(), State::Stopped);
            EXPECT_TRUE(SeekDone());
            EXPECT_NEAR(Engine().CurrentPosition(), 0.0, 0.01);
        }
        // The guarded buttons do nothing now; a good file loads again.
        w->cmdPlay->click();
        w->cmdStartSelect->click();
        EXPECT_EQ(w->cmdPlay->text(), "Play");
        EXPECT_EQ(w->lblStartSelect->text(), "00.00.00");
        Fake().messages.clear();
        LoadPlaying(ShortClip());
    }
}

TEST_F(Preview, PlayPauseSeekSelectStopAndEnd)
{
    LoadPlaying(Clip125());

    // Playing moves the position; a tick carries it to the timeline and label.
    ASSERT_TRUE(WaitFor([&] { return Engine().CurrentPosition() >= 1.6; }));
    w->tmrVideo_Timer();
    EXPECT_GE(w->Slider->Value(), 2);
    EXPECT_EQ(w->lblTime->text(), SecondsToTime(w->Slider->Value()) + "/00:02:06");

    // Pause keeps the position.
    w->cmdPlay->click();
    EXPECT_EQ(w->cmdPlay->text(), "Play");
    EXPECT_FALSE(w->tmrVideo->isActive());
    EXPECT_EQ(Engine().state(), State::Paused);
    const double paused = Engine().CurrentPosition();
    QTest::qWait(400);
    EXPECT_NEAR(Engine().CurrentPosition(), paused, 0.01);

    // Releasing the mouse on the timeline seeks; the play state stays.
    SeekTo(75);
    EXPECT_NEAR(Engine().CurrentPosition(), 75.0, 0.01);
    EXPECT_EQ(w->lblTime->text(), "00:01:15/00:02:06");
    EXPECT_TRUE(SeekDone());
    EXPECT_EQ(Engine().state(), State::Paused);
    EXPECT_NEAR(Engine().CurrentPosition(), 75.0, 0.6);

    // The selection marks take the timeline's value; a start after the end is accepted here.
    w->cmdStartSelect->click();
    w->Slider->setValue(61);
    w->cmdEndSelect->click();
    EXPECT_EQ(w->Slider->SelectStart(), 75);
    EXPECT_EQ(w->lblStartSelect->text(), "00:01:15");
    EXPECT_EQ(w->Slider->SelectEnd(), 61);
    EXPECT_EQ(w->lblEndSelect->text(), "00:01:01");
    w->cmdDeleteSelect->click();
    EXPECT_EQ(w->Slider->SelectStart() + w->Slider->SelectEnd(), 0);
    EXPECT_EQ(w->lblEndSelect->text(), "00.00.00");
    EXPECT_EQ(w->Slider->Value(), 61);

    // Play goes on from there.
    w->cmdPlay->click();
    EXPECT_TRUE(w->tmrVideo->isActive());
    EXPECT_TRUE(WaitFor([&] { return Engine().CurrentPosition() >= 75.6; }));
    EXPECT_LT(Engine().CurrentPosition(), 100.0);

    // Stop rewinds; the time label keeps its text.
    w->tmrVideo_Timer();
    const QString shown = w->lblTime->text();
    w->cmdStop->click();
    EXPECT_EQ(w->cmdPlay->text(), "Play");
    EXPECT_FALSE(w->tmrVideo->isActive());
    EXPECT_EQ(w->Slider->Value(), 0);
    EXPECT_EQ(w->lblTime->text(), shown);
    EXPECT_TRUE(SeekDone());
    EXPECT_EQ(Engine().state(), State::Stopped);
    EXPECT_NEAR(Engine().CurrentPosition(), 0.0, 0.01);

    // The end: a tick finds the timeline at its end; Play then starts at 0.
    SeekTo(124);
    ASSERT_TRUE(SeekDone());
    w->cmdPlay->click();
    ASSERT_TRUE(WaitFor([&] { return Engine().state() == State::AtEnd; }));
    w->tmrVideo_Timer();
    EXPECT_EQ(w->Slider->Value(), 126);
    EXPECT_EQ(w->lblTime->text(), "00:02:06/00:02:06");
    EXPECT_FALSE(w->tmrVideo->isActive());
    EXPECT_EQ(w->cmdPlay->text(), "Play");

    w->cmdPlay->click();
    EXPECT_EQ(w->cmdPlay->text(), "Pause");
    EXPECT_EQ(w->Slider->Value(), 0);
    EXPECT_TRUE(WaitFor([&] { return Engine().state() == State::Running; }));
    EXPECT_LT(Engine().CurrentPosition(), 10.0);
}

// ---- Dropped files -------------------------------------------------------

TEST(PreviewDropNames, ExtensionsAreWholeEntriesInAnyCase)
{
    for (const char* name : {"CLIP.TS", "movie.Mpeg", "a.rmvb", "a.mpv2", "a.DivX", "x.txt.mp4"})
        EXPECT_TRUE(frmMain::IsVideoFileName(name)) << name;
    for (const char* name : {"notes.txt", "a.mp4.txt", "noext", "a.", "a.t", "a.mp", "a.m2ts", "a.mp4 ", "a.wmvasf"})
        EXPECT_FALSE(frmMain::IsVideoFileName(name)) << name;
}

TEST_F(Preview, DroppedVideoFilesOpenAndReplaceThePlayingOne)
{
    QDir(dir.path()).mkpath("my videos");
    for (const char* name : {"CLIP.TS", "movie.Mpeg", "my videos/a \"quoted\" été ñ $x.mp4"}) {
        const QString path = Copy(ShortClip(), QString::fromUtf8(name));
        Drop(path);
        EXPECT_EQ(w->InputFilePath, path);
        EXPECT_FALSE(w->NoVideoLoaded) << name;
        EXPECT_EQ(w->DurationText, "00:00:04");
    }

    // A second load while one plays: the old engine goes, the selection is
    // reset; of several dropped files only the first is opened.
    w->Slider->setValue(2);
    w->cmdStartSelect->click();
    const QPointer<PlaybackEngine> first = w->Player();
    const QString a = Copy(Clip125(), "a.mp4");
    Drop(QList<QUrl>{QUrl::fromLocalFile(a), QUrl::fromLocalFile(Copy(ShortClip(), "b.mp4")),
                     QUrl::fromLocalFile(Copy(ShortClip(), "c.mp4"))});
    EXPECT_EQ(w->InputFilePath, a);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(w->picVideoWindow->engine(), w->Player());
    EXPECT_EQ(w->Slider->SelectStart(), 0);
    EXPECT_EQ(w->lblStartSelect->text(), "00.00.00");
    EXPECT_EQ(w->lblTime->text(), "00:00:00/00:02:06");
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_TRUE(Fake().dialogs.isEmpty());
}

TEST_F(Preview, DropDuringALoadTakesOver)
{
    // A drop handled while the file is probed, or while the engine opens it,
    // wins; the interrupted load neither finishes over it nor leaves a
    // dangling engine.
    const QString second = Copy(ShortClip(), "second.mkv");
    for (bool whileOpening : {false, true}) {
        w = std::make_unique<frmMain>();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!whileOpening || (w->Player() && !w->Player()->isLoaded())) {
                poll.stop();
                Drop(second);
            }
        });
        poll.start(0);
        Choose(Clip125());
        EXPECT_FALSE(poll.isActive());
        ASSERT_FALSE(w->NoVideoLoaded);
        EXPECT_EQ(w->InputFilePath, second);
        EXPECT_EQ(Engine().filePath(), second);
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
    notes.close();
    QDir(dir.path()).mkpath("folder.mp4");

    const QList<QList<QUrl>> drops{
        {QUrl::fromLocalFile(notes.fileName())},
        {QUrl::fromLocalFile(InDir("folder.mp4"))},
        {QUrl("https://example.org/movie.mp4")},
        {},
        {QUrl::fromLocalFile(notes.fileName()), QUrl::fromLocalFile(loaded)},  // the first file decides
    };
    for (const QList<QUrl>& urls : drops) {
        Drop(urls);
        EXPECT_EQ(w->InputFilePath, loaded);
        EXPECT_EQ(w->Player(), engine);
        EXPECT_EQ(w->cmdPlay->text(), "Pause");
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
}

}  // namespace
}  // namespace clip
