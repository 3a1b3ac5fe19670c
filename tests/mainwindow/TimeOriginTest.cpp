// One time origin over files as cameras, phones and other tools write them:
// timestamps that start late, edit lists, video starting after the sound,
// transport and program streams, the NTSC and a variable frame rate, every other
// container the file dialog offers (MOV, AVI, FLV, WMV). Each frame of the
// source draws its own number (ten bars, two guard bars at the sides); the
// test reads it on the pane at each mark and in every decoded cut, and
// checks the cut against a decode of the source from its beginning.
#include "mainwindow/WindowTestKit.h"

#include <QImage>
#include <QProcess>
#include <QTest>

#include <cmath>

namespace clip {
namespace {

using test::WaitFor;

constexpr int kBars = 12;  // guard, ten bits of the frame number, guard
constexpr int kBarWidth = 16;

// The frame number as bars: white for a set bit, black for a clear one.
QString NumberBars()
{
    return QString("geq=lum='if(lt(X\\,%1)+gte(X\\,%2)\\,235\\,if(mod(floor(N/pow(2\\,floor((X-%1)/%1)))\\,2)\\,235\\,16))'"
                   ":cb=128:cr=128")
        .arg(kBarWidth)
        .arg(kBarWidth * (kBars - 1));
}

// The number drawn in a row of grey levels that spans the picture between
// its guards (black borders around it are passed over); -1 when there is none.
int ReadBars(const std::function<int(int)>& grey, int width)
{
    int left = 0, right = width - 1;
    for (; left < width && grey(left) < 128; ++left) {}
    for (; right > left && grey(right) < 128; --right) {}
    const double bar = double(right - left + 1) / kBars;
    if (bar < 1.0)
        return -1;
    int number = 0;
    for (int bit = 0; bit < kBars - 2; ++bit)
        number |= (grey(left + int((bit + 1.5) * bar)) > 128 ? 1 : 0) << bit;
    return number;
}

struct SourceFrame {
    int number;
    double time;  // the file's own time, as the decoder gives it
};

// The file's frames in the order a decoder shows them from its beginning; a
// frame shown on for longer (a variable frame rate written at a constant
// one) counts once.
QList<int> DecodedNumbers(const QString& path)
{
    QProcess decoder;
    decoder.start(test::FfmpegPath(), {"-v", "error", "-i", path, "-an", "-fps_mode", "passthrough", "-vf",
                                       QString("scale=%1:1:flags=area").arg(kBars), "-f", "rawvideo", "-pix_fmt",
                                       "gray", "-"});
    decoder.waitForFinished(120000);
    const QByteArray raw = decoder.readAllStandardOutput();
    QList<int> numbers;
    for (qsizetype at = 0; at + kBars <= raw.size(); at += kBars)
        if (const int n = ReadBars([&](int x) { return int(quint8(raw[at + x])); }, kBars); numbers.value(numbers.size() - 1, -2) != n)
            numbers << n;
    return numbers;
}

QList<SourceFrame> SourceFrames(const QString& path)
{
    const QString times =
        test::ProbeCsv(path, {"-select_streams", "v:0", "-show_entries", "frame=best_effort_timestamp_time"});
    const QList<int> numbers = DecodedNumbers(path);
    QList<SourceFrame> frames;
    for (const QString& line : times.split('\n', Qt::SkipEmptyParts)) {
        bool ok = false;
        const double t = QString(line).remove(',').trimmed().toDouble(&ok);
        if (ok && frames.size() < numbers.size())
            frames.append({numbers[frames.size()], t});
    }
    return frames;
}

struct Source {
    const char* name;
    int fps;
    QStringList beforeInput;  // the derivation from the base clip; empty: the base clip itself
    QStringList afterInput;
};
void PrintTo(const Source& s, std::ostream* out) { *out << s.name; }

class OneTimeOrigin : public test::WindowTest, public ::testing::WithParamInterface<Source> {
protected:
    void SetUp() override { WindowTest::SetUp(), w->show(); }

    QString MakeSource(const Source& s)
    {
        test::ClipRecipe recipe;
        recipe.width = kBars * kBarWidth, recipe.height = 48, recipe.seconds = 6, recipe.fps = s.fps;
        recipe.videoSource = "color", recipe.baseName = "numbered";
        recipe.extraOutputArgs = {"-vf", NumberBars(), "-bf", "3", "-g", QString::number(2 * s.fps), "-keyint_min",
                                  QString::number(2 * s.fps), "-sc_threshold", "0"};
        const QString base = test::MakeClip(recipe);
        if (s.afterInput.isEmpty())
            return test::CopyClipTo(base, dir.path(), s.name);
        const QString path = InDir(s.name);
        EXPECT_EQ(test::RunProgram(test::FfmpegPath(), QStringList{"-v", "error"} + s.beforeInput + QStringList{"-i", base}
                                       + s.afterInput + QStringList{"-y", path}), 0);
        return path;
    }
    int NumberOnScreen()
    {
        const QImage image = Engine().currentImage().convertToFormat(QImage::Format_Grayscale8);
        if (image.isNull())
            return -1;
        const uchar* row = image.constScanLine(image.height() / 2);
        return ReadBars([&](int x) { return int(row[x]); }, image.width());
    }
    // The source frame shown at `position`: the last one at or before it.
    int FrameAt(double position) const
    {
        int number = -1;
        for (const SourceFrame& f : frames)
            if (f.time - frames[0].time <= position + 0.0005)
                number = f.number;
        return number;
    }
    double PositionOf(int number) const
    {
        const auto f = std::find_if(frames.begin(), frames.end(), [&](const SourceFrame& f) { return f.number == number; });
        return f == frames.end() ? -1.0 : f->time - frames[0].time;
    }
    // Waits until the pane shows the frame the source has at the engine's position; its number.
    int Settle()
    {
        int shown = -1;
        EXPECT_TRUE(WaitFor([&] {
            shown = NumberOnScreen();
            return !Engine().isSeeking() && shown >= 0 && shown == FrameAt(Engine().CurrentPosition());
        })) << "on screen " << shown << ", the source's frame at " << Engine().CurrentPosition() << " is "
            << FrameAt(Engine().CurrentPosition());
        return shown;
    }
    void Seek(qint32 s) { test::Ctl<Slider>(w, "Slider")->setValue(s), emit test::Ctl<Slider>(w, "Slider")->MouseUp(1, 0, 0, 0), Settle(); }
    void Step(Qt::Key key)
    {
        const int before = NumberOnScreen();
        QTest::keyClick(w.get(), key);
        EXPECT_TRUE(WaitFor([&] { return NumberOnScreen() != before; }));
        Settle();
    }
    // The cut holds exactly the marked frames, and its sound starts within one sound frame of its picture.
    void ExpectMarkedFrames(const QString& output, int first, int end)
    {
        QList<int> marked;
        bool in = false;
        for (const SourceFrame& f : frames) {
            in = (in || f.number == first) && f.number != end;
            if (in)
                marked << f.number;
        }
        EXPECT_EQ(DecodedNumbers(output), marked);
        const auto [video, audio] = test::StreamStarts(output);
        EXPECT_LE(std::abs(audio - video), 1024.0 / 44100.0) << video << " " << audio;
    }

    QList<SourceFrame> frames;
};

TEST_P(OneTimeOrigin, TimelineMarksAndEveryCutAgreeOnTheFrameOnScreen)
{
    const QString input = MakeSource(GetParam());
    frames = SourceFrames(input);
    ASSERT_TRUE(frames.size() > 100 && std::all_of(frames.begin(), frames.end(), [](const SourceFrame& f) { return f.number >= 0; }));
    test::LoadForCutting(*w, input);
    ASSERT_FALSE(!w->IsVideoLoaded());

    // The timeline is as long as the video, whatever its first timestamp.
    const double length = frames.last().time - frames[0].time + 1.0 / GetParam().fps;
    EXPECT_EQ(test::Ctl<Slider>(w, "Slider")->Max(), qint32(std::lround(length)));
    EXPECT_EQ(Settle(), frames[0].number);

    // Marks on frames off the whole seconds, reached by stepping both ways.
    Seek(1), Step(Qt::Key_Period), Step(Qt::Key_Period);
    const int first = NumberOnScreen();
    QTest::keyClick(w.get(), Qt::Key_I);
    EXPECT_NEAR(w->SelectionStartSeconds(), PositionOf(first), 0.001);
    EXPECT_TRUE(test::Ctl<QLabel>(w, "lblStartSelect")->text().startsWith("00:00:01.") && test::Ctl<QLabel>(w, "lblTime")->text().startsWith("00:00:01."));
    Seek(4), Step(Qt::Key_Period), Step(Qt::Key_Comma), Step(Qt::Key_Comma);
    const int end = NumberOnScreen();
    QTest::keyClick(w.get(), Qt::Key_O);
    EXPECT_NEAR(w->SelectionEndSeconds(), PositionOf(end), 0.001);

    // A key-frame jump lands on a key frame the probe lists, on screen.
    QTest::keyClick(w.get(), Qt::Key_Home), Settle();
    ASSERT_TRUE(WaitFor([&] { return !w->KeyFrames().isEmpty(); }));
    QTest::keyClick(w.get(), Qt::Key_Right, Qt::ControlModifier);
    const int key = Settle();
    EXPECT_TRUE(test::ProbeCsv(input, {"-select_streams", "v:0", "-skip_frame", "nokey", "-show_entries",
                                       "frame=best_effort_timestamp_time"})
                    .contains(QString::number(PositionOf(key) + frames[0].time, 'f', 6)))
        << "frame " << key;

    test::ChoosePreset(*w, "General Video", "H.264 (AVC) - High Quality", "mp4");
    ASSERT_EQ(w->RunCutJob(), CutOutcome::Succeeded) << test::Fake().messages.value(0).text.toStdString();
    ExpectMarkedFrames(w->Cut().Job()->OutputFile(), first, end);

    // The smart cut (or, for a container it cannot index, the frame-exact re-encode it offers).
    test::Fake().questionAnswers = {true};
    test::ChoosePreset(*w, "Lossless", "Smart Cut (frame-exact, original quality)", "mkv");
    ASSERT_EQ(w->RunCutJob(), CutOutcome::Succeeded) << test::Fake().messages.value(0).text.toStdString();
    ExpectMarkedFrames(w->Cut().Job()->OutputFile(), first, end);
}

const QStringList kCopy{"-c", "copy"};

INSTANTIATE_TEST_SUITE_P(
    Files, OneTimeOrigin,
    ::testing::Values(Source{"from_zero.mp4", 25, {}, {}},
                      Source{"starting_at_10s.mp4", 25, {}, kCopy + QStringList{"-output_ts_offset", "10"}},
                      Source{"starting_at_11.4s.ts", 25, {}, kCopy + QStringList{"-output_ts_offset", "11.4", "-f", "mpegts"}},
                      Source{"copy_cut_inside_a_gop.mp4", 25, {"-ss", "1.3"}, kCopy},
                      Source{"video_after_sound_50fps.mkv", 50, {}, kCopy},
                      Source{"program_stream.mpg", 25, {}, {"-c:v", "mpeg2video", "-q:v", "4", "-c:a", "mp2", "-f", "vob"}},
                      Source{"quicktime.mov", 25, {}, kCopy},
                      Source{"mpeg4_mp3.avi", 25, {}, {"-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame"}},
                      Source{"flash.flv", 25, {}, {"-c:v", "flv", "-q:v", "4", "-c:a", "libmp3lame", "-ar", "44100"}},
                      Source{"windows_media.wmv", 25, {}, {"-c:v", "wmv2", "-q:v", "4", "-c:a", "wmav2"}},
                      Source{"ntsc_rate.mp4", 30, {},
                             {"-r", "30000/1001", "-c:v", "libx264", "-bf", "3", "-g", "60", "-c:a", "copy"}},
                      Source{"variable_rate.mp4", 25, {},
                             {"-vf", "select='not(eq(mod(n\\,7)\\,3))'", "-fps_mode", "vfr", "-c:v", "libx264", "-bf", "3",
                              "-c:a", "copy"}}),
    [](const ::testing::TestParamInfo<Source>& info) {
        return QString(info.param.name).section('.', 0, -2).replace('.', '_').toStdString();
    });

}  // namespace
}  // namespace clip
