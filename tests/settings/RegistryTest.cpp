#include "RegistryTestSupport.h"

#include "platform/TestingGuard.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

#include <thread>

namespace clip::test {
namespace {

// Nothing in this program may touch the user's own hive.
const bool kTestingSet = [] {
    qputenv(platform::kTestingVariable, "1");
    return true;
}();

const QString kSection = QStringLiteral("Software\\Norvane Clipwright\\Settings");

TEST(TrimBackslashes, RemovesAtMostOneAtEachEnd)
{
    const struct { const char* in; const char* out; } cases[] = {
        {"Software\\A\\B", "Software\\A\\B"}, {"\\Software\\A\\B\\", "Software\\A\\B"},
        {"\\\\A\\\\", "\\A\\"}, {"\\", ""}, {"\\\\", ""}, {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CRegister::TrimBackslashes(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST_F(RegistryTest, MissingKeyOrValueGivesTheDefault)
{
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "txtOutPath", "C:\\Cut Files"), "C:\\Cut Files");
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "txtOutPath"), "");
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "optFormat", "1"));
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "txtOutPath", "fallback"), "fallback");
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection + "\\Missing", "optFormat", "d"), "d");
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "optFormat", "d"), "1");
}

TEST_F(RegistryTest, TextIsStoredWithOneNulAndReadLessItsLastCharacterWhateverItsType)
{
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "txtFrameRate", "25"));
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "txtChannels", ""));
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
    ASSERT_TRUE(rawValue(kSection.toStdString(), "txtFrameRate", type, data));
    EXPECT_EQ(type, reg::kRegSz);
    EXPECT_EQ(data, (std::vector<unsigned char>{'2', '5', 0}));
    ASSERT_TRUE(rawValue(kSection.toStdString(), "txtChannels", type, data));
    EXPECT_EQ(type, reg::kRegSz);
    EXPECT_TRUE(data.empty()) << "an empty text is stored without data";

    RegKey key = 0;
    ASSERT_EQ(hive->createKey(kRoot, "Software\\A", reg::kKeyAllAccess, key), reg::kSuccess);
    const struct { const char* name; std::uint32_t type; std::vector<unsigned char> data; const char* expected; } cases[] = {
        {"nul", reg::kRegSz, {0}, ""},  // a single NUL is an empty text
        {"zero-length", reg::kRegSz, {}, "default"},
        {"text", reg::kRegSz, {'a', 'b', 0}, "ab"},
        {"binary", reg::kRegBinary, {'x', 'y', 'z'}, "xy"},
    };
    for (const auto& c : cases)
        ASSERT_EQ(hive->setValue(key, c.name, c.type, c.data), reg::kSuccess);
    hive->closeKey(key);
    for (const auto& c : cases)
        EXPECT_EQ(reg.REGGetSetting(kRoot, "Software\\A", c.name, "default"), QString::fromLatin1(c.expected))
            << c.name;
}

TEST_F(RegistryTest, TheThreeSpellingsOfASectionAddressOneKey)
{
    const QString spellings[] = {"Software\\A\\B", "\\Software\\A\\B", "Software\\A\\B\\"};
    for (const QString& writeAs : spellings)
        for (const QString& readAs : spellings)
            for (const QString& deleteAs : spellings) {
                ASSERT_TRUE(reg.REGSaveSetting(kRoot, writeAs, "v", "x"));
                EXPECT_EQ(reg.REGGetSetting(kRoot, readAs, "v"), "x");
                EXPECT_TRUE(reg.REGDeleteSetting(kRoot, deleteAs, "v"));
                EXPECT_EQ(reg.REGGetSetting(kRoot, readAs, "v", "gone"), "gone");
                ASSERT_TRUE(reg.REGSaveSetting(kRoot, writeAs, "v", "y"));
                EXPECT_TRUE(reg.REGDeleteSetting(kRoot, deleteAs));
                EXPECT_FALSE(keyExists("Software\\A\\B"));
            }
    EXPECT_TRUE(keyExists("Software\\A"));
}

TEST_F(RegistryTest, StarNamesTheUnnamedDefaultValue)
{
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "*", "unnamed"));
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "named", "kept"));
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
    ASSERT_TRUE(rawValue(kSection.toStdString(), "", type, data));
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("unnamed", 8));
    EXPECT_FALSE(rawValue(kSection.toStdString(), "*", type, data));
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "*"), "unnamed");

    EXPECT_TRUE(reg.REGDeleteSetting(kRoot, kSection, "*"));
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "*", "none"), "none");
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "named"), "kept");
    EXPECT_FALSE(reg.REGDeleteSetting(kRoot, kSection, "*"));
}

TEST_F(RegistryTest, WritingCreatesEveryMissingKeyOnThePathWhateverTheCase)
{
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, "Software\\X\\Y\\Z", "Value", "1"));
    for (const char* section : {"Software", "Software\\X", "Software\\X\\Y", "Software\\X\\Y\\Z"})
        EXPECT_TRUE(keyExists(section)) << section;
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, "SOFTWARE\\x\\y\\z", "VALUE", "2"));
    EXPECT_EQ(reg.REGGetSetting(kRoot, "software\\X\\Y\\Z", "value"), "2");
    // A path with an empty component names no key.
    EXPECT_FALSE(reg.REGSaveSetting(kRoot, "Software\\\\Y", "v", "1"));
    EXPECT_FALSE(keyExists("Software\\\\Y"));
}

TEST_F(RegistryTest, DeletingASectionRemovesItsValuesButNeverAKeyWithSubkeys)
{
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, "Software\\P", "a", "1"));
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, "Software\\P\\C", "b", "2"));
    EXPECT_FALSE(reg.REGDeleteSetting(kRoot, "Software\\P"));
    EXPECT_EQ(reg.REGGetSetting(kRoot, "Software\\P", "a"), "1");
    EXPECT_EQ(reg.REGGetSetting(kRoot, "Software\\P\\C", "b"), "2");

    EXPECT_TRUE(reg.REGDeleteSetting(kRoot, "Software\\P\\C"));
    EXPECT_FALSE(keyExists("Software\\P\\C"));
    EXPECT_TRUE(reg.REGDeleteSetting(kRoot, "Software\\P"));
    EXPECT_EQ(reg.REGGetSetting(kRoot, "Software\\P", "a", "d"), "d");

    // Gone already, never there, or the root itself.
    EXPECT_FALSE(reg.REGDeleteSetting(kRoot, "Software\\P"));
    EXPECT_FALSE(reg.REGDeleteSetting(kRoot, "Software\\Q", "a"));
    EXPECT_FALSE(reg.REGDeleteSetting(kRoot, ""));
    EXPECT_FALSE(reg.REGDeleteSetting(kRoot, "\\"));
    EXPECT_TRUE(keyExists("Software"));
}

TEST_F(RegistryTest, TextsRoundTripThroughTheFile)
{
    for (const QString& text : QStringList{"C:\\Cut Files", "/home/ana/Vídeos/Cut Files", "say \"cheese\"; $HOME `x`",
                                           "日本語", " lead and trail "}) {
        ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "txtOutPath", text));
        EXPECT_EQ(CRegister(std::make_shared<FileHiveRegistry>(dir.path())).REGGetSetting(kRoot, kSection, "txtOutPath"),
                  text);
    }
}

TEST_F(RegistryTest, MachineRootSharesTheUsersHiveOtherRootsDoNot)
{
    ASSERT_TRUE(reg.REGSaveSetting(reg::kHKeyLocalMachine, kSection, "v", "machine"));
    EXPECT_EQ(reg.REGGetSetting(reg::kHKeyCurrentUser, kSection, "v"), "machine");
    EXPECT_EQ(reg.REGGetSetting(reg::kHKeyUsers, kSection, "v", "none"), "none");
    EXPECT_FALSE(reg.REGSaveSetting(0x1234u, kSection, "v", "x")) << "not a root key";
    EXPECT_EQ(reg.REGGetSetting(0x1234u, kSection, "v", "none"), "none");
}

TEST_F(RegistryTest, DamagedHiveReadsAsDefaultsAndIsReplacedByTheNextSave)
{
    const QByteArray head = "{\"format\":\"clipwright-registry-hive\",\"version\":1,\"root\":";
    const QByteArray damaged[] = {
        QByteArray("\x00\xff\x13garbage", 10),
        head + "{\"values\":[",  // cut short
        "[1,2,3]",
        "{\"format\":\"something else\",\"version\":1,\"root\":{}}",
        head + "{\"keys\":[{\"name\":\"Software\",\"values\":[{\"name\":\"v\",\"type\":1,\"data\":\"!!not base64!!\"}]}]}}",
        head + "{\"keys\":[{\"name\":\"Software\",\"values\":[{\"name\":\"v\",\"type\":-1,\"data\":\"\"}]}]}}",
        QByteArray(),
    };
    const QString file = hive->hiveFile(kRoot);
    for (const QByteArray& bytes : damaged) {
        SCOPED_TRACE(bytes.toStdString());
        ASSERT_TRUE(reg.REGSaveSetting(kRoot, "Software", "old", "1"));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        out.close();
        EXPECT_EQ(reg.REGGetSetting(kRoot, "Software", "old", "default"), "default");
        EXPECT_EQ(reg.REGGetSetting(kRoot, "Software", "v", "default"), "default");
        EXPECT_FALSE(reg.REGDeleteSetting(kRoot, "Software", "old"));

        ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "new", "2"));
        EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "new"), "2");
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QJsonDocument::fromJson(in.readAll()).isObject());
    }
}

TEST_F(RegistryTest, UnreadableHiveIsAFolderInItsPlace)
{
    ASSERT_TRUE(QDir().mkpath(hive->hiveFile(kRoot)));
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "v", "default"), "default");
    EXPECT_FALSE(reg.REGSaveSetting(kRoot, kSection, "v", "x"));
}

TEST_F(RegistryTest, HandlesKeepTheirAccessAndCloseOnce)
{
    ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, "v", "1"));
    RegKey key = 0;
    ASSERT_EQ(hive->openKey(kRoot, kSection.toStdString(), reg::kKeyRead, key), reg::kSuccess);
    EXPECT_EQ(hive->setValue(key, "v", reg::kRegSz, {'2', 0}), reg::kAccessDenied);
    EXPECT_EQ(hive->deleteValue(key, "v"), reg::kAccessDenied);
    EXPECT_EQ(hive->closeKey(key), reg::kSuccess);
    EXPECT_EQ(hive->closeKey(key), reg::kInvalidHandle);
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "v"), "1");
}

TEST(RegistryDefaults, TheUsersOwnHiveRefusesEveryAccessUnderTests)
{
    ASSERT_TRUE(platform::RunningUnderTests());
    FileHiveRegistry own;
    EXPECT_TRUE(own.folder().isEmpty());
    EXPECT_TRUE(own.hiveFile(reg::kHKeyCurrentUser).isEmpty());
    SetDefaultRegistryBackend(nullptr);
    EXPECT_FALSE(CRegister().REGSaveSetting(reg::kHKeyLocalMachine, kSection, "v", "x"));
    EXPECT_EQ(CRegister().REGGetSetting(reg::kHKeyLocalMachine, kSection, "v", "d"), "d");

    QTemporaryDir dir;
    auto hive = std::make_shared<FileHiveRegistry>(dir.path());
    SetDefaultRegistryBackend(hive);
    EXPECT_TRUE(CRegister().REGSaveSetting(reg::kHKeyLocalMachine, kSection, "v", "x"));
    EXPECT_EQ(CRegister(hive).REGGetSetting(reg::kHKeyLocalMachine, kSection, "v"), "x");
    SetDefaultRegistryBackend(nullptr);
    EXPECT_EQ(CRegister().REGGetSetting(reg::kHKeyLocalMachine, kSection, "v", "d"), "d");
}

// --- two writers at once: two processes and two threads, each with its own backend

constexpr int kWritesPerWriter = 40;
const char* const kChildFolderVariable = "CLIPWRIGHT_HIVE_WRITER_FOLDER";

void WriteMany(const QString& folder, const QString& writer)
{
    for (int i = 0; i < kWritesPerWriter; ++i)
        EXPECT_TRUE(CRegister(std::make_shared<FileHiveRegistry>(folder))
                        .REGSaveSetting(reg::kHKeyLocalMachine, kSection + "\\" + writer, QStringLiteral("v%1").arg(i),
                                        QString::number(i)));
}

// Runs only as a child process of the test below; its writer name follows the folder.
TEST(RegistryWriterProcess, WritesItsValues)
{
    const QStringList folderAndName = qEnvironmentVariable(kChildFolderVariable).split('|');
    if (folderAndName.size() != 2)
        GTEST_SKIP() << "started only by TwoWritersAtOnceLeaveAHiveThatLoads";
    WriteMany(folderAndName[0], folderAndName[1]);
}

TEST_F(RegistryTest, TwoWritersAtOnceLeaveAHiveThatLoads)
{
    std::vector<std::unique_ptr<QProcess>> children;
    for (const char* name : {"proc1", "proc2"}) {
        auto& child = children.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildFolderVariable, dir.path() + "|" + name);
        child->setProcessEnvironment(env);
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(), {"--gtest_filter=RegistryWriterProcess.WritesItsValues"});
    }
    std::thread first(WriteMany, dir.path(), QStringLiteral("thread1"));
    std::thread second(WriteMany, dir.path(), QStringLiteral("thread2"));
    first.join();
    second.join();
    for (auto& child : children) {
        ASSERT_TRUE(child->waitForFinished(60000));
        EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardOutput().toStdString();
    }
    CRegister fresh(std::make_shared<FileHiveRegistry>(dir.path()));
    for (const char* writer : {"proc1", "proc2", "thread1", "thread2"})
        for (int i = 0; i < kWritesPerWriter; ++i)
            ASSERT_EQ(fresh.REGGetSetting(kRoot, kSection + "\\" + writer, QStringLiteral("v%1").arg(i), "lost"),
                      QString::number(i))
                << writer << " " << i;
}

}  // namespace
}  // namespace clip::test
