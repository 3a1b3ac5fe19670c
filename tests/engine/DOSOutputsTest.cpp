// The runner against small shell programs: what it refuses, how it hands out
// output, how arguments reach the child, and that no child outlives a run
// that ended early or a program that was killed.
#include "engine/DOSOutputs.h"

#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace clip {
namespace {

using test::Fake;
using test::WaitFor;

// True when no process has this id; with `zombieCounts`, also when a dead
// one waits for a foreign parent.
bool ProcessGone(pid_t pid, bool zombieCounts = false)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return pid > 0 && (!stat.open(QIODevice::ReadOnly) || (zombieCounts && stat.readAll().contains(") Z ")));
}

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
    // A shell program that stores its id in "pid" beside it first; quoted for a command line.
    QString Script(const QString& name, const QByteArray& body)
    {
        test::WriteFile(dir.filePath(name), "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/pid\"\n" + body + "\n", true);
        return DOSOutputs::QuoteArgument(dir.filePath(name));
    }
    pid_t Pid() const { return pid_t(test::ReadFile(dir.filePath("pid")).trimmed().toLongLong()); }
};

TEST_F(DOSOutputsTest, RefusesWhatCannotRunWithItsMessage)
{
    QFile(dir.filePath("plain.txt")).open(QIODevice::WriteOnly);
    for (const QString& commandLine : {dir.filePath("no-such-program") + " -i x", DOSOutputs::QuoteArgument(dir.filePath("plain.txt")),
                                       QString("\"\""), QString()}) {
        Fake().reset();
        DOSOutputs runner;
        EXPECT_EQ(Attach(&runner)->ExecuteCommand(commandLine), QString());
        EXPECT_EQ(Fake().messages.value(0).text + QString::number(Fake().messages.size()),
                  commandLine.isEmpty() ? "Command Line is empty1" : "File or command not found1");
        EXPECT_TRUE(chunks.isEmpty() && !runner.WasStarted());
    }
}

// Output arrives in chunks of at most 512 bytes, each after the window's six
// turns, with no letter cut in two, and ends with an empty chunk. Quoted
// arguments reach the child unchanged, without a shell.
TEST_F(DOSOutputsTest, FinishedRunHandsOutItsWholeOutputInChunksAndKeepsItsExitCode)
{
    QString flood, awkward, awkwardOut;
    QStringList awkwardList;
    for (int i = 0; i < 60; ++i)
        flood += QStringLiteral("out line %1\nerr line %1\n").arg(i);
    flood += "x" + QString(700, QChar(0x00FC)) + "\n";
    for (const QString a : {"a b \"q\" $HOME `x`;\u00fc.mp4", "\"leading and trailing\"", "two\"\"quotes", "semi;colon & amp | pipe > gt",
                            "$(echo no) 'single' \\back\\", "tab\there", "\u65e5\u672c.mkv"})
        awkward += ' ' + DOSOutputs::QuoteArgument(a), awkwardOut += '[' + a + "]\n", awkwardList << a;
    struct Case { QString commandLine, output; int minChunks, maxChunks, exitCode; };
    const Case cases[] = {
        {Script("silent", "exit 0"), "", 1, 1, 0},
        {Script("ask", "read answer\necho \"got:[$answer]\"\nexit 3"), "got:[]\n", 2, 2, 3},  // the keyboard is closed
        {Script("flood", "for i in $(seq 0 59); do echo \"out line $i\"; echo \"err line $i\" >&2; done\nprintf x\n"
                         "for i in $(seq 700); do printf '\\303\\274'; done\necho"), flood, 5, 1000, 0},
        {Script("args", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done") + awkward, awkwardOut, 2, 1000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine.toStdString());
        chunks.clear(), yieldsAt.clear();
        DOSOutputs runner;
        runner.setStopConvert(true);  // before the run: cleared when it starts
        EXPECT_EQ(Attach(&runner)->ExecuteCommand(c.commandLine), c.output);
        EXPECT_TRUE(chunks.join(QString()) == c.output && chunks.value(chunks.size() - 1, "missing").isEmpty());
        EXPECT_TRUE(chunks.size() >= c.minChunks && chunks.size() <= c.maxChunks) << chunks.size();
        for (int i = 0; i < chunks.size(); ++i) {
            EXPECT_LE(chunks[i].toUtf8().size(), DOSOutputs::kChunkBytes);
            EXPECT_FALSE(chunks[i].contains(QChar(QChar::ReplacementCharacter)));
            EXPECT_GE(yieldsAt[i] - (i ? yieldsAt[i - 1] : 0), 6);
        }
        EXPECT_TRUE(runner.ExitedNormally() && runner.ExitCode() == c.exitCode && ProcessGone(Pid()));
    }
    // The list form hands every argument over as it stands, an empty one too.
    EXPECT_EQ(DOSOutputs().ExecuteCommand(dir.filePath("args"), awkwardList << ""), awkwardOut + "[]\n");
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
    struct Case { How how; QString script, output; QStringList chunks; };
    const Case cases[] = {
        {Stop, talk, "", {"started\n", "Cancelled"}}, {Stop, silent, "", {"Cancelled"}},
        {StopAndWait, talk, "", {"started\n", "Cancelled"}}, {CleanUp, talk, "started\n", {"started\n"}},
        {Destroy, talk, "", {"started\n"}}, {Destroy, silent, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.how << c.script.toStdString());
        QFile::remove(dir.filePath("pid")), chunks.clear();
        QPointer<DOSOutputs> runner = Attach(new DOSOutputs);
        bool goneWhileWaiting = false;
        auto act = [&] {
            if (c.how == Stop || c.how == StopAndWait)
                runner->setStopConvert(true);
            if (c.how == StopAndWait)
                goneWhileWaiting = WaitFor([&] { return ProcessGone(Pid()); }, 5000);
            else if (c.how == CleanUp)
                runner->CleanUp();
            else if (c.how == Destroy)
                delete runner.data();
        };
        onChunk = [&](const QString& chunk) { if (chunk != "Cancelled") act(); };
        int startedAt = -1;  // the silent child acted on once it runs and the runner has waited on it twice
        test::Poller silentChild([&] {
            startedAt = startedAt < 0 && Pid() > 0 ? Fake().yields : startedAt;
            return c.script == silent && startedAt >= 0 && Fake().yields > startedAt + 1 && (act(), true);
        });
        EXPECT_EQ(runner->ExecuteCommand(c.script), c.output);
        EXPECT_EQ(chunks, c.chunks);
        EXPECT_TRUE(goneWhileWaiting == (c.how == StopAndWait) && runner.isNull() == (c.how == Destroy));
        EXPECT_TRUE((!runner || runner->WasStopped() == (c.how != CleanUp)) && ProcessGone(Pid()));
        delete runner.data();
    }
}

// Run by the test below as a program of its own, which it then kills.
TEST(DOSOutputsHelper, DISABLED_RunsItsChildUntilKilled)
{
    DOSOutputs().ExecuteCommand(qEnvironmentVariable("CLIP_HELPER_CHILD"));
}

TEST_F(DOSOutputsTest, ChildEndsWhenTheProgramIsKilled)
{
    QProcess program;
    test::StartSelf(program, "DOSOutputsHelper.*", {{"CLIP_HELPER_CHILD", Script("silent", "exec sleep 30")}});
    ASSERT_TRUE(WaitFor([&] { return Pid() > 0; })) << "the helper never started its child";
    ::kill(pid_t(program.processId()), SIGKILL);
    program.waitForFinished();
    const pid_t child = Pid();
    EXPECT_TRUE(WaitFor([&] { return ProcessGone(child, true); }));
    ::kill(child, SIGKILL);
}

}  // namespace
}  // namespace clip
