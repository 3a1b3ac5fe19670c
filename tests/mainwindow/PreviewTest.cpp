// The window's video preview against the real encoder and playback engine:
// loading, play, pause, stop, seeking, the end, the selection marks, the
// picture in the pane, dropped files, and files that must not hang a load.
#include "common/SecondsToTime.h"
#include "app/CommandLine.h"
#include "mainwindow/WindowTestKit.h"
#include "player/PlayerTestSupport.h"
#include "player/VideoPane.h"

#include <QtGui>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace clip {
namespace {

using test::Fake;
using test::WaitFor;
using State = PlaybackEngine::State;

// Two tiny plain frames a second, no sound.
QString ShortClip() { return test::PlayerClip("preview-short", 4.0, 2, "c=gray"); }

class Preview : public test::WindowTest {
protected:
    void Choose(const QString& path) { Fake().dialogAnswers << path, test::Ctl<MyButton>(w, "cmdAddVideoFile")->click(); }
    void Drop(const QList<QUrl>& urls) { emit test::Ctl<VideoPane>(w, "picVideoWindow")->filesDropped(urls); }
    void Drop(const QString& path) { Drop(QList<QUrl>{QUrl::fromLocalFile(path)}); }
    bool Loaded() { return WaitFor([&] { return w->IsVideoLoaded() || !Fake().messages.isEmpty(); }) && w->IsVideoLoaded(); }
    void LoadPlaying(const QString& path) { Choose(path); ASSERT_TRUE(Loaded() && Fake().messages.isEmpty()); }
    bool SeekDone() { return WaitFor([&] { return !Engine().isSeeking(); }); }
    void SeekTo(qint32 value) { test::Ctl<Slider>(w, "Slider")->setValue(value), emit test::Ctl<Slider>(w, "Slider")->MouseUp(1, 0, 0.0f, 0.0f); }
    QString Copy(const QString& clip, const QString& name) { return test::CopyClipTo(clip, dir.path(), name); }
    // A folder whose "ffmpeg" is a shell script ("%1": the real encoder's folder).
    QString Encoder(const char* body)
    {
        QFile::remove(InDir("encoder") + "/ffmpeg"), QDir().mkpath(InDir("encoder"));
        const QString script = "#!/bin/sh\n" + QString(body).arg(QCoreApplication::applicationDirPath()) + "\n";
        test::WriteFile(InDir("encoder") + "/ffmpeg", script.toUtf8(), true);
        return InDir("encoder");
    }
    static constexpr const char* kSlowProbe = "sleep 1.5; exec '%1/ffmpeg' \"$@\"";
};

// A load fills the timeline and the labels, plays and shows its picture in
// the pane (the pane's drawing: VideoPaneTest); a cancelled dialog changes
// nothing; blanks around a chosen name go unless they belong to the file's name.
TEST_F(Preview, LoadSetsTimelineAndDurationHalvesToEvenPlaysAndShowsThePicture)
{
    const struct { QString clip; qint32 max; const char* text; } cases[] = {
        {test::LongClip(), 126, "00:02:06"}, {test::PlayerClip("preview-load", 124.5, 2, "c=gray"), 124, "00:02:04"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test::Ctl<Slider>(w, "Slider")->setSelectStart(3), test::Ctl<MyProgressBar>(w, "progress")->setValue(40);
        LoadPlaying(c.clip);
        EXPECT_EQ(QList<qint32>({test::Ctl<Slider>(w, "Slider")->Max(), test::Ctl<Slider>(w, "Slider")->Value(), test::Ctl<Slider>(w, "Slider")->SelectStart()}), QList({c.max, 0, 0}));
        EXPECT_TRUE(test::Ctl<Slider>(w, "Slider")->Enabled() && test::Ctl<QTimer>(w, "tmrVideo")->isActive() && !test::Ctl<MyProgressBar>(w, "progress")->isVisibleTo(w.get()));
        EXPECT_EQ(test::Ctl<QLabel>(w, "lblTime")->text() + test::Ctl<MyButton>(w, "cmdPlay")->text() + test::Ctl<QLabel>(w, "lblStartSelect")->text(),
                  QString("00:00:00/") + c.text + "Pause00.00.00");
        EXPECT_TRUE(WaitFor([&] { return Engine().state() == State::Running; }) && test::Ctl<VideoPane>(w, "picVideoWindow")->engine() == w->Player());
    }
    PlaybackEngine* engine = w->Player();
    test::Ctl<MyButton>(w, "cmdAddVideoFile")->click();  // no scripted answer: cancelled
    EXPECT_TRUE(w->Player() == engine && test::Ctl<MyButton>(w, "cmdPlay")->text() == "Pause");
    const QString tail = Copy(ShortClip(), "blank-tail.mp4 ");
    Fake().dialogAnswers << "  /tmp/x.mp4 " << tail;
    const QString trimmed = w->SelectVideoFile();
    EXPECT_EQ(trimmed + "|" + w->SelectVideoFile(), "/tmp/x.mp4|" + tail);
}

// Whatever the bad file, the message says so (once), the previous video stops
// at its start, the marks are reset, and the guarded buttons do nothing. A
// missing encoder is named instead.
TEST_F(Preview, BadFilesSayNotSupportedAndLeaveNoVideoLoaded)
{
    enum Bad { Fifo, Missing, NoEncoder, TextAsMp4, Truncated, NoPicture };
    for (Bad bad : {Fifo, Missing, NoEncoder, TextAsMp4, Truncated, NoPicture}) {
        SCOPED_TRACE(bad);
        Fake().reset();
        LoadPlaying(test::LongClip());
        test::Ctl<Slider>(w, "Slider")->setValue(30), test::Ctl<MyButton>(w, "cmdStartSelect")->click();
        const QPointer<PlaybackEngine> previous = w->Player();
        QString path = InDir("bad clip.mp4");
        QFile::remove(path);
        if (bad == TextAsMp4)
            test::WriteFile(path, QByteArray(900, 'x'));
        ASSERT_TRUE((bad != Truncated && bad != NoEncoder) || (QFile::copy(ShortClip(), path)
                        && (bad == NoEncoder || QFile::resize(path, QFileInfo(path).size() * 6 / 10))));
        ASSERT_TRUE(bad != Fifo || mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        if (bad == NoPicture)
            path = test::NoPictureClip();  // the probe accepts it; the engine finds no picture
        if (bad == NoEncoder)
            Fake().folderOverride = dir.path();  // holds no encoder
        // Should the probe wait on the FIFO, a writer lets it go (and the test fail).
        test::Poller unblock([&] {
            return Fake().yields > 0 && bad == Fifo && (::close(::open(QFile::encodeName(path), O_WRONLY | O_NONBLOCK)), false);
        });
        Fake().yields = 0;
        Choose(path);
        ASSERT_TRUE(WaitFor([&] { return !Fake().messages.isEmpty(); }));
        EXPECT_EQ(Fake().yields == 0, bad < TextAsMp4);  // refused before any probe
        const auto& said = Fake().messages[0];
        EXPECT_TRUE(said.text.startsWith(bad == NoEncoder ? "The encoder was not found: " + dir.path() : "File is not supported"));
        EXPECT_EQ(said.style, bad == NoEncoder ? 16 : 48);
        EXPECT_EQ(said.text.contains("picture"), bad == NoPicture);  // the engine's reason
        EXPECT_TRUE(!w->IsVideoLoaded() && !test::Ctl<QTimer>(w, "tmrVideo")->isActive() && test::Ctl<Slider>(w, "Slider")->SelectStart() == 0);
        EXPECT_EQ(w->InputFile(), path);
        EXPECT_EQ(test::Ctl<QLabel>(w, "lblTime")->text() + test::Ctl<QLabel>(w, "lblStartSelect")->text(), "00:00/00:0000.00.00");
        // Refused before loading (the probe accepts the truncated file): the previous video stays, stopped.
        EXPECT_EQ(w->Player() && previous == w->Player() && Engine().state() == State::Stopped, bad < Truncated);
        test::Ctl<MyButton>(w, "cmdPlay")->click(), test::Ctl<MyButton>(w, "cmdStartSelect")->click();
        EXPECT_EQ(test::Ctl<MyButton>(w, "cmdPlay")->text() + test::Ctl<QLabel>(w, "lblStartSelect")->text() + QString::number(Fake().messages.size()), "Play00.00.001");
    }
}

TEST_F(Preview, PlayPauseSeekSelectStopAndEnd)
{
    LoadPlaying(test::LongClip());
    ASSERT_TRUE(WaitFor([&] { return Engine().CurrentPosition() >= 1.6; }));
    w->tmrVideo_Timer();  // a tick carries the position to the timeline and the label
    EXPECT_TRUE(test::Ctl<Slider>(w, "Slider")->Value() >= 2 && test::Ctl<QLabel>(w, "lblTime")->text() == SecondsToTime(test::Ctl<Slider>(w, "Slider")->Value()) + "/00:02:06");

    test::Ctl<MyButton>(w, "cmdPlay")->click();  // pause
    EXPECT_TRUE(test::Ctl<MyButton>(w, "cmdPlay")->text() == "Play" && !test::Ctl<QTimer>(w, "tmrVideo")->isActive() && Engine().state() == State::Paused);
    SeekTo(75);  // the mouse released on the timeline seeks; the play state stays
    EXPECT_EQ(test::Ctl<QLabel>(w, "lblTime")->text(), "00:01:15/00:02:06");
    EXPECT_TRUE(SeekDone() && Engine().state() == State::Paused && std::abs(Engine().CurrentPosition() - 75) < 0.6);

    // The marks take the timeline's value; a start after the end is accepted here.
    test::Ctl<MyButton>(w, "cmdStartSelect")->click(), test::Ctl<Slider>(w, "Slider")->setValue(61), test::Ctl<MyButton>(w, "cmdEndSelect")->click();
    EXPECT_EQ(test::Ctl<QLabel>(w, "lblStartSelect")->text() + test::Ctl<QLabel>(w, "lblEndSelect")->text(), "00:01:1500:01:01");
    test::Ctl<MyButton>(w, "cmdDeleteSelect")->click();
    EXPECT_EQ(QString::number(test::Ctl<Slider>(w, "Slider")->SelectStart() + test::Ctl<Slider>(w, "Slider")->SelectEnd()) + test::Ctl<QLabel>(w, "lblEndSelect")->text(), "000.00.00");

    test::Ctl<MyButton>(w, "cmdPlay")->click();  // goes on from the seek
    EXPECT_TRUE(WaitFor([&] { return Engine().CurrentPosition() >= 75.6; }) && Engine().CurrentPosition() < 100);
    const QString shown = test::Ctl<QLabel>(w, "lblTime")->text();
    QSignalSpy pictures(&Engine(), &PlaybackEngine::frameReady);
    test::Ctl<MyButton>(w, "cmdStop")->click();  // rewinds; the time label keeps its text, also once the first picture is there
    EXPECT_TRUE(SeekDone() && Engine().state() == State::Stopped && WaitFor([&] { return pictures.count() > 0; }));
    EXPECT_EQ(test::Ctl<MyButton>(w, "cmdPlay")->text() + QString::number(test::Ctl<Slider>(w, "Slider")->Value()) + test::Ctl<QLabel>(w, "lblTime")->text(), "Play0" + shown);

    SeekTo(124);  // the end: a tick finds the timeline there; Play starts again at 0
    ASSERT_TRUE(SeekDone());
    test::Ctl<MyButton>(w, "cmdPlay")->click();
    ASSERT_TRUE(WaitFor([&] { return Engine().state() == State::AtEnd; }));
    w->tmrVideo_Timer();
    EXPECT_TRUE(test::Ctl<QLabel>(w, "lblTime")->text() + test::Ctl<MyButton>(w, "cmdPlay")->text() == "00:02:06/00:02:06Play" && !test::Ctl<QTimer>(w, "tmrVideo")->isActive());
    test::Ctl<MyButton>(w, "cmdPlay")->click();
    EXPECT_TRUE(test::Ctl<Slider>(w, "Slider")->Value() == 0 && WaitFor([&] { return Engine().state() == State::Running; })
                && Engine().CurrentPosition() < 10.0);
}

// Keys reach the control with the focus first: Space presses a focused button (also on a raised panel)
// and plays or pauses only where no control takes it, never while a panel is up or a cut runs; the
// timeline with the focus takes every key by its own rules (no seek), elsewhere the window's keys act.
TEST_F(Preview, SpaceAndTheTimelinesKeysGoToTheControlThatUsesThem)
{
    LoadPlaying(ShortClip());
    w->show(), w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QSignalSpy stops(test::Ctl<MyButton>(w, "cmdStop"), &QAbstractButton::clicked), hides(test::Ctl<FormatsPanel>(w, "frFormats")->cmdHide, &QAbstractButton::clicked);
    QTest::keyClick(test::Ctl<MyButton>(w, "cmdStop"), Qt::Key_Space);
    QString captions = test::Ctl<MyButton>(w, "cmdPlay")->text();
    for (int press = 0; press < 2; ++press)  // Play, Pause (nothing while a cut runs: the cut job's tests)
        QTest::keyClick(test::Ctl<QLabel>(w, "lblTime"), Qt::Key_Space), captions += test::Ctl<MyButton>(w, "cmdPlay")->text();
    w->cmdChangeFormat_Click();
    ASSERT_TRUE(WaitFor([&] { return !test::Ctl<QTimer>(w, "tmrAnimate")->isActive(); }));
    QTest::keyClick(test::Ctl<FormatsPanel>(w, "frFormats")->cmdHide, Qt::Key_Space);
    EXPECT_TRUE(stops.count() == 1 && hides.count() == 1 && captions + test::Ctl<MyButton>(w, "cmdPlay")->text() == "PlayPausePlayPlay");
    ASSERT_TRUE(WaitFor([&] { return !test::Ctl<QTimer>(w, "tmrAnimate")->isActive(); }));

    SeekTo(2);
    ASSERT_TRUE(SeekDone());
    const double at = Engine().CurrentPosition();
    const QString label = test::Ctl<QLabel>(w, "lblTime")->text();
    QSignalSpy changes(test::Ctl<Slider>(w, "Slider"), &Slider::Change), scrolls(test::Ctl<Slider>(w, "Slider"), &Slider::Scroll);
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Home, Qt::NoModifier}, {Qt::Key_End, Qt::NoModifier},
                                         {Qt::Key_Left, Qt::ControlModifier}, {Qt::Key_Period, Qt::NoModifier}})
        QTest::keyClick(test::Ctl<Slider>(w, "Slider"), key, modifiers);
    EXPECT_TRUE(changes.count() == 5 && scrolls.count() == 5 && test::Ctl<Slider>(w, "Slider")->Value() == 1);  // Ctrl is a key too
    EXPECT_TRUE(Engine().CurrentPosition() == at && !Engine().isSeeking() && test::Ctl<QLabel>(w, "lblTime")->text() == label);
    QTest::keyClick(test::Ctl<MyButton>(w, "cmdStop"), Qt::Key_End);
    EXPECT_EQ(Engine().CurrentPosition(), Engine().Duration());
}

// The engine opens the file while the probe runs: a slow probe that agrees finds the picture there already
// and the video plays as the probe returns. A probe that does not come back refuses the file, whatever the
// engine found: the time limit ends it (saying so, and naming the file), and so does closing the window,
// which leaves nothing running.
TEST_F(Preview, ProbeRunsBesideTheEngineAndAHangingOneEndsAtItsLimitOrWhenTheWindowCloses)
{
    const struct { const char* body; int limitMs; bool closeIt; } cases[] = {
        {kSlowProbe, 60000, false}, {"exec sleep 20", 300, false}, {"exec sleep 20", 60000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.body) + " " + std::to_string(c.limitMs));
        w = std::make_unique<frmMain>();
        Fake().folderOverride = Encoder(c.body), Fake().messages.clear(), Fake().yields = 0;  // after the catalogues were read
        w->show(), w->setProbeTimeLimit(c.limitMs);
        test::Poller closer([&] { return c.closeIt && Fake().yields > 0 && w->close(); });
        w->OpenVideoFile(Copy(ShortClip(), "slow.mp4"));
        const bool agrees = c.limitMs == 60000 && !c.closeIt;
        EXPECT_TRUE(!w->IsVideoLoaded() != agrees && !w->Player() != agrees && w->isVisible() == !c.closeIt);
        ASSERT_EQ(Fake().messages.size(), c.limitMs == 300 ? 1 : 0);
        if (c.limitMs == 300) {
            EXPECT_TRUE(Fake().messages[0].text.startsWith("The file did not answer in time: " + InDir("slow.mp4")))
                << Fake().messages[0].text.toStdString();
        }
    }
}

// A name that is not valid UTF-8 reaches the window with its bytes replaced: chosen, dropped or given on the
// command line, it is refused with the reason before anything changes. A real name holding the replacement
// character itself loads.
TEST_F(Preview, AFileNameThatIsNoTextIsRefusedPlainlyAndTheVideoStays)
{
    LoadPlaying(ShortClip());
    const QPointer<PlaybackEngine> shown = w->Player();
    const QByteArray raw = QFile::encodeName(dir.path()) + "/bad\xff\xfename.mp4";
    std::filesystem::copy_file(ShortClip().toStdString(), raw.toStdString());
    const QString decoded = QFile::decodeName(raw);
    const std::function<void()> ways[] = {[&] { Choose(decoded); }, [&] { Drop({QUrl::fromEncoded("file://" + raw.toPercentEncoding("/"))}); },
                                          [&] { OpenAtStartUp(*w, decoded); }};
    for (const auto& open : ways) {
        Fake().messages.clear();
        open();
        ASSERT_TRUE(WaitFor([&] { return !Fake().messages.isEmpty(); }));
        EXPECT_TRUE(Fake().messages[0].text.startsWith("The name of this file cannot be read: \"bad\ufffd\ufffdname.mp4\" is not valid"))
            << Fake().messages[0].text.toStdString();
        EXPECT_TRUE(w->Player() == shown && w->IsVideoLoaded() && Fake().messages.size() == 1);
    }
    Fake().messages.clear();
    LoadPlaying(Copy(ShortClip(), "odd \ufffd name.mp4"));
}

// The drop handler only accepts; the file loads after it has returned, and of several files the first one is
// opened, replacing the playing video.
TEST_F(Preview, DropIsAcceptedFirstAndLoadedAfterTheHandler)
{
    LoadPlaying(ShortClip());
    test::Ctl<Slider>(w, "Slider")->setValue(2), test::Ctl<MyButton>(w, "cmdStartSelect")->click();
    const QPointer<PlaybackEngine> first = w->Player();
    const QString a = (QDir(dir.path()).mkpath("my videos"), Copy(test::LongClip(), "my videos/a \"quoted\" été $x.MPEG"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(Copy(ShortClip(), "b.mp4"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    Fake().yields = 0;
    QCoreApplication::sendEvent(test::Ctl<VideoPane>(w, "picVideoWindow"), &enter), QCoreApplication::sendEvent(test::Ctl<VideoPane>(w, "picVideoWindow"), &drop);
    EXPECT_TRUE(drop.isAccepted() && Fake().yields == 0 && w->InputFile() != a);  // nothing done inside the handler
    ASSERT_TRUE(WaitFor([&] { return w->InputFile() == a; }) && Loaded());
    EXPECT_TRUE(first.isNull() && test::Ctl<Slider>(w, "Slider")->SelectStart() == 0 && Fake().messages.isEmpty());
    EXPECT_EQ(test::Ctl<QLabel>(w, "lblTime")->text(), "00:00:00/00:02:06");

    // Other drops are ignored without a word: no file, a folder, an address, or a first file that is no video.
    const QString notes = InDir("notes.txt"), folder = InDir("folder.mp4");
    QFile(notes).open(QIODevice::WriteOnly), QDir().mkpath(folder), Fake().yields = 0;
    for (const QList<QUrl>& urls : QList<QList<QUrl>>{{QUrl::fromLocalFile(notes)}, {QUrl::fromLocalFile(folder)},
                                                      {QUrl("https://example.org/movie.mp4")}, {},
                                                      {QUrl::fromLocalFile(notes), QUrl::fromLocalFile(a)}})
        Drop(urls);
    EXPECT_TRUE(w->InputFile() == a && Fake().messages.isEmpty() && Fake().yields == 0);
}

// A drop handled while the file is probed, at its start or once the engine beside the (slow) probe has its
// picture, wins; the interrupted load neither finishes over it nor leaves a dangling engine.
TEST_F(Preview, DropDuringALoadTakesOver)
{
    const QString second = Copy(ShortClip(), "second.mkv");
    for (const bool engineReady : {false, true}) {
        SCOPED_TRACE(engineReady);
        w = std::make_unique<frmMain>();
        Fake().yields = 0, Fake().folderOverride = engineReady ? Encoder(kSlowProbe) : QString();
        bool dropped = false;
        test::Poller dropper([&] {  // `dropped` is set before the nested load, which ticks this poller again
            const bool ready = !engineReady || (w->OpeningPlayer() && w->OpeningPlayer()->isLoaded());
            return !dropped && Fake().yields > 0 && ready && (dropped = true, Drop(second), true);
        });
        Choose(test::LongClip());
        ASSERT_TRUE(dropped && Loaded());
        EXPECT_EQ(Engine().filePath() + w->InputFile() + test::Ctl<QLabel>(w, "lblTime")->text(), second + second + "00:00:00/00:00:04");
        EXPECT_TRUE(test::Ctl<VideoPane>(w, "picVideoWindow")->engine() == w->Player() && Fake().messages.isEmpty());
    }
}

}  // namespace
}  // namespace clip
