#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Looked up when the test runs, so a new example is checked without a change here.
std::vector<fs::path> GuideSettingsFiles()
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(VEXEL_SOURCE_DIR "/docs/examples")) {
        if (entry.is_regular_file() && entry.path().extension() == ".xml") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

// Every settings file the guide shows must pass --check, shaders compiled
// on a display, so a maker who copies one starts from a clean file.
TEST(GuideExamplesE2ETest, EveryExampleSettingsFilePassesTheCheck)
{
    const std::vector<fs::path> files = GuideSettingsFiles();
    const fs::path walkthrough = fs::path(VEXEL_SOURCE_DIR "/docs/examples/first-demo/morvelin.xml");
    ASSERT_NE(std::find(files.begin(), files.end(), walkthrough), files.end())
        << "the examples were not found under " << VEXEL_SOURCE_DIR "/docs/examples";

    for (const fs::path& file : files) {
        VexelTest::ProgramRun run;
        run.args = {"--check", file.string()};
        run.timeout = 60s;
        const VexelTest::RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
        const std::vector<std::string> lines = result.OutLines();
        EXPECT_EQ(result.exitCode, 0) << file.string() << " fails the check:\n" << result.out << result.err;
        // A status of 0 counts only from a check that ran to its summary.
        EXPECT_TRUE(!lines.empty() && lines.back().rfind("0 errors, ", 0) == 0)
            << file.string() << ": no summary line in\n" << result.out << result.err;
    }
}
