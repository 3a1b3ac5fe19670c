// Helpers shared by the window's tests: a settings hive of the test's own,
// waiting on the event loop, choosing formats and counting encoder children.
#pragma once

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
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace clip::test {

// Every window of the test reads and writes a hive in a temporary folder.
class HiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetDefaultRegistryBackend(hive);
    }
    void TearDown() override { SetDefaultRegistryBackend(nullptr); }

    QString InDir(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::shared_ptr<FileHiveRegistry> hive = std::make_shared<FileHiveRegistry>(dir.filePath("hive"));
};

inline bool WaitFor(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() <= ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return done();
}

// Runs `tick` every few milliseconds while the window yields, until it returns true.
class Poller {
public:
    explicit Poller(std::function<bool()> tick) : m_tick(std::move(tick))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_done = m_done || m_tick(); });
        m_timer.start(5);
    }
    bool done() const { return m_done; }

private:
    QTimer m_timer;
    std::function<bool()> m_tick;
    bool m_done = false;
};

// Encoder processes whose parent is this test process (zombies too).
inline int EncoderChildren()
{
    const QString me = QString::number(QCoreApplication::applicationPid());
    int count = 0;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QString text = QString::fromLatin1(stat.readAll());
        const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QStringList fields = text.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields[1] == me && text.mid(open + 1, close - open - 1).startsWith("ffmpeg"))
            ++count;
    }
    return count;
}

// Selects `text` in a list, adding it when the list does not hold it.
inline void Pick(QComboBox* list, const QString& text)
{
    if (list->findText(text) < 0)
        list->addItem(text);
    list->setCurrentIndex(list->findText(text));
}

inline void ChoosePreset(frmMain& w, const QString& category, const QString& label, const QString& extension)
{
    w.frFormats->optFormat[0]->setChecked(true);
    Pick(w.frFormats->cmbCategory, category);
    Pick(w.frFormats->cmbOutVCodec, label);
    Pick(w.frFormats->cmbOutFormat, extension);
}

// Adds a preset of the test's own under "Test Jobs" and chooses it.
inline void ChooseOwnPreset(frmMain& w, const QString& label, const QString& params, const QString& extension)
{
    w.Tables.Presets.resize(w.Tables.PresetCount);
    w.Tables.Presets.append({label, params, extension, "Test Jobs"});
    ++w.Tables.PresetCount;
    ChoosePreset(w, "Test Jobs", label, extension);
}

// Opens `input` stopped at its start, output beside it.
inline void LoadForCutting(frmMain& w, const QString& input)
{
    w.OpenVideoFile(input);
    EXPECT_TRUE(WaitFor([&] { return !w.NoVideoLoaded; }));  // the load ends in the event loop
    EXPECT_EQ(w.InputFilePath, input);
    w.cmdStop_Click();
    w.optSameFolder->setChecked(true);
}

inline void Select(frmMain& w, qint32 start, qint32 end)
{
    w.Slider->setSelectStart(start);
    w.Slider->setSelectEnd(end);
}

}  // namespace clip::test
