// The program itself, run as a child process and ended from outside: by the
// signals a system sends, by kill -9, by its display going away, and by the
// start-up hook. A cut runs at that moment (through the self-check hook);
// what is left in the output folder and in the settings file is checked.
#include "cut/PartialOutput.h"
#include "mainwindow/WindowTestKit.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>

namespace clip {
namespace {

using test::WaitFor;

// "long.mp4": long enough at this size that a cut of it is still running when the test acts.
QString SlowClip()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        test::ClipRecipe recipe;
        recipe.width = 320, recipe.height = 240, recipe.seconds = 40, recipe.baseName = "program-end";
        recipe.extraOutputArgs = {"-preset", "ultrafast"};
        return test::CopyClipTo(test::MakeClip(recipe), folder.path(), "long.mp4");
    }();
    return path;
}

QStringList Entries(const QString& folder, const QString& filter = "*")
{
    return QDir(folder).entryList({filter}, QDir::Files | QDir::Hidden | QDir::System);
}
// True once a partial file holds something: the encoder writes.
bool HasPartial(const QString& folder)
{
    const QStringList partial = Entries(folder, QString(PartialOutput::kPrefix) + "*.mp4");
    return !partial.isEmpty() && QFileInfo(QDir(folder).filePath(partial[0])).size() > 0;
}

// clipwright from the build, offscreen, with a home and settings folder of its own, cutting the first 30 s of
// `video` into `out` through the window (the self-check hook).
class Program {
public:
    explicit Program(const QString& out) : m_out(out) { EXPECT_TRUE(m_home.isValid()); }
    ~Program() { m_process.kill(), m_process.waitForFinished(5000); }
    void start(const QString& video, const QStringList& extraEnvironment = {}, bool testing = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!testing)
            env.remove("CLIPWRIGHT_TESTING");  // its own settings folder below, written for real
        env.insert("HOME", m_home.path()), env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.insert("QT_QPA_PLATFORM", "offscreen"), env.insert("CLIPWRIGHT_PREVIEW", "software");
        if (!m_out.isEmpty())
            env.insert("CLIPWRIGHT_SELF_CHECK", m_out), env.insert("CLIPWRIGHT_SELF_CHECK_END", "30");
        for (const QString& pair : extraEnvironment)
            env.insert(pair.section('=', 0, 0), pair.section('=', 1));
        m_process.setProcessEnvironment(env);
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QCoreApplication::applicationDirPath() + "/clipwright",
                        video.isEmpty() ? QStringList() : QStringList{video});
        ASSERT_TRUE(m_process.waitForStarted(10000));
    }
    // True once the cut's encoder writes its partial file; false if the program ended first.
    bool waitForCut()
    {
        return WaitFor([&] { return HasPartial(m_out) || m_process.state() == QProcess::NotRunning; }, 60000)
            && m_process.state() == QProcess::Running;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    bool waitForEnd(int ms = 30000) { return m_process.waitForFinished(ms); }
    QProcess& process() { return m_process; }
    QString settingsFile() const { return m_home.filePath("config/Norvane/Clipwright/HKEY_CURRENT_USER.json"); }

private:
    QTemporaryDir m_home;
    QString m_out;
    QProcess m_process;
};

// Each signal acts as a Stop followed by a close: the encoder stopped, nothing left in the output folder (no
// partial file, no lock, no reserved name), the settings saved, a normal exit. Settings that cannot be saved
// are only logged then: a box nobody answers would keep the program from ending.
TEST(ProgramEnd, TerminationSignalsStopTheCutSaveTheSettingsAndExit)
{
    const QString clip = SlowClip();
    for (const auto& [number, settingsBlocked] : {std::pair{SIGTERM, false}, {SIGHUP, false}, {SIGINT, false}, {SIGTERM, true}}) {
        SCOPED_TRACE(number);
        QTemporaryDir out;
        Program program(out.path());
        QFile blocker(QFileInfo(program.settingsFile()).absolutePath());  // a file where the settings folder goes
        ASSERT_TRUE(!settingsBlocked || (QDir().mkpath(QFileInfo(blocker.fileName()).absolutePath()) && blocker.open(QIODevice::WriteOnly)));
        program.start(clip);
        ASSERT_TRUE(program.waitForCut()) << "no partial file while the cut runs: " << Entries(out.path()).join(' ').toStdString();
        EXPECT_TRUE(QFileInfo(out.filePath("long.mp4")).size() == 0) << "the real name holds nothing yet";
        program.signal(number);
        ASSERT_TRUE(program.waitForEnd());
        EXPECT_TRUE(program.process().exitStatus() == QProcess::NormalExit && program.process().exitCode() == 0);
        EXPECT_EQ(Entries(out.path()), QStringList());
        EXPECT_EQ(QFileInfo(program.settingsFile()).isFile(), !settingsBlocked);
        EXPECT_FALSE(program.process().readAllStandardOutput().contains("message: ")) << "a box was shown";
    }
}

// After kill -9 the partial file, its lock and the empty reserved name stay; the next cut into that folder
// removes them and takes the name again. A living owner's partial file is left alone.
TEST(ProgramEnd, TheNextCutRemovesWhatAKilledProgramLeft)
{
    QTemporaryDir out;
    {
        Program program(out.path());
        program.start(SlowClip());
        ASSERT_TRUE(program.waitForCut());
        program.signal(SIGKILL);
        ASSERT_TRUE(program.waitForEnd());
    }
    ASSERT_TRUE(HasPartial(out.path()));
    EXPECT_TRUE(Entries(out.path()).contains("long.mp4"));
    QString error;
    const auto living = PartialOutput::Create(out.filePath("other.mkv"), &error);
    ASSERT_TRUE(living) << error.toStdString();

    QTemporaryDir hiveFolder;
    SetDefaultRegistryBackend(std::make_shared<FileHiveRegistry>(hiveFolder.path()));
    {
        frmMain w;
        test::LoadForCutting(w, SlowClip());
        test::Ctl<MyOption>(w, "optOtherFolder")->setChecked(true), test::Ctl<QLineEdit>(w, "txtOutPath")->setText(out.path());
        test::Select(w, 0, 1), test::ChoosePreset(w, "General Video", "H.264 (AVC) - Standard", "mp4");
        EXPECT_EQ(w.RunCutJob(), CutOutcome::Succeeded);
    }
    SetDefaultRegistryBackend(nullptr);
    QStringList left = Entries(out.path());
    EXPECT_EQ(left.filter(".mp4"), QStringList{"long.mp4"}) << left.join(' ').toStdString();
    EXPECT_EQ(left.size(), 4) << "the living job's partial file, note and lock stay: " << left.join(' ').toStdString();
    EXPECT_NEAR(test::ProbeDuration(out.filePath("long.mp4")), 1.0, 0.1);
}

// The display server dies during a cut: the platform ends the program itself (no quit, no close), yet the
// settings are saved and nothing of the cut stays: no partial file, lock or note, no reserved name.
TEST(ProgramEnd, ALostDisplaySavesTheSettingsAndLeavesNoCutBehind)
{
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty())
        GTEST_SKIP() << "no Xvfb";
    const QString display = ":" + QString::number(200 + QCoreApplication::applicationPid() % 500);
    QProcess server;
    server.start(xvfb, {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists("/tmp/.X11-unix/X" + display.mid(1)); }, 10000));

    QTemporaryDir out;
    Program program(out.path());
    program.start(SlowClip(), {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display});
    ASSERT_TRUE(program.waitForCut());
    server.kill(), server.waitForFinished();
    ASSERT_TRUE(program.waitForEnd());
    EXPECT_TRUE(QFileInfo::exists(program.settingsFile()));
    EXPECT_EQ(Entries(out.path()), QStringList());
}

// The start-up hook ends the program after its first paint, with or without a video, even where the settings
// cannot be saved (tests refuse them): an exit that waits on a close could hang on the failure box.
TEST(ProgramEnd, TheStartUpHookAlwaysEndsTheProgram)
{
    const QString clip = SlowClip();
    for (const QString& video : {QString(), clip}) {
        SCOPED_TRACE(video.toStdString());
        Program program({});
        program.start(video, {"CLIPWRIGHT_EXIT_WHEN_SHOWN=1"}, true);
        EXPECT_TRUE(program.waitForEnd());
        EXPECT_EQ(program.process().readAllStandardOutput(), "shown\n");
    }
}

}  // namespace
}  // namespace clip
