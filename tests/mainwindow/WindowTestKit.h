// Helpers shared by the window's tests: a settings hive of the test's own,
// waiting on the event loop, choosing formats and counting encoder children.
#pragma once

#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "cut/CutController.h"
#include "engine/CVideoConv.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/frmMain.h"
#include "player/PlaybackEngine.h"
#include "segments/SegmentStore.h"
#include "settings/FileHiveRegistry.h"
#include "settings/RegistryBackend.h"
#include "slider/Slider.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace clip::test {

// A control of the window by its object name (each carries its own name);
// fails the test when the window has none of that name and kind.
template <class T>
T* Ctl(const QObject& window, const char* name)
{
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(control) << "no control " << name;
    return control;
}
template <class T, class W>
T* Ctl(const std::unique_ptr<W>& window, const char* name) { return Ctl<T>(*window, name); }

// Every window of the test reads and writes a hive, and keeps segment lists, in a temporary folder.
class HiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetDefaultRegistryBackend(hive);
        SegmentStore::SetDefaultFolder(dir.filePath("segments"));
    }
    void TearDown() override { SetDefaultRegistryBackend(nullptr), SegmentStore::SetDefaultFolder({}); }
    QString InDir(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::shared_ptr<FileHiveRegistry> hive = std::make_shared<FileHiveRegistry>(dir.filePath("hive"));
};

// A window of the test's own, made before each test (tests that read its pictures show it).
class WindowTest : public HiveTest {
protected:
    void SetUp() override { HiveTest::SetUp(), w = std::make_unique<frmMain>(); }
    void TearDown() override { w.reset(), HiveTest::TearDown(); }
    PlaybackEngine& Engine() { return *w->Player(); }

    std::unique_ptr<frmMain> w;
};

// Chooses a preset on the formats panel, as the user would (the category's cascade first).
inline void ChoosePreset(frmMain& w, const QString& category, const QString& label, const QString& extension)
{
    FormatChoice choice = Ctl<FormatsPanel>(w, "frFormats")->Choice();
    choice.custom = false, choice.category = category, choice.label = label, choice.extension = extension;
    EXPECT_TRUE(Ctl<FormatsPanel>(w, "frFormats")->Restore(choice)) << label.toStdString();
}

// Adds a preset of the test's own under "Test Jobs" to the catalogue and chooses it.
inline void ChooseOwnPreset(frmMain& w, const QString& label, const QString& params, const QString& extension)
{
    Catalogues& tables = w.Catalogue();
    tables.Presets.resize(tables.PresetCount), ++tables.PresetCount;
    tables.Presets.append({label, params, extension, "Test Jobs", {}});
    if (Ctl<FormatsPanel>(w, "frFormats")->cmbCategory->findText("Test Jobs") < 0)
        Ctl<FormatsPanel>(w, "frFormats")->cmbCategory->addItem("Test Jobs");
    ChoosePreset(w, "Test Jobs", label, extension);
}

// Opens `input` stopped at its start, output beside it.
inline void LoadForCutting(frmMain& w, const QString& input)
{
    w.OpenVideoFile(input);
    EXPECT_TRUE(WaitFor([&] { return w.IsVideoLoaded(); }));  // the load ends in the event loop
    EXPECT_EQ(w.InputFile(), input);
    w.cmdStop_Click();
    test::Ctl<MyOption>(w, "optSameFolder")->setChecked(true);
}

inline void Select(frmMain& w, qint32 start, qint32 end)
{
    test::Ctl<Slider>(w, "Slider")->setSelectStart(start);
    test::Ctl<Slider>(w, "Slider")->setSelectEnd(end);
}

}  // namespace clip::test
