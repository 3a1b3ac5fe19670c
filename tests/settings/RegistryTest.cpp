// The registry rules over the file hive (the shared table of cases, through
// CRegister), and what only the hive has: its file, its handles, the user's
// own hive refusing under tests, and several writers at once.
#include "RegistryTestSupport.h"

#include "platform/TestingGuard.h"
#include "settings/CRegister.h"
#include "settings/FileHiveRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace clip::test {
namespace {

using regcases::kRoot;

// Nothing in this program may touch the user's own hive.
const bool kTestingSet = [] {
    qputenv(platform::kTestingVariable, "1");
    return true;
}();

const QString kSection = QStringLiteral("Software\\Norvane Clipwright\\Settings");

QString Q(const std::string& text) { return QString::fromStdString(text); }

class HiveRegistry final : public regcases::Registry {
public:
    explicit HiveRegistry(const QString& folder) : hive(std::make_shared<FileHiveRegistry>(folder)), reg(hive)
    {
        base = "Software\\Clipwright Test";
    }
    RegistryBackend& backend() override { return *hive; }
    std::string get(const std::string& section, const std::string& name, const std::string& fallback) override
    {
        return reg.REGGetSetting(kRoot, Q(section), Q(name), Q(fallback)).toStdString();
    }
    bool save(const std::string& section, const std::string& name, const std::string& value) override
    {
        return reg.REGSaveSetting(kRoot, Q(section), Q(name), Q(value));
    }
    bool remove(const std::string& section, const std::string& name) override
    {
        return reg.REGDeleteSetting(kRoot, Q(section), Q(name));
    }
    std::shared_ptr<FileHiveRegistry> hive;
    CRegister reg;
};

TEST(FileHive, TheRegistryRules)
{
    for (const auto& [name, run] : regcases::Cases()) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        HiveRegistry r(dir.path());
        run(r);
    }
}

TEST(FileHive, DamagedOrUnreadableHiveReadsAsDefaults)
{
    QTemporaryDir dir;
    auto hive = std::make_shared<FileHiveRegistry>(dir.path());
    CRegister reg(hive);
    const QByteArray head = "{\"format\":\"clipwright-registry-hive\",\"version\":1,\"root\":";
    const QByteArray value = head + "{\"keys\":[{\"name\":\"Software\",\"values\":[{\"name\":\"v\",";
    for (const QByteArray& bytes :
         {QByteArray("\x00\xff\x13garbage", 10), head + "{\"values\":[", QByteArray("[1,2,3]"), QByteArray(),
          QByteArray("{\"format\":\"other\",\"version\":1,\"root\":{}}"),
          value + "\"type\":1,\"data\":\"!!not base64!!\"}]}]}}", value + "\"type\":-1,\"data\":\"\"}]}]}}"}) {
        ASSERT_TRUE(reg.REGSaveSetting(kRoot, "Software", "v", "1"));
        QFile out(hive->hiveFile(kRoot));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size());
        out.close();
        EXPECT_EQ(reg.REGGetSetting(kRoot, "Software", "v", "d"), "d") << bytes.toStdString();
        ASSERT_TRUE(QFile::remove(hive->hiveFile(kRoot)));
    }
    ASSERT_TRUE(QDir().mkpath(hive->hiveFile(kRoot)));
    EXPECT_EQ(reg.REGGetSetting(kRoot, kSection, "v", "d"), "d");
    EXPECT_FALSE(reg.REGSaveSetting(kRoot, kSection, "v", "x"));
}

TEST(FileHive, TheUsersOwnHiveRefusesEveryAccessUnderTests)
{
    ASSERT_TRUE(platform::RunningUnderTests());
    EXPECT_TRUE(FileHiveRegistry().hiveFile(reg::kHKeyCurrentUser).isEmpty());
    SetDefaultRegistryBackend(nullptr);
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
    std::vector<std::unique_ptr<QProcess>> children;
    for (const char* name : {"proc1", "proc2"}) {
        auto& child = children.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildVariable, dir.path() + "|" + name);
        child->setProcessEnvironment(env);
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(), {"--gtest_filter=FileHiveWriterProcess.*"});
    }
    WriteMany(dir.path(), "parent");
    for (auto& child : children) {
        ASSERT_TRUE(child->waitForFinished(60000));
        EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardOutput().toStdString();
    }
    CRegister fresh(std::make_shared<FileHiveRegistry>(dir.path()));
    for (const char* writer : {"proc1", "proc2", "parent"})
        for (int i = 0; i < kWrites; ++i)
            ASSERT_EQ(fresh.REGGetSetting(kRoot, kSection + "\\" + writer, QString::number(i), "lost"),
                      QString::number(i)) << writer;
}

}  // namespace
}  // namespace clip::test
