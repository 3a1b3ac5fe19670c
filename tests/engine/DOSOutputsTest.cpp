// The runner against small shell programs: what it refuses, how it hands out
// output, how arguments reach the child, and that no child outlives a run
// that ended early or a program that was killed.
#include "engine/DOSOutputs.h"

#include "engine/EngineTestUtil.h"
#include "support/FakeHost.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

namespace clip {
namespace {

using test::Fake;

class DOSOutputsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QStringList chunks;
    QList<int> yieldsAt;  // the host's yields when each chunk came
    std::function<void(const QString&)> onChunk;

    DOSOutputs* Attach(DOSOutputs* runner)
    {
        QObject::connect(runner, &DOSOutputs::ReceiveOutputs, runner, [this](QString& chunk) {
            chunks << chunk, yieldsAt << Fake().yields;
            if (onChunk)
                onChunk(chunk);
        });
        return runner;
    }
    // A shell program that stores its id in "pid" beside it first.
    QString Script(const QString& name, const QByteArray& body)
    {
        return test::WriteScript(dir, name, "echo $$ > \"$(dirname \"$0\")/pid\"\n" + body);
    }
};

TEST_F(DOSOutputsTest, RefusesWhatCannotRunWithItsMessage)
{
    QFile(dir.filePath("plain.txt")).open(QIODevice::WriteOnly);
    const std::pair<QString, QString> cases[] = {
        {QString(), "Command Line is empty"},
        {dir.filePath("no-such-program") + " -i x", "File or command not found"},
        {DOSOutputs::QuoteArgument(dir.filePath("plain.txt")), "File or command not found"},  // not executable
        {"\"\"", "File or command not found"},
    };
    for (const auto& [commandLine, message] : cases) {
        Fake().reset();
        DOSOutputs runner;
        EXPECT_EQ(Attach(&runner)->ExecuteCommand(commandLine), QString());
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_EQ(Fake().messages[0].text, message);
        EXPECT_TRUE(chunks.isEmpty());
        EXPECT_FALSE(runner.WasStarted());
    }
}

// Output arrives in chunks of at most 512 bytes, each after the window's six
// turns, with no letter cut in two, and ends with an empty chunk.
TEST_F(DOSOutputsTest, FinishedRunHandsOutItsWholeOutputInChunksAndKeepsItsExitCode)
{
    QString flood;
    for (int i = 0; i < 60; ++i)
        flood += QStringLiteral("out line %1\nerr line %1\n").arg(i);
    flood += "x" + QString(700, QChar(0x00FC)) + "\n";
    struct Case { QString script, output; int minChunks, maxChunks, exitCode; };
    const Case cases[] = {
        {Script("silent", "exit 0"), "", 1, 1, 0},
        {Script("ask", "read answer\necho \"got:[$answer]\"\nexit 3"), "got:[]\n", 2, 2, 3},  // the keyboard is closed
        {Script("flood", "for i in $(seq 0 59); do echo \"out line $i\"; echo \"err line $i\" >&2; done\nprintf x\n"
                         "for i in $(seq 700); do printf '\\303\\274'; done\necho"), flood, 5, 1000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.toStdString());
        chunks.clear(), yieldsAt.clear();
        DOSOutputs runner;
        runner.setStopConvert(true);  // before the run: cleared when it starts
        EXPECT_EQ(Attach(&runner)->ExecuteCommand(c.script), c.output);
        EXPECT_EQ(chunks.join(QString()), c.output);
        EXPECT_TRUE(chunks.size() >= c.minChunks && chunks.size() <= c.maxChunks) << chunks.size();
        EXPECT_EQ(chunks.value(chunks.size() - 1, "missing"), QString());
        for (int i = 0; i < chunks.size(); ++i) {
            EXPECT_LE(chunks[i].toUtf8().size(), DOSOutputs::kChunkBytes);
            EXPECT_FALSE(chunks[i].contains(QChar(QChar::ReplacementCharacter)));
            EXPECT_GE(yieldsAt[i] - (i ? yieldsAt[i - 1] : 0), 6);
        }
        EXPECT_TRUE(runner.ExitedNormally());
        EXPECT_EQ(runner.ExitCode(), c.exitCode);
        EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
    }
}

TEST_F(DOSOutputsTest, QuotedArgumentsReachTheChildUnchangedWithoutAShell)
{
    const QStringList awkward = {"a b \"q\" $HOME `x`;\u00fc.mp4", "\"leading and trailing\"", "two\"\"quotes",
                                 "semi;colon & amp | pipe > gt", "$(echo no) 'single' \\back\\", "tab\there", "\u65e5\u672c.mkv"};
    QString commandLine = DOSOutputs::QuoteArgument(test::WriteScript(dir, "args", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done"));
    QString expected;
    for (const QString& a : awkward)
        commandLine += ' ' + DOSOutputs::QuoteArgument(a), expected += '[' + a + "]\n";
    DOSOutputs runner;
    EXPECT_EQ(runner.ExecuteCommand(commandLine), expected);
}

// Stopping, cleaning up or destroying the runner mid-run, from a chunk
// handler or while the child is silent: the run ends at once and the child
// is gone, not even left as a zombie. A handler that stops the run and then
// waits (as a job started after a Stop click does) sees the child end while
// it still waits.
TEST_F(DOSOutputsTest, EndingARunEarlyEndsTheChild)
{
    enum How { Stop, StopAndWait, CleanUp, Destroy };
    const QString talk = Script("talk", "echo started\nexec sleep 30"), silent = Script("silent", "exec sleep 30");
    struct Case { How how; bool fromHandler; QString script, output; QStringList chunks; };
    const Case cases[] = {
        {Stop, true, talk, "", {"started\n", "Cancelled"}},
        {Stop, false, silent, "", {"Cancelled"}},
        {StopAndWait, true, talk, "", {"started\n", "Cancelled"}},
        {CleanUp, true, talk, "started\n", {"started\n"}},
        {Destroy, true, talk, "", {"started\n"}},
        {Destroy, false, silent, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.how << c.fromHandler);
        QFile::remove(dir.filePath("pid"));
        chunks.clear();
        QPointer<DOSOutputs> runner = Attach(new DOSOutputs);
        bool goneWhileWaiting = false;
        auto act = [&] {
            if (c.how == Stop || c.how == StopAndWait)
                runner->setStopConvert(true);
            if (c.how == StopAndWait)
                goneWhileWaiting = test::PollUntil([&] { return test::ProcessGone(test::ReadPid(dir)); }, 5000);
            else if (c.how == CleanUp)
                runner->CleanUp();
            else if (c.how == Destroy)
                delete runner.data();
        };
        onChunk = [&](const QString& chunk) { if (c.fromHandler && chunk != "Cancelled") act(); };
        QTimer silentChild;  // otherwise once the child runs and the runner has waited on it twice
        int yieldsWhenStarted = -1;
        QObject::connect(&silentChild, &QTimer::timeout, [&] {
            if (yieldsWhenStarted < 0 && test::ReadPid(dir) > 0)
                yieldsWhenStarted = Fake().yields;
            if (yieldsWhenStarted >= 0 && Fake().yields > yieldsWhenStarted + 1)
                silentChild.stop(), act();
        });
        if (!c.fromHandler)
            silentChild.start(5);
        EXPECT_EQ(runner->ExecuteCommand(c.script), c.output);
        EXPECT_EQ(chunks, c.chunks);
        EXPECT_EQ(goneWhileWaiting, c.how == StopAndWait);
        EXPECT_EQ(runner.isNull(), c.how == Destroy);
        EXPECT_TRUE(!runner || runner->WasStopped() == (c.how != CleanUp));
        EXPECT_TRUE(test::ProcessGone(test::ReadPid(dir)));
        delete runner.data();
    }
}

// Run by the test below as a program of its own, which it then kills.
TEST(DOSOutputsHelper, DISABLED_RunsItsChildUntilKilled)
{
    DOSOutputs().ExecuteCommand(DOSOutputs::QuoteArgument(qEnvironmentVariable("CLIP_HELPER_CHILD")));
}

TEST_F(DOSOutputsTest, ChildEndsWhenTheProgramIsKilled)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CLIP_HELPER_CHILD", Script("silent", "exec sleep 30"));
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationFilePath(), {"--gtest_also_run_disabled_tests", "--gtest_filter=DOSOutputsHelper.*"});
    ASSERT_TRUE(test::PollUntil([&] { return test::ReadPid(dir) > 0; })) << "the helper never started its child";
    ::kill(pid_t(program.processId()), SIGKILL);
    program.waitForFinished();
    const pid_t child = test::ReadPid(dir);
    EXPECT_TRUE(test::PollUntil([&] { return test::ProcessGone(child, true); }));
    ::kill(child, SIGKILL);
}

}  // namespace
}  // namespace clip
