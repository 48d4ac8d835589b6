// The bundled demo's files (demo/): what playing it cannot show. Its end-to-end
// test plays the timeline and fails on any unknown key, value, class or file.

#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

namespace fs = std::filesystem;

TEST(DemoContentTest, SoundtrackIsASmallOggAndEveryPictureIsShown)
{
    const fs::path demo = VEXEL_DEMO_DIR;
    const std::string xml = VexelTest::ReadFile((demo / "morvelin.xml").string());
    std::smatch soundtrack;
    ASSERT_TRUE(std::regex_search(xml, soundtrack, std::regex(R"re(<soundtrack file="([^"]+)")re")));
    const fs::path music = demo / soundtrack[1].str();
    EXPECT_EQ(VexelTest::ReadFile(music.string()).substr(0, 4), "OggS") << music;
    EXPECT_LT(fs::file_size(music), 2u * 1024 * 1024);

    // The test scene loads its two pictures by fixed names; nothing else ships unused.
    std::uintmax_t bytes = 0;
    int pictures = 0;
    for (const auto& entry : fs::directory_iterator(demo / "data" / "textures")) {
        const std::string name = entry.path().filename().string();
        const bool fixed = name == "test.png" || name == "bg.jpg";
        EXPECT_TRUE(fixed || xml.find("image=\"" + name + "\"") != std::string::npos) << name << " is unused";
        pictures += fixed ? 1 : 0;
        bytes += entry.file_size();
    }
    EXPECT_EQ(pictures, 2);
    EXPECT_LT(bytes, 3u * 1024 * 1024);
}
