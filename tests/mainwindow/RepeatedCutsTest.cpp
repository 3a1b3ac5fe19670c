// Many cuts in a row in one window, as a long working session makes them:
// shipped re-encoding presets and a stream copy in turn, one job stopped
// halfway. Afterwards no encoder is left running, no file descriptor has
// leaked, and every finished cut decodes.
#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "engine/CVideoConv.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/frmMain.h"
#include "settings/FileHiveRegistry.h"
#include "settings/RegistryBackend.h"
#include "slider/Slider.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace clip {
namespace {

using test::Fake;

// Encoder processes whose parent is this test process (zombies too).
int EncoderChildrenOfThisProcess()
{
    const QString me = QString::number(QCoreApplication::applicationPid());
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QString text = QString::fromLatin1(stat.readAll());
        const qsizetype open = text.indexOf(QLatin1Char('(')), close = text.lastIndexOf(QLatin1Char(')'));
        if (open < 0 || close < open)
            continue;
        const QStringList fields = text.mid(close + 2).split(QLatin1Char(' '));
        if (fields.size() > 1 && fields[1] == me && text.mid(open + 1, close - open - 1).startsWith("ffmpeg"))
            ++count;
    }
    return count;
}

int OpenDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

struct Choice {
    QString category, label, extension;
    bool copies;
};

void Choose(frmMain& w, const Choice& c)
{
    FormatsPanel* p = w.frFormats;
    p->optFormat[0]->setChecked(true);
    for (auto [list, text] : {std::pair{p->cmbCategory, c.category}, {p->cmbOutVCodec, c.label},
                              {p->cmbOutFormat, c.extension}}) {
        const int i = list->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        list->setCurrentIndex(i);
    }
}

TEST(RepeatedCuts, ThirtyCutsLeaveNoEncoderNoDescriptorAndOnlyPlayableFiles)
{
    QTemporaryDir hive, work;
    ASSERT_TRUE(hive.isValid() && work.isValid());
    SetDefaultRegistryBackend(std::make_shared<FileHiveRegistry>(hive.path()));
    test::ClipRecipe recipe;
    recipe.seconds = 6;
    recipe.extraOutputArgs = {"-g", "25"};
    recipe.baseName = "session";
    const QString source = test::MakeClip(recipe);
    ASSERT_FALSE(source.isEmpty());
    const QString input = test::CopyClipTo(source, work.path(), "session.mp4");

    const QList<Choice> choices{
        {"General Video", "H.264 (AVC) - Standard", "mp4", false},
        {"General Video", "MPEG-4 (Xvid compatible)", "avi", false},
        {"Lossless", "Copy Streams (No Re-encoding)", "mkv", true},
        {"Audio Only", "MP3 - High Quality", "mp3", false},
    };
    // The stopped job is throttled to real time, so that it is still running
    // when the stop comes.
    const int stoppedRun = 17;

    {
        frmMain w;
        w.OpenVideoFile(input);
        ASSERT_FALSE(w.NoVideoLoaded);
        w.cmdStop_Click();
        w.optSameFolder->setChecked(true);
        w.Tables.Presets.resize(w.Tables.PresetCount);
        w.Tables.Presets.append({"Slow", "-vf realtime -c:v mpeg4 -an", "mkv", "Test Jobs"});
        ++w.Tables.PresetCount;
        w.frFormats->cmbCategory->addItem("Test Jobs");

        struct Finished {
            QString path;
            double length;
            bool copies;
        };
        QList<Finished> finished;
        int descriptorsAfterWarmUp = 0;
        for (int run = 0; run <= 30; ++run) {
            SCOPED_TRACE(testing::Message() << "run " << run);
            Fake().messages.clear();
            const qint32 start = run % 4;
            const qint32 length = 1 + run % 2;
            w.Slider->setSelectStart(start);
            w.Slider->setSelectEnd(start + length);

            if (run == stoppedRun) {
                Choose(w, {"Test Jobs", "Slow", "mkv", false});
                w.Slider->setSelectStart(0);
                w.Slider->setSelectEnd(6);
                bool stopped = false;
                QTimer stopper;
                stopper.setInterval(5);
                QObject::connect(&stopper, &QTimer::timeout, [&] {
                    if (!stopped && w.cConvert && w.cConvert->IsRunning() && w.progress->Value() > 0) {
                        stopped = true;
                        w.cmdConvert->click();  // Stop
                    }
                });
                stopper.start();
                w.cmdConvert->click();
                ASSERT_TRUE(stopped);
                EXPECT_TRUE(w.cConvert->WasStopped());
                EXPECT_EQ(w.lblProgress->text(), "Task Progress:[Stopped]");
                EXPECT_TRUE(Fake().messages.isEmpty());
                continue;
            }

            const Choice& choice = choices.at(run % choices.size());
            Choose(w, choice);
            w.cmdConvert->click();
            ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
            ASSERT_TRUE(w.cConvert && w.cConvert->Succeeded());
            EXPECT_EQ(w.progress->Value(), 100);
            EXPECT_EQ(EncoderChildrenOfThisProcess(), 0);
            if (run == 0) {
                // The first cut opens what is opened once (plugins, caches).
                descriptorsAfterWarmUp = OpenDescriptors();
                continue;
            }
            finished.append({w.cConvert->OutputFile(), double(length), choice.copies});
        }

        EXPECT_EQ(EncoderChildrenOfThisProcess(), 0);
        EXPECT_LE(OpenDescriptors(), descriptorsAfterWarmUp + 2);
        EXPECT_EQ(finished.size(), 29);
        for (const Finished& f : finished) {
            SCOPED_TRACE(f.path.toStdString());
            QString errors;
            EXPECT_TRUE(test::DecodesCleanly(f.path, &errors)) << errors.toStdString();
            const double duration = test::ProbeDuration(f.path);
            if (f.copies) {
                EXPECT_GE(duration, f.length - 0.05);  // from the key frame at or before the start
                EXPECT_LE(duration, f.length + 1.2);
            } else {
                EXPECT_NEAR(duration, f.length, 0.2);
            }
        }
    }
    SetDefaultRegistryBackend(nullptr);
}

}  // namespace
}  // namespace clip
