// The registry rules over the file hive (the shared table of cases), what
// only the hive has (its file, the user's own hive refusing under tests,
// several writers at once), and the default output folder.
#include "RegistryTestSupport.h"

#include "platform/TestingGuard.h"
#include "settings/CRegister.h"
#include "settings/FileHiveRegistry.h"
#include "settings/Settings.h"
#include "support/TestClips.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace clip::test {
namespace {

using regcases::kRoot;

// Nothing in this program may touch the user's own hive.
const bool kTestingSet = qputenv(platform::kTestingVariable, "1");

const QString kSection = QStringLiteral("Software\\Norvane Clipwright\\Settings");

TEST(FileHive, TheRegistryRules)
{
    for (const auto& [name, run] : regcases::Cases()) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        FileHiveRegistry hive(dir.path());
        regcases::Registry r{hive, "Software\\Clipwright Test"};
        run(r);
    }
    // CRegister's face: its texts reach the backend as UTF-8 and back.
    QTemporaryDir dir;
    auto hive = std::make_shared<FileHiveRegistry>(dir.path());
    ASSERT_TRUE(CRegister(hive).REGSaveSetting(kRoot, "Software\\V\u00eddeos \u65e5", "*", "C:\\Cut \u65e5"));
    EXPECT_EQ(regcore::GetSetting(*hive, kRoot, "Software\\V\xC3\xAD" "deos \xE6\x97\xA5", "*", "d"), "C:\\Cut \xE6\x97\xA5");
}

TEST(FileHive, TheUsersOwnHiveRefusesEveryAccessUnderTests)
{
    SetDefaultRegistryBackend(nullptr);
    EXPECT_TRUE(platform::RunningUnderTests() && FileHiveRegistry().hiveFile(reg::kHKeyCurrentUser).isEmpty());
    EXPECT_FALSE(CRegister().REGSaveSetting(kRoot, kSection, "v", "x"));
    EXPECT_EQ(CRegister().REGGetSetting(kRoot, kSection, "v", "d"), "d");
}

// Two instances of the program and this one, each with its own backend, write at once.
constexpr int kWrites = 40;
const char* const kChildVariable = "CLIPWRIGHT_HIVE_WRITER_FOLDER";

void WriteMany(const QString& folder, const QString& writer)
{
    for (int i = 0; i < kWrites; ++i)
        EXPECT_TRUE(CRegister(std::make_shared<FileHiveRegistry>(folder))
                        .REGSaveSetting(kRoot, kSection + "\\" + writer, QString::number(i), QString::number(i)));
}

// Runs only as a child process of the test below.
TEST(FileHiveWriterProcess, WritesItsValues)
{
    const QStringList folderAndName = qEnvironmentVariable(kChildVariable).split('|');
    if (folderAndName.size() != 2)
        GTEST_SKIP() << "started only by TwoWritersAtOnceLoseNothing";
    WriteMany(folderAndName[0], folderAndName[1]);
}

TEST(FileHive, TwoWritersAtOnceLoseNothing)
{
    QTemporaryDir dir;
    QProcess children[2];
    for (int k : {0, 1})
        test::StartSelf(children[k], "FileHiveWriterProcess.*",
                        {{kChildVariable, dir.path() + "|proc" + QString::number(k + 1)}});
    WriteMany(dir.path(), "parent");
    for (QProcess& child : children)
        EXPECT_TRUE(child.waitForFinished(60000) && child.exitCode() == 0) << child.readAll().toStdString();
    FileHiveRegistry fresh(dir.path());
    for (const QString writer : {"proc1", "proc2", "parent"})
        for (int i = 0; i < kWrites; ++i)
            ASSERT_EQ(regcore::GetSetting(fresh, kRoot, (kSection + "\\" + writer).toStdString(), std::to_string(i), "lost"),
                      std::to_string(i)) << writer.toStdString();
}

// The output folder is created one level deep at most, so its parent must exist: a fresh account may have no
// videos folder yet.
TEST(DefaultOutputFolder, LiesInAFolderThatExistsSoItCanBeCreated)
{
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8()), qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    const QString before = DefaultOutputFolder();
    QDir(home.path()).mkdir("Videos");
    EXPECT_EQ(before + "|" + DefaultOutputFolder(),
              QDir::toNativeSeparators(home.path() + "/Cut Files|" + home.path() + "/Videos/Cut Files"));
    qputenv("HOME", savedHome), qputenv("XDG_CONFIG_HOME", savedConfig);
}

}  // namespace
}  // namespace clip::test
