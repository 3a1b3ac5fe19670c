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

    void attach(DOSOutputs& runner)
    {
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner, [this](QString& chunk) {
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

    // Prints its arguments one per line, each in brackets.
    QString echoArgs() { return test::WriteScript(dir, "args", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done"); }
    // Stores its id, says one word, then sleeps (as the same process) for long.
    QString talkThenSleep() { return test::WriteScript(dir, "talk", "echo $$ > \"$(dirname \"$0\")/pid\"\necho started\nexec sleep 30"); }
    // Stores its id and sleeps for long without a word.
    QString silentSleep() { return test::WriteScript(dir, "sleeper", "echo $$ > \"$(dirname \"$0\")/pid\"\nexec sleep 30"); }
    // Many lines on both output streams, then multi-byte letters.
    QString flood()
    {
        return test::WriteScript(dir, "flood",
                                 "echo $$ > \"$(dirname \"$0\")/pid\"\n"
                                 "i=0\nwhile [ $i -lt 60 ]; do echo \"out line $i\"; echo \"err line $i\" >&2; i=$((i+1)); done\n"
                                 "printf x\ni=0\nwhile [ $i -lt 700 ]; do printf '\\303\\274'; i=$((i+1)); done\n"
                                 "echo\necho done");
    }
    static QString floodText()
    {
        QString text;
        for (int i = 0; i < 60; ++i)
            text += QStringLiteral("out line %1\nerr line %1\n").arg(i);
        text += QStringLiteral("x") + QString(700, QChar(0x00FC)) + QStringLiteral("\ndone\n");
        return text;
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
        Fake().reset();
        DOSOutputs runner;
        ChunkLog log;
        log.attach(runner);
        runner.setCommandLine(c.commandLine);
        EXPECT_EQ(runner.ExecuteCommand(), QString()) << c.commandLine.toStdString();
        ASSERT_EQ(Fake().messages.size(), 1) << c.commandLine.toStdString();
        EXPECT_EQ(Fake().messages[0].text, c.message);
        EXPECT_EQ(Fake().messages[0].style, 16);
        EXPECT_TRUE(log.chunks.isEmpty());
        EXPECT_FALSE(runner.WasStarted());
        EXPECT_FALSE(runner.ExitedNormally());
    }
}

TEST_F(DOSOutputsTest, SilentChildGivesOneEmptyChunkAndItsExitStatus)
{
    DOSOutputs runner;
    ChunkLog log;
    log.attach(runner);
    EXPECT_EQ(runner.ExecuteCommand(test::WriteScript(dir, "silent", "exit 0")), QString());
    EXPECT_EQ(log.chunks, QStringList{QString()});
    EXPECT_TRUE(runner.ExitedNormally());
    EXPECT_EQ(runner.ExitCode(), 0);
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(DOSOutputsTest, ChildWaitingForKeyboardReadsEndOfFileAndExitCodeIsKept)
{
    DOSOutputs runner;
    const QString out = runner.ExecuteCommand(test::WriteScript(dir, "ask", "read answer\necho \"got:[$answer]\"\nexit 3"));
    EXPECT_EQ(out, "got:[]\n");
    EXPECT_TRUE(runner.ExitedNormally());
    EXPECT_EQ(runner.ExitCode(), 3);
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(DOSOutputsTest, LongOutputArrivesInSmallChunksThatAddUpToTheWhole)
{
    DOSOutputs runner;
    ChunkLog log;
    log.attach(runner);
    const QString out = runner.ExecuteCommand(flood());
    EXPECT_EQ(out, floodText());
    EXPECT_EQ(runner.Outputs(), out);
    EXPECT_EQ(log.chunks.join(QString()), out);
    ASSERT_GE(log.chunks.size(), 5);
    EXPECT_EQ(log.chunks.last(), QString());
    for (const QString& chunk : log.chunks) {
        EXPECT_LE(chunk.toUtf8().size(), DOSOutputs::kChunkBytes);
        EXPECT_FALSE(chunk.contains(QChar(QChar::ReplacementCharacter)));  // no letter cut in two
    }
    // The window gets its six turns before every chunk.
    int previous = 0;
    for (int at : log.yieldsAt) {
        EXPECT_GE(at - previous, 6);
        previous = at;
    }
    EXPECT_TRUE(runner.ExitedNormally());
    EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
}

TEST_F(DOSOutputsTest, ArgumentReplacesTheStoredCommandLineOnlyWhenGiven)
{
    DOSOutputs runner;
    const QString script = echoArgs();
    runner.setCommandLine(script + " one");
    EXPECT_EQ(runner.ExecuteCommand(), "[one]\n");
    EXPECT_EQ(runner.CommandLine(), script + " one");
    EXPECT_EQ(runner.ExecuteCommand(script + " two"), "[two]\n");
    EXPECT_EQ(runner.CommandLine(), script + " two");
    EXPECT_EQ(runner.ExecuteCommand(QString()), "[two]\n");
}

TEST_F(DOSOutputsTest, QuotedArgumentsReachTheChildUnchangedWithoutAShell)
{
    const QStringList awkward = {
        "a b \"q\" $HOME `x`;\u00fc.mp4",
        "\"leading and trailing\"",
        "two\"\"quotes",
        "semi;colon & amp | pipe > gt",
        "$(echo no) 'single' \\back\\",
        "tab\there",
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

TEST_F(DOSOutputsTest, StopFromAHandlerEndsTheRunAtOnce)
{
    DOSOutputs runner;
    ChunkLog log;
    log.attach(runner);
    log.onChunk = [&](const QString& chunk) {
        if (chunk != "Cancelled")
            runner.setStopConvert(true);
    };
    EXPECT_EQ(runner.ExecuteCommand(flood()), QString());
    ASSERT_EQ(log.chunks.size(), 2);
    EXPECT_EQ(log.chunks[1], "Cancelled");
    EXPECT_EQ(runner.Outputs(), log.chunks[0]);
    EXPECT_TRUE(runner.WasStopped());
    EXPECT_FALSE(runner.ExitedNormally());
    EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
}

TEST_F(DOSOutputsTest, StopIsHonouredWhileTheChildPrintsNothing)
{
    for (const bool talksFirst : {false, true}) {
        DOSOutputs runner;
        ChunkLog log;
        log.attach(runner);
        QTimer::singleShot(200, &runner, [&] { runner.setStopConvert(true); });
        EXPECT_EQ(runner.ExecuteCommand(talksFirst ? talkThenSleep() : silentSleep()), QString());
        ASSERT_FALSE(log.chunks.isEmpty());
        EXPECT_EQ(log.chunks.last(), "Cancelled");
        EXPECT_EQ(log.chunks.size(), talksFirst ? 2 : 1);
        EXPECT_TRUE(runner.WasStopped());
        EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
    }
}

TEST_F(DOSOutputsTest, StopEndsTheChildEvenWhileItsRunWaitsUnderANestedHandler)
{
    DOSOutputs runner;
    ChunkLog log;
    log.attach(runner);
    bool goneWhileNested = false;
    log.onChunk = [&](const QString& chunk) {
        if (chunk != "started\n")
            return;
        runner.setStopConvert(true);
        // Still inside the handler, as a job started after a Stop click is:
        // the stopped child must not live on until the handler returns.
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && !goneWhileNested) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            goneWhileNested = test::ProcessGone(test::ReadPid(dir));
        }
    };
    EXPECT_EQ(runner.ExecuteCommand(talkThenSleep()), QString());
    EXPECT_TRUE(goneWhileNested);
    EXPECT_EQ(log.chunks.last(), "Cancelled");
    EXPECT_TRUE(runner.WasStopped());
}

TEST_F(DOSOutputsTest, AStopRequestDoesNotCarryOverToTheNextRun)
{
    DOSOutputs runner;
    runner.setStopConvert(true);
    EXPECT_EQ(runner.ExecuteCommand(echoArgs() + " x"), "[x]\n");
    EXPECT_FALSE(runner.WasStopped());
}

TEST_F(DOSOutputsTest, CleanUpFromAHandlerEndsTheChildAndTheRun)
{
    DOSOutputs runner;
    ChunkLog log;
    log.attach(runner);
    log.onChunk = [&](const QString&) { runner.CleanUp(); };
    EXPECT_EQ(runner.ExecuteCommand(talkThenSleep()), "started\n");
    EXPECT_EQ(log.chunks, QStringList{"started\n"});
    EXPECT_FALSE(runner.ExitedNormally());
    EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
}

TEST_F(DOSOutputsTest, RunnerDestroyedDuringItsRunEndsTheChildSafely)
{
    // Deleted from its own chunk handler, and from a timer while the child is silent.
    for (const bool fromHandler : {true, false}) {
        QPointer<DOSOutputs> runner = new DOSOutputs;
        if (fromHandler) {
            QObject::connect(runner, &DOSOutputs::ReceiveOutputs, runner, [&](QString&) { delete runner.data(); });
        } else {
            QTimer::singleShot(200, [&] { delete runner.data(); });
        }
        EXPECT_EQ(runner->ExecuteCommand(fromHandler ? talkThenSleep() : silentSleep()), QString());
        EXPECT_TRUE(runner.isNull());
        EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
        delete runner.data();
    }
}

}  // namespace
}  // namespace clip
