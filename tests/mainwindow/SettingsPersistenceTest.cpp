// The window's persisted settings: a first start, a restart, "Restore Defaults", values that do not fit, and
// settings files that are damaged, unreadable, locked or shared; saving when the session ends.
#include "mainwindow/WindowTestKit.h"
#include "settings/CRegister.h"
#include "settings/Settings.h"

#include <QGuiApplication>
#include <QLockFile>

namespace clip {
namespace {

using test::Fake;

bool InFront(const FormatsPanel& panel, int index)
{
    const QObjectList& order = panel.frFormat[0]->parentWidget()->children();
    return order.indexOf(panel.frFormat[size_t(index)]) > order.indexOf(panel.frFormat[size_t(1 - index)]);
}

QStringList Texts(const FormatsPanel& f)
{
    return {f.txtCABirate->text(), f.txtChannels->text(), f.txtCVBitrate->text(), f.txtFrameRate->text()};
}

using test::ReadFile;
using test::WriteFile;

class Persistence : public test::HiveTest {
protected:
    void store(const QString& name, const QString& value)
    {
        ASSERT_TRUE(reg.REGSaveSetting(kSettingsRoot, SettingsSection(), name, value));
    }
    QString stored(const QString& name) { return reg.REGGetSetting(kSettingsRoot, SettingsSection(), name, "-"); }
    QString file() const { return hive->hiveFile(kSettingsRoot); }
    QStringList keptAside() const { return QDir(dir.filePath("hive")).entryList({"*.damaged-*"}); }
    void fresh()  // an empty folder with "txtFrameRate" stored as "50"
    {
        QDir(dir.filePath("hive")).removeRecursively(), QFile::remove(dir.filePath("hive"));
        store("txtFrameRate", "50"), Fake().reset();
    }

    CRegister reg{hive};
};

void ExpectDefaults(const frmMain& w)
{
    const FormatsPanel& f = *test::Ctl<FormatsPanel>(w, "frFormats");
    EXPECT_TRUE(test::Ctl<MyOption>(w, "optOtherFolder")->isChecked() && test::Ctl<QLineEdit>(w, "txtOutPath")->isEnabled() && test::Ctl<MyButton>(w, "cmdBrowse")->isEnabled());
    EXPECT_TRUE(f.optFormat[0]->isChecked() && InFront(f, 0));
    EXPECT_EQ(QStringList({test::Ctl<QLineEdit>(w, "txtOutPath")->text(), f.cmbCustContainer->currentText(), f.cmbCASmapleRate->currentText()})
                  + Texts(f),
              QStringList({DefaultOutputFolder(), "AVI", "22.05 KHz", "64", "2", "320", "25"}));
    EXPECT_EQ(QList({f.cmbCVSize->currentIndex(), f.cmbCVAspect->currentIndex(), f.cmbCategory->currentIndex()}),
              QList({0, 0, 1}));
}

// Saved when the application quits (and wired to the session manager's request).
TEST_F(Persistence, EveryControlSurvivesARestartEmptyOnesIncluded)
{
    const QString path = QDir::toNativeSeparators(QDir::tempPath() + "/Mes \"clips\" $HOME");
    auto lists = [](const FormatsPanel& f) {  // each after the ones it depends on
        return QList<QComboBox*>{f.cmbCategory, f.cmbOutVCodec, f.cmbOutFormat, f.cmbCustContainer, f.cmbCACodec,
                                 f.cmbCASmapleRate, f.cmbCVCodec, f.cmbCVSize};
    };
    QList<int> positions;
    QSize size;
    {
        frmMain w;
        FormatsPanel& f = *test::Ctl<FormatsPanel>(w, "frFormats");
        test::Ctl<MyOption>(w, "optSameFolder")->click(), test::Ctl<QLineEdit>(w, "txtOutPath")->setText(path), f.optFormat[1]->click();
        for (QComboBox* list : lists(f))
            list->setCurrentIndex(list->count() - 1), positions << list->currentIndex();
        f.cmbCVAspect->setCurrentIndex(-1);
        f.txtCABirate->setText("128"), f.txtFrameRate->setText("29.9");
        f.txtChannels->clear();  // stored without data: its default comes back
        w.resize(w.size() + QSize(120, 80)), size = w.size();
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
        EXPECT_TRUE(QObject::disconnect(qGuiApp, &QGuiApplication::commitDataRequest, &w, nullptr));
    }
    frmMain w;
    const FormatsPanel& f = *test::Ctl<FormatsPanel>(w, "frFormats");
    EXPECT_TRUE(test::Ctl<MyOption>(w, "optSameFolder")->isChecked() && !test::Ctl<QLineEdit>(w, "txtOutPath")->isEnabled() && !test::Ctl<MyButton>(w, "cmdBrowse")->isEnabled());
    EXPECT_TRUE(test::Ctl<QLineEdit>(w, "txtOutPath")->text() == path && f.optFormat[1]->isChecked() && InFront(f, 1));
    for (QComboBox* list : lists(f))
        EXPECT_EQ(list->currentIndex(), positions.takeFirst()) << list->objectName().toStdString();
    EXPECT_EQ(Texts(f) << QString::number(f.cmbCVAspect->currentIndex()), QStringList({"128", "2", "320", "29.9", "-1"}));
    EXPECT_EQ(w.size(), size);
}

// A first start shows the defaults and writes nothing; "Restore Defaults"
// brings them back and forgets the key; the next close writes all values.
TEST_F(Persistence, FirstStartAndRestoreDefaultsShowTheDefaults)
{
    ExpectDefaults(frmMain());
    EXPECT_FALSE(QFile::exists(file()));
    for (const auto& v : {std::pair{"optSameFolder", "True"}, {"txtOutPath", "/srv/clips"}, {"optFormat", "1"},
                          {"cmbCVSize", "3"}, {"txtCABirate", "96"}})
        store(v.first, v.second);
    frmMain w;
    ASSERT_EQ(test::Ctl<QLineEdit>(w, "txtOutPath")->text(), "/srv/clips");
    test::Ctl<FormatsPanel>(w, "frFormats")->cmdDefaults->click();
    ExpectDefaults(w);
    EXPECT_EQ(stored("txtOutPath"), "-");  // the defaults reach the file at the next close
    w.close();
    for (const SettingDefinition& s : PersistedSettings())
        EXPECT_NE(stored(s.name), "-") << s.name.toStdString();
    EXPECT_EQ(stored("optSameFolder") + stored("txtOutPath"), "False" + DefaultOutputFolder());
    EXPECT_TRUE(Fake().messages.isEmpty());
}

// A file that is not ours at all: defaults, the user told once, the file
// copied aside once before it is first written over.
TEST_F(Persistence, DamagedFileIsReportedAndKeptAsideBeforeTheFirstSave)
{
    const QByteArray damages[] = {QByteArray("\x8f\x00\xffPK\x03\x04 random", 15), "{\"theme\": \"dark\"}",
                                  "{\"format\": \"clipwright-registry-hive\", \"root\": {\"keys\": ["};
    for (const QByteArray& damage : damages) {
        SCOPED_TRACE(damage.toStdString());
        fresh();
        WriteFile(file(), damage);
        {
            frmMain w;
            ExpectDefaults(w);
            test::Ctl<FormatsPanel>(w, "frFormats")->txtFrameRate->setText("12"), w.close();
            test::Ctl<FormatsPanel>(w, "frFormats")->txtFrameRate->setText("13"), w.close();
        }
        ASSERT_EQ(keptAside().size(), 1);
        EXPECT_EQ(ReadFile(dir.filePath("hive/" + keptAside()[0])), damage);
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_TRUE(Fake().messages[0].text.startsWith("The settings could not be read and were reset"));
        EXPECT_EQ(stored("txtFrameRate"), "13");
    }
}

// An unusable entry in the file, or a stored value that fits no control (not a Boolean, no such position or
// route), falls back alone: the others load. Of the folder options, the value loaded last decides.
TEST_F(Persistence, OneBadValueFallsBackAlone)
{
    const QByteArray huge = '"' + QByteArray(18 << 20, 'A') + '"';  // sound base64, a file beyond any hive's size
    const struct { const char* value; QByteArray badData; } cases[] = {
        {"txtChannels", "12"}, {"Extra", "\"!!!\""}, {"txtChannels", "null"},  // wrong type; not base64
        {"Extra", huge}, {"txtChannels", huge}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        fresh();
        for (const auto& v : {std::pair{"txtOutPath", "/srv/clips"}, {"optOtherFolder", "x"}, {"optSameFolder", "TRUE"},
                              {"cmbCategory", "70"}, {"cmbCVSize", "40000"}, {"cmbCVAspect", "-2"}, {"optFormat", "2"},
                              {c.value, "BAD"}})
            store(v.first, v.second);
        QByteArray text = ReadFile(file());  // "BAD" and its NUL, in base64, replaced
        WriteFile(file(), text.replace("\"QkFEAA==\"", c.badData));
        frmMain w;
        const FormatsPanel& f = *test::Ctl<FormatsPanel>(w, "frFormats");
        EXPECT_EQ(test::Ctl<QLineEdit>(w, "txtOutPath")->text() + f.txtFrameRate->text() + f.txtChannels->text(), "/srv/clips502");
        EXPECT_TRUE(test::Ctl<MyOption>(w, "optSameFolder")->isChecked() && !test::Ctl<MyButton>(w, "cmdBrowse")->isEnabled() && f.optFormat[0]->isChecked());
        EXPECT_EQ(QList({f.cmbCategory->currentIndex(), f.cmbCVSize->currentIndex(), f.cmbCVAspect->currentIndex()}),
                  QList({0, 0, 0}));
        EXPECT_TRUE(Fake().messages.isEmpty());
    }
}

// Never a save over a file that is there but could not be read at start,
// even once it can be read again; a lock held elsewhere or a folder that
// cannot be written give one clear message instead of a hang or silence.
TEST_F(Persistence, SavesThatCannotBeDoneAreRefusedAndSaidOnce)
{
    enum Trouble { UnreadableAtStart, LockedElsewhere, FolderIsAFile };
    for (Trouble trouble : {UnreadableAtStart, LockedElsewhere, FolderIsAFile}) {
        SCOPED_TRACE(trouble);
        fresh();
        const QByteArray before = ReadFile(file());
        QLockFile lock(file() + ".lock");
        if (trouble == UnreadableAtStart)
            QFile::rename(file(), file() + ".away"), QDir().mkpath(file());
        if (trouble == FolderIsAFile)
            QDir(dir.filePath("hive")).removeRecursively(), WriteFile(dir.filePath("hive"), "a file where the folder was");
        ASSERT_EQ(trouble == LockedElsewhere, trouble == LockedElsewhere && lock.tryLock(0));
        frmMain w;
        if (trouble == UnreadableAtStart)  // readable again by the time the window closes
            QDir().rmdir(file()), QFile::rename(file() + ".away", file());
        test::Ctl<FormatsPanel>(w, "frFormats")->txtFrameRate->setText("12"), w.close();
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_TRUE(Fake().messages[0].text.startsWith("The settings could not be saved."));
        EXPECT_EQ(ReadFile(file()), trouble == FolderIsAFile ? QByteArray() : before);
    }
}

// Two windows (two copies of the program) share the file: each close is
// one whole write, so the file always loads and holds one window's choice.
TEST_F(Persistence, TwoWritersLeaveAFileThatLoads)
{
    const struct { bool firstClosesLast; const char* frameRate; int size; } cases[] = {{false, "25", 9}, {true, "11", 0}};
    for (const auto& c : cases) {
        QDir(dir.filePath("hive")).removeRecursively();
        {
            frmMain first, second;
            test::Ctl<FormatsPanel>(first, "frFormats")->txtFrameRate->setText("11"), test::Ctl<FormatsPanel>(second, "frFormats")->cmbCVSize->setCurrentIndex(9);
            (c.firstClosesLast ? second : first).close(), (c.firstClosesLast ? first : second).close();
        }
        frmMain w;
        EXPECT_TRUE(test::Ctl<FormatsPanel>(w, "frFormats")->txtFrameRate->text() == c.frameRate && test::Ctl<FormatsPanel>(w, "frFormats")->cmbCVSize->currentIndex() == c.size);
    }
}

}  // namespace
}  // namespace clip
