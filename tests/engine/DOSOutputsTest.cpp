#include "engine/DOSOutputs.h"

#include "engine/EngineTestUtil.h"
#include "support/FakeHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

namespace clip {
namespace {

using test::Fake;

// Records every chunk a runner hands out, and the yields seen before each.
struct ChunkLog {
    QStringList chunks;
    QList<int> yieldsAt;
    std::function<void(const QString&)> onChunk;

    void attach(DOSOutputs* runner)
    {
        QObject::connect(runner, &DOSOutputs::ReceiveOutputs, runner, [this](QString& chunk) {
            chunks << chunk;
            yieldsAt << Fake().yields;
            if (onChunk)
                onChunk(chunk);
        });
    }
};

class DOSOutputsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    static constexpr const char* kStorePid = "echo $$ > \"$(dirname \"$0\")/pid\"\n";

    // Prints its arguments one per line, each in brackets.
    QString echoArgs() { return test::WriteScript(dir, "args", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done"); }
    // Says one word, then sleeps (as the same process) for long.
    QString talkThenSleep() { return test::WriteScript(dir, "talk", QByteArray(kStorePid) + "echo started\nexec sleep 30"); }
    QString silentSleep() { return test::WriteScript(dir, "sleeper", QByteArray(kStorePid) + "exec sleep 30"); }
    // Many lines on both output streams, then multi-byte letters; floodText() is what it prints.
    QString flood()
    {
        return test::WriteScript(dir, "flood",
                                 QByteArray(kStorePid)
                                     + "i=0\nwhile [ $i -lt 60 ]; do echo \"out line $i\"; echo \"err line $i\" >&2; i=$((i+1)); done\n"
                                       "printf x\ni=0\nwhile [ $i -lt 700 ]; do printf '\\303\\274'; i=$((i+1)); done\n"
                                       "echo\necho done");
    }
    static QString floodText()
    {
        QString text;
        for (int i = 0; i < 60; ++i)
            text += QStringLiteral("out line %1\nerr line %1\n").arg(i);
        return text + "x" + QString(700, QChar(0x00FC)) + "\ndone\n";
    }
};

TEST_F(DOSOutputsTest, RefusesWhatCannotRunWithItsMessage)
{
    const QString notExecutable = dir.filePath("plain.txt");
    QFile(notExecutable).open(QIODevice::WriteOnly);
    struct Case { QString commandLine; QString message; };
    const Case cases[] = {
        {QString(), "Command Line is empty"},
        {dir.filePath("no-such-program") + " -i x", "File or command not found"},
        {DOSOutputs::QuoteArgument(notExecutable), "File or command not found"},
        {"\"\"", "File or command not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine.toStdString());
        Fake().reset();
        DOSOutputs runner;
        ChunkLog log;
        log.attach(&runner);
        runner.setCommandLine(c.commandLine);
        EXPECT_EQ(runner.ExecuteCommand(), QString());
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_EQ(Fake().messages[0].text, c.message);
        EXPECT_EQ(Fake().messages[0].style, 16);
        EXPECT_TRUE(log.chunks.isEmpty());
        EXPECT_FALSE(runner.WasStarted());
        EXPECT_FALSE(runner.ExitedNormally());
    }
}

// Output arrives in chunks of at most 512 bytes, each after the window's six
// turns, with no letter cut in two, and ends with an empty chunk.
TEST_F(DOSOutputsTest, FinishedRunHandsOutItsWholeOutputInChunksAndKeepsItsExitCode)
{
    struct Case { const char* name; QString script; QString output; int minChunks, maxChunks, exitCode; };
    const Case cases[] = {
        {"silent: one empty chunk", test::WriteScript(dir, "silent", QByteArray(kStorePid) + "exit 0"), "", 1, 1, 0},
        {"waiting for the keyboard reads end of file",
         test::WriteScript(dir, "ask", QByteArray(kStorePid) + "read answer\necho \"got:[$answer]\"\nexit 3"), "got:[]\n",
         2, 2, 3},
        {"long output on both streams", flood(), floodText(), 5, 1000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DOSOutputs runner;
        ChunkLog log;
        log.attach(&runner);
        runner.setStopConvert(true);  // before the run: cleared when it starts
        EXPECT_EQ(runner.ExecuteCommand(c.script), c.output);
        EXPECT_EQ(runner.Outputs(), c.output);
        EXPECT_EQ(log.chunks.join(QString()), c.output);
        EXPECT_GE(log.chunks.size(), c.minChunks);
        EXPECT_LE(log.chunks.size(), c.maxChunks);
        EXPECT_EQ(log.chunks.value(log.chunks.size() - 1, "missing"), QString());
        for (const QString& chunk : log.chunks) {
            EXPECT_LE(chunk.toUtf8().size(), DOSOutputs::kChunkBytes);
            EXPECT_FALSE(chunk.contains(QChar(QChar::ReplacementCharacter)));
        }
        for (int i = 0, previous = 0; i < log.yieldsAt.size(); previous = log.yieldsAt[i++])
            EXPECT_GE(log.yieldsAt[i] - previous, 6);
        EXPECT_TRUE(runner.ExitedNormally());
        EXPECT_EQ(runner.ExitCode(), c.exitCode);
        EXPECT_TRUE(Fake().messages.isEmpty());
        EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
    }
}

TEST_F(DOSOutputsTest, QuotedArgumentsReachTheChildUnchangedWithoutAShell)
{
    const QStringList awkward = {
        "a b \"q\" $HOME `x`;\u00fc.mp4", "\"leading and trailing\"", "two\"\"quotes",
        "semi;colon & amp | pipe > gt",   "$(echo no) 'single' \\back\\", "tab\there",
    };
    QString commandLine = DOSOutputs::QuoteArgument(echoArgs());
    QString expected;
    for (const QString& a : awkward) {
        commandLine += ' ' + DOSOutputs::QuoteArgument(a);
        expected += '[' + a + "]\n";
    }
    DOSOutputs runner;
    EXPECT_EQ(runner.ExecuteCommand(commandLine), expected);
}

// Stopping, cleaning up or destroying the runner mid-run, from a chunk handler
// or from a timer while the child is silent: the run ends at once and the
// child is gone, not even left as a zombie. A handler that stops the run and
// then waits (as a job started after a Stop click does) sees the child end
// while it still waits.
TEST_F(DOSOutputsTest, EndingARunEarlyEndsTheChild)
{
    enum How { Stop, StopAndWaitInTheHandler, CleanUp, Destroy };
    struct Case { const char* name; How how; bool fromHandler; QString script; QString output; int chunks; QString last; };
    const Case cases[] = {
        {"stop from a handler while output pours in", Stop, true, flood(), "", 2, "Cancelled"},
        {"stop while the child never spoke", Stop, false, silentSleep(), "", 1, "Cancelled"},
        {"stop after the child went quiet", Stop, false, talkThenSleep(), "", 2, "Cancelled"},
        {"stop, then wait under a nested handler", StopAndWaitInTheHandler, true, talkThenSleep(), "", 2, "Cancelled"},
        {"clean-up from a handler", CleanUp, true, talkThenSleep(), "started\n", 1, "started\n"},
        {"runner destroyed from its handler", Destroy, true, talkThenSleep(), "", 1, "started\n"},
        {"runner destroyed while the child is silent", Destroy, false, silentSleep(), "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.filePath("pid"));
        QPointer<DOSOutputs> runner = new DOSOutputs;
        ChunkLog log;
        log.attach(runner);
        bool goneWhileNested = false;
        auto act = [&] {
            if (c.how == Stop || c.how == StopAndWaitInTheHandler)
                runner->setStopConvert(true);
            if (c.how == StopAndWaitInTheHandler) {
                for (QDeadlineTimer deadline(5000); !deadline.hasExpired() && !goneWhileNested;) {
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
                    goneWhileNested = test::ProcessGone(test::ReadPid(dir));
                }
            } else if (c.how == CleanUp)
                runner->CleanUp();
            else if (c.how == Destroy)
                delete runner.data();
        };
        if (c.fromHandler)
            log.onChunk = [&](const QString& chunk) { if (chunk != "Cancelled") act(); };
        // Otherwise once the child runs, has said what it says, and the runner
        // has waited for more at least once since.
        int yieldsAtLastChunk = -1;
        QTimer trigger;
        QObject::connect(&trigger, &QTimer::timeout, [&] {
            const int spoken = c.script.endsWith("sleeper") ? 0 : 1;
            if (yieldsAtLastChunk < 0 && test::ReadPid(dir) > 0 && log.chunks.size() == spoken)
                yieldsAtLastChunk = Fake().yields;
            if (yieldsAtLastChunk >= 0 && Fake().yields > yieldsAtLastChunk + 1 && runner) {
                trigger.stop();
                act();
            }
        });
        if (!c.fromHandler)
            trigger.start(5);

        EXPECT_EQ(runner->ExecuteCommand(c.script), c.output);
        ASSERT_EQ(log.chunks.size(), c.chunks);
        EXPECT_EQ(log.chunks.value(c.chunks - 1), c.last);
        EXPECT_EQ(goneWhileNested, c.how == StopAndWaitInTheHandler);
        EXPECT_EQ(runner.isNull(), c.how == Destroy);
        if (runner) {
            const bool stopped = c.how == Stop || c.how == StopAndWaitInTheHandler;
            EXPECT_EQ(runner->WasStopped(), stopped);
            EXPECT_FALSE(runner->ExitedNormally());
            EXPECT_EQ(runner->Outputs(), log.chunks.mid(0, stopped ? c.chunks - 1 : c.chunks).join(""));
        }
        EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
        delete runner.data();
    }
}

// Run by the test below as a program of its own, which it then kills.
TEST(DOSOutputsHelper, DISABLED_RunsItsChildUntilKilled)
{
    DOSOutputs runner;
    runner.ExecuteCommand(DOSOutputs::QuoteArgument(qEnvironmentVariable("CLIP_HELPER_CHILD")));
}

TEST_F(DOSOutputsTest, ChildEndsWhenTheProgramIsKilled)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CLIP_HELPER_CHILD", silentSleep());
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationFilePath(),
                  {"--gtest_also_run_disabled_tests", "--gtest_filter=DOSOutputsHelper.*"});
    ASSERT_TRUE(test::PollUntil([&] { return test::ReadPid(dir) > 0; })) << "the helper never started its child";
    ::kill(pid_t(program.processId()), SIGKILL);
    program.waitForFinished();
    const pid_t child = test::ReadPid(dir);
    EXPECT_TRUE(test::PollUntil([&] { return test::ProcessGone(child, true); }));
    ::kill(child, SIGKILL);
}

}  // namespace
}  // namespace clip
