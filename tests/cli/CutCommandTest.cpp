// "clipwright cut" and "clipwright presets" as a script runs them: the real
// program, the real encoder, names a shell would mangle, a batch with a
// broken input, an interrupt.
#include "support/TestClips.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <csignal>

namespace clip {
namespace {

QString Program() { return QCoreApplication::applicationDirPath() + "/clipwright"; }

// Runs the program to its end: exit status, standard output apart.
int RunCli(const QStringList& arguments, QString* out, QString* err = nullptr)
{
    QProcess process;
    process.start(Program(), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    *out = QString::fromUtf8(process.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int Frames(const QString& path)
{
    return test::ProbeCsv(path, {"-count_packets", "-select_streams", "v:0", "-show_entries", "stream=nb_read_packets"}).toInt();
}

TEST(CutCommand, ScriptedCutsOfHostileNamesWithABrokenInputAmongThem)
{
    QTemporaryDir dir;
    test::ClipRecipe recipe;
    recipe.seconds = 4, recipe.extraOutputArgs = {"-g", "25"}, recipe.baseName = "cli";
    const QString clip = test::MakeClip(recipe);
    const QStringList names{"it's $(touch pwned) \"x\".mp4", "-lead.mp4", "new\nline.mp4"};
    for (const QString& name : names)
        test::CopyClipTo(clip, dir.path(), name);
    test::WriteFile(dir.filePath("broken.mp4"), "not a video");

    // The listing's line, read back into --preset.
    QString listing;
    ASSERT_EQ(RunCli({"presets"}, &listing), 0);
    const QString line = listing.split('\n').filter(QRegularExpression("^General Video\tH.264 \\(AVC\\) - High Quality\tmp4$")).value(0);
    ASSERT_FALSE(line.isEmpty()) << listing.toStdString();

    QString out, err;
    QStringList inputs;
    for (const QString& name : names + QStringList{"broken.mp4"})
        inputs << dir.filePath(name);
    EXPECT_EQ(RunCli(QStringList{"cut", "--json", "--from", "1", "--to", "00:00:02.520", "--preset", line.split('\t').join('/'),
                              "--output-dir", dir.filePath("out"), "--"} + inputs, &out, &err), 1) << err.toStdString();
    const QStringList reports = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(reports.size(), 4) << out.toStdString();
    for (int i = 0; i < 4; ++i) {
        const QJsonObject report = QJsonDocument::fromJson(reports[i].toUtf8()).object();
        EXPECT_EQ(report["input"].toString(), inputs[i]);
        if (i == 3) {
            EXPECT_EQ(report["outcome"].toString(), "failed");
            EXPECT_EQ(report["message"].toString(), "File is not supported");
            continue;
        }
        EXPECT_EQ(report["outcome"].toString(), "succeeded") << report["message"].toString().toStdString();
        const QString output = report["output"].toString();
        EXPECT_EQ(output, dir.filePath("out/" + names[i]));  // in another folder, the input's own name
        EXPECT_EQ(Frames(output), 38);  // 1 s to 2.52 s at 25 frames a second
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("pwned")));

    // The smart cut into the input's own container, then an interrupt in a batch: exit 130, nothing left.
    ASSERT_EQ(RunCli({"cut", "--smart", "--from", "0.52", "--", inputs[1]}, &out, &err), 0) << err.toStdString();
    EXPECT_EQ(Frames(out.trimmed()), 87);  // 0.52 s to the end at 4 s
    // A segment list: joined, one file a part, cut out; a bad line names itself and nothing runs.
    test::WriteFile(dir.filePath("list.csv"), "start,end,label\n2,3.04,\"B, two\"\n0.52,1.52,A\n");
    ASSERT_EQ(RunCli({"cut", "--smart", "--segments", dir.filePath("list.csv"), "--join", "--", inputs[1]}, &out, &err), 0)
        << err.toStdString();
    EXPECT_EQ(Frames(out.trimmed()), 25 + 26);
    ASSERT_EQ(RunCli({"cut", "--json", "--smart", "mkv", "--cut-out", "--segments", dir.filePath("list.csv"), "--", inputs[1]},
                     &out, &err), 0) << err.toStdString();
    const QJsonArray parts = QJsonDocument::fromJson(out.toUtf8()).object()["outputs"].toArray();
    ASSERT_EQ(parts.size(), 3) << out.toStdString();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(parts[i].toString().endsWith(QStringLiteral("_Converted_Part0%1.mkv").arg(i + 1))) << out.toStdString();
        EXPECT_EQ(Frames(parts[i].toString()), (std::array{13, 12, 24})[i]);  // 0-0.52, 1.52-2, 3.04-4
    }
    test::WriteFile(dir.filePath("bad.csv"), "0,1\n1,x\n");
    EXPECT_EQ(RunCli({"cut", "--smart", "--segments", dir.filePath("bad.csv"), inputs[1]}, &out, &err), 2);
    EXPECT_TRUE(err.contains("Line 2:")) << err.toStdString();

    QProcess interrupted;
    interrupted.start(Program(), {"cut", "--preset", "General Video/H.264 (AVC) - High Quality/mkv", "--output-dir",
                                  dir.filePath("stopped"), inputs[0], inputs[1]});
    ASSERT_TRUE(test::WaitFor([&] { return QDir(dir.filePath("stopped")).exists(); }, 20000));
    ::kill(pid_t(interrupted.processId()), SIGINT);
    ASSERT_TRUE(interrupted.waitForFinished(20000));
    EXPECT_EQ(interrupted.exitCode(), 130);
    EXPECT_TRUE(QDir(dir.filePath("stopped")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(test::EncoderPids().isEmpty());

    EXPECT_EQ(RunCli({"cut", "--preset", "No/Such/thing", inputs[0]}, &out, &err), 2);
    EXPECT_TRUE(err.contains("'clipwright presets' lists them")) << err.toStdString();
}

}  // namespace
}  // namespace clip
