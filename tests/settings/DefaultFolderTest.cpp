#include "settings/Settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace clip {
namespace {

// The output folder is created one level deep at most, so its parent must exist: a fresh account may have no
// videos folder yet.
TEST(DefaultOutputFolder, LiesInAFolderThatExistsSoItCanBeCreated)
{
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8()), qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    const QString before = DefaultOutputFolder();
    QDir(home.path()).mkdir("Videos");
    EXPECT_EQ(before + "|" + DefaultOutputFolder(), QDir::toNativeSeparators(home.path() + "/Cut Files|" + home.path() + "/Videos/Cut Files"));
    qputenv("HOME", savedHome), qputenv("XDG_CONFIG_HOME", savedConfig);
}

}  // namespace
}  // namespace clip
