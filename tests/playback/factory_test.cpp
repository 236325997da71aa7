// Whether a player can be created depends on finding a usable libmpv.

#include "media_fixture.h"

#include "playback/mpv_library.h"
#include "playback/player_factory.h"

#include <QFile>
#include <QTemporaryDir>

#include <dlfcn.h>
#include <link.h>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

// Where the system's libmpv lives, found the way the loader finds it.
QString systemLibmpvPath() {
    void *lib = dlopen(kMpvLibraryName.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!lib)
        lib = dlopen(kMpvLibraryName.toLocal8Bit().constData(), RTLD_NOW);
    link_map *map = nullptr;
    if (!lib || dlinfo(lib, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return {};
    return QString::fromLocal8Bit(map->l_name);
}

class FactoryTest : public ::testing::Test {
protected:
    void TearDown() override {
        setDefaultMpvLibrary(kMpvLibraryName);
        setRegisteredMpvLibrary({});
    }
};

TEST_F(FactoryTest, MissingOrBrokenLibraryCannotBeCreatedUntilAComponentIsRegistered) {
    const auto factory = makePlayerFactory();
    EXPECT_EQ(factory->probe(), PlayerCreation::Created);

    QTemporaryDir dir;
    setDefaultMpvLibrary(dir.filePath("libmpv.so.2")); // not there
    EXPECT_EQ(factory->probe(), PlayerCreation::CannotBeCreated);

    // A component file that is not a library is refused, not loaded.
    QFile junk(dir.filePath("junk.so"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("x");
    junk.close();
    factory->registerComponent(junk.fileName());
    EXPECT_EQ(factory->probe(), PlayerCreation::CannotBeCreated);
    EXPECT_EQ(loadMpvLibrary(junk.fileName()), nullptr);

    const QString real = systemLibmpvPath();
    ASSERT_FALSE(real.isEmpty());
    factory->registerComponent(real);
    EXPECT_EQ(factory->probe(), PlayerCreation::Created);
}

} // namespace
