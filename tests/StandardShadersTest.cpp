#include "StandardShaders.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

// Half a pair is the maker's mistake, reported as such: the installed pair
// stands in only for a folder with neither file, and is only installed whole.
TEST(StandardShadersTest, TheInstalledPairStandsInOnlyForAFolderWithNeitherFile)
{
    const VexelTest::TempFolder temp;
    // A folder holding the vertex (v) and fragment (f) files named.
    const auto folder = [&](const std::string& relative, const std::string& files) {
        std::filesystem::create_directories(temp / relative);
        for (const auto& [letter, file] : {std::pair('v', "standard.330.vert"), std::pair('f', "standard.330.frag")}) {
            if (files.find(letter) != std::string::npos) {
                std::ofstream(temp / (relative + "/" + file)) << "// shader\n";
            }
        }
        return QString::fromStdString(temp / relative) + QLatin1Char('/');
    };
    folder("usr/share/vexel/shaders", "v");
    EXPECT_EQ(StandardShaders::InstalledBeside(folder("usr/bin", "")), QString());
    const QString installed = folder("usr/share/vexel/shaders", "vf");
    ASSERT_EQ(StandardShaders::InstalledBeside(folder("usr/bin", "")), installed);

    StandardShaders::SetInstalledFolder(installed);
    for (const std::string files : {"", "v", "f", "vf"}) {
        const QString demo = folder("demo-" + files, files);
        EXPECT_EQ(StandardShaders::FolderFor(demo), files.empty() ? installed : demo) << files;
    }
    StandardShaders::SetInstalledFolder(QString());
    EXPECT_EQ(StandardShaders::FolderFor(folder("demo-", "")), folder("demo-", ""));
}
