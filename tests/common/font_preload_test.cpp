// The font configuration is read by the time the preload's wait() returns:
// a configuration file changed afterwards is not the one in use.
#include "common/qt/font_preload.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

std::string configNaming(const std::string& fontFolder, const std::string& cacheFolder) {
    return "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + fontFolder + "</dir><cachedir>" + cacheFolder +
           "</cachedir></fontconfig>\n";
}

TEST(FontPreload, TheConfigurationIsReadWhenTheWaitEnds) {
    testing::TempFolder dir;
    for (const char* folder : {"before", "after", "cache"}) std::filesystem::create_directories(dir.file(folder));
    const std::string conf = dir.write("fonts.conf", configNaming(dir.file("before"), dir.file("cache")));
    ASSERT_EQ(setenv("FONTCONFIG_FILE", conf.c_str(), 1), 0);
    {
        FontPreload fonts;
        fonts.wait();
    }
    dir.write("fonts.conf", configNaming(dir.file("after"), dir.file("cache")));

    std::set<std::string> folders;
    FcStrList* list = FcConfigGetFontDirs(nullptr);
    while (const FcChar8* folder = FcStrListNext(list)) folders.insert(reinterpret_cast<const char*>(folder));
    FcStrListDone(list);
    EXPECT_EQ(folders, std::set<std::string>{dir.file("before")});
}

}  // namespace
}  // namespace vexla
