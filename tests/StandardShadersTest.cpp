#include "StandardShaders.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

QString FolderOf(const fs::path& folder)
{
    return QString::fromStdString(folder.string() + "/");
}

void Touch(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "// shader\n";
}

} // namespace

// The installed pair stands in only for a demo folder with neither file, and
// only where one is installed beside the program.
TEST(StandardShadersTest, TheInstalledPairStandsInOnlyForADemoWithNeitherFile)
{
    const VexelTest::TempFolder temp;
    const fs::path prefix = temp.Path() / "usr";
    fs::create_directories(prefix / "bin");
    EXPECT_EQ(StandardShaders::InstalledBeside(FolderOf(prefix / "bin")), QString());
    Touch(prefix / "share/vexel/shaders/standard.330.vert");
    EXPECT_EQ(StandardShaders::InstalledBeside(FolderOf(prefix / "bin")), QString()) << "half a pair is no pair";
    Touch(prefix / "share/vexel/shaders/standard.330.frag");
    const QString installed = StandardShaders::InstalledBeside(FolderOf(prefix / "bin"));
    ASSERT_EQ(installed, FolderOf(prefix / "share/vexel/shaders"));

    struct Case
    {
        std::vector<std::string> demoFiles;
        bool installedSet;
        bool expectInstalled;
    };
    const std::vector<Case> cases = {
        {{}, true, true},
        {{}, false, false},
        {{"standard.330.vert"}, true, false},
        {{"standard.330.frag"}, true, false},
        {{"standard.330.vert", "standard.330.frag"}, true, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        const fs::path shaders = temp.Path() / ("demo" + std::to_string(index++)) / "data/shaders";
        fs::create_directories(shaders);
        for (const std::string& file : c.demoFiles) {
            Touch(shaders / file);
        }
        StandardShaders::SetInstalledFolder(c.installedSet ? installed : QString());
        SCOPED_TRACE(testing::PrintToString(c.demoFiles) + (c.installedSet ? " installed" : ""));
        EXPECT_EQ(StandardShaders::FolderFor(FolderOf(shaders)), c.expectInstalled ? installed : FolderOf(shaders));
    }
    StandardShaders::SetInstalledFolder(QString());
}
