// Where the program finds its parts and keeps its files: beside itself in a
// build tree, under lib/vantoli/ and $XDG_DATA_HOME/vantoli once installed.

#include "app/program_folder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantoli {
namespace {

TEST(InstallLayout, InstalledProgramFindsPartsAndKeepsFilesInTheDataFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString prefix = root.filePath(QStringLiteral("prefix"));
    const QString bin = prefix + QStringLiteral("/bin");
    const QString data = root.filePath(QStringLiteral("data"));
    QDir().mkpath(bin);
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    qunsetenv("VANTOLI_HOME");

    // A bin/ folder without the parts beside it is no installation: a
    // writable executable folder is the program folder, as in a build tree.
    EXPECT_FALSE(isInstalledLayout(bin));
    EXPECT_EQ(partsFolder(bin), bin + u'/');
    EXPECT_EQ(resolveProgramFolder({}, bin), bin);

    QDir().mkpath(prefix + QStringLiteral("/lib/vantoli/Peer"));
    EXPECT_TRUE(isInstalledLayout(bin));
    EXPECT_TRUE(isInstalledLayout(bin + u'/'));
    EXPECT_EQ(partsFolder(bin), prefix + QStringLiteral("/lib/vantoli/"));
    EXPECT_EQ(playerProgramsFolder(bin), prefix + QStringLiteral("/lib/vantoli/Peer/"));
    // Writable or not, an installed program keeps its files in the data folder.
    EXPECT_EQ(resolveProgramFolder({}, bin), data + QStringLiteral("/vantoli"));
    EXPECT_TRUE(QDir(data + QStringLiteral("/vantoli")).exists());
    // --home still wins.
    EXPECT_EQ(resolveProgramFolder(root.filePath(QStringLiteral("home")), bin), root.filePath(QStringLiteral("home")));

    // The build tree: Peer/ beside the executable.
    const QString build = root.filePath(QStringLiteral("build/src"));
    QDir().mkpath(build);
    EXPECT_EQ(playerProgramsFolder(build), build + QStringLiteral("/Peer/"));
    qunsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace vantoli
