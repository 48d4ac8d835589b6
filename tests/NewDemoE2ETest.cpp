#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunResult;
namespace fs = std::filesystem;

namespace {

const std::string Player = VEXEL_PLAYER_EXE;
const std::string Hint = "Try 'vexel-player --help' for more information.\n";

// Every path below root with its content ("/" for a folder).
std::map<std::string, std::string> Listing(const fs::path& root)
{
    std::map<std::string, std::string> listing;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        listing[fs::relative(entry.path(), root).string()] =
            entry.is_directory() ? "/" : VexelTest::ReadFile(entry.path().string());
    }
    return listing;
}

RunResult InFolder(const std::string& folder, const std::string& command)
{
    ProgramRun run;
    run.args = {"-c", "cd " + folder + " && " + command};
    run.ownDisplay = false;
    return VexelTest::RunProgram("/bin/bash", run);
}

std::string Made(const std::string& demo, const std::string& video)
{
    return "made " + demo + ": morvelin.xml, data/ with the shaders, a font and 8 bars of music at 120 bpm\n" +
           "  play it:     " + Player + " " + demo + "\n  check it:    " + Player + " --check " + demo +
           "\n  capture it:  " + Player + " --capture " + video + " " + demo + "\n";
}

// The mean of a PNG frame's channels, from 0 to 1 (ImageMagick's).
double Brightness(const std::string& png)
{
    return std::stod(VexelTest::ShellOutput("convert " + png + " -format '%[fx:mean]' info:"));
}

} // namespace

// What --new makes, says and refuses; a refusal leaves every file as it was.
TEST(NewDemoE2ETest, MakesANewOrEmptyFolderAndRefusesAnyOther)
{
    // Permissions bind root only through another user.
    const std::string asNobody = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const std::string made = " (removed what was made)\n";
    const struct
    {
        std::string name;
        std::function<void(const fs::path&)> setUp;
        std::string command;
        int status;
        std::string out;
        std::string err;
        // The folder the demo is made in, relative to the scratch folder; empty when refused.
        std::string demo;
    } cases[] = {
        {"new", nullptr, "--new my-demo", 0, Made("my-demo", "my-demo.mp4"), "", "my-demo"},
        {"parents made, quoted", nullptr, "--new \"two words/it's\"", 0,
         Made("'two words/it'\\''s'", "'two words/it'\\''s.mp4'"), "", "two words/it's"},
        {"empty", [](const fs::path& s) { fs::create_directory(s / "empty"); }, "--new empty/", 0,
         Made("empty/", "empty.mp4"), "", "empty"},
        {"not empty", [](const fs::path& s) { fs::create_directories(s / "full/notes"); }, "--new full", 1, "",
         "full: error: the folder is not empty; --new fills only a new or empty folder\n", ""},
        {"a file", [](const fs::path& s) { std::ofstream(s / "file") << "text\n"; }, "--new file", 1, "",
         "file: error: exists and is not a folder\n", ""},
        {"unwritable parent",
         [](const fs::path& s) {
             fs::permissions(s, fs::perms::owner_all | fs::perms::others_exec);
             fs::create_directory(s / "locked");
             fs::permissions(s / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                               fs::perms::others_exec);
         },
         "--new locked/demo", 1, "", "locked/demo: error: cannot make the folder: Permission denied\n", ""},
        {"full disk", nullptr, "--new big", 1, "",
         "big: error: cannot write data/music/starter.wav: File too large" + made, ""},
        {"no DIR", nullptr, "--new", 2, "", "vexel-player: --new: missing value\n" + Hint, ""},
        {"an option for DIR", nullptr, "--new --check", 2, "",
         "vexel-player: --new: expected the folder to make, not \"--check\"\n" + Hint, ""},
        {"a settings file too", nullptr, "--new d show.xml", 2, "",
         "vexel-player: --new: not with \"show.xml\"\n" + Hint, ""},
        {"a capture", nullptr, "--capture d.mp4 --new d", 2, "", "vexel-player: --new: not with --capture\n" + Hint,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const VexelTest::TempFolder scratch;
        if (c.setUp) {
            c.setUp(scratch.Path());
        }
        const auto before = Listing(scratch.Path());
        // A file size limit makes the soundtrack, the last file written, too large.
        const std::string limit = c.name == "full disk" ? "ulimit -f 2048 && trap '' XFSZ && " : "";
        const std::string prefix = c.name == "unwritable parent" ? asNobody : "";
        const RunResult result = InFolder(scratch.Path().string(), limit + prefix + Player + " " + c.command);
        EXPECT_EQ(result.exitCode, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        if (c.demo.empty()) {
            EXPECT_EQ(Listing(scratch.Path()), before);
            continue;
        }
        // The pair and the font are those of the build, byte for byte.
        const auto files = Listing(scratch.Path() / c.demo);
        std::vector<std::string> names;
        for (const auto& [name, content] : files) {
            names.push_back(name);
            const std::string source = name.rfind("data/fonts/", 0) == 0
                                           ? VEXEL_SOURCE_DIR "/lib/Vexel/fonts/" + name.substr(11)
                                       : name.rfind("data/shaders/standard", 0) == 0 ? VEXEL_DEMO_DIR "/" + name
                                                                                     : "";
            EXPECT_TRUE(source.empty() || content == VexelTest::ReadFile(source)) << name;
        }
        EXPECT_EQ(names, (std::vector<std::string>{"data", "data/fonts", "data/fonts/DejaVuSans.LICENSE",
                                                   "data/fonts/DejaVuSans.ttf", "data/music", "data/music/starter.wav",
                                                   "data/shaders", "data/shaders/ribbons.glsl",
                                                   "data/shaders/standard.330.frag", "data/shaders/standard.330.vert",
                                                   "data/textures", "morvelin.xml"}));
        // The folder's name is the demo's.
        const std::string name = fs::path(c.demo).filename().string();
        EXPECT_NE(files.at("morvelin.xml").find("<name>" + name + "</name>"), std::string::npos);
    }
}

// The new demo is in step with its own music: the analysis finds the file's
// tempo in the soundtrack, and the shader flashes on the beats; morvelin
// plays it without a complaint.
TEST(NewDemoE2ETest, TheNewDemoKeepsItsTempoAndPlaysInMorvelin)
{
    const VexelTest::TempFolder scratch;
    ASSERT_EQ(InFolder(scratch.Path().string(), Player + " --new demo").exitCode, 0);
    const std::string demo = scratch / "demo";

    const RunResult analysed = InFolder(demo, Player + " --analyze .");
    EXPECT_NE(analysed.out.find("data/music/starter.wav: 16.000 s\n"), std::string::npos) << analysed.out;
    EXPECT_NE(analysed.out.find("\nfirst downbeat: 0:00.00"), std::string::npos) << analysed.out;
    const std::size_t bpm = analysed.out.find("tempo: ");
    ASSERT_NE(bpm, std::string::npos) << analysed.out;
    EXPECT_NEAR(std::stod(analysed.out.substr(bpm + 7)), 120.0, 0.05);

    // 5 frames a second from 3 s: frames 0 and 5 fall on a beat, 2 and 7 just before one.
    const RunResult captured = InFolder(
        demo, Player + " --capture frames/%d.png --fps 5 --size 320x180 --from 3 --to 5 . 2>&1 >/dev/null | tail -1");
    ASSERT_EQ(captured.out.find("captured 10 frames"), 0u) << captured.out;
    for (const auto& [beat, before] : {std::pair<int, int>{0, 2}, {5, 7}}) {
        EXPECT_GT(Brightness(demo + "/frames/" + std::to_string(beat) + ".png"),
                  1.2 * Brightness(demo + "/frames/" + std::to_string(before) + ".png"))
            << "frame " << beat;
    }

    ProgramRun run;
    run.copies = {{demo + "/morvelin.xml", "morvelin.xml"}, {demo + "/data", "data"}};
    run.timeout = 60s;
    run.whileRunning = [](VexelTest::RunningProgram& program) {
        if (program.WaitForOutput("Moving futurepart \"title\" to currentparts...", 40s)) {
            std::this_thread::sleep_for(2s);
        }
        program.Key("Escape");
    };
    const RunResult played = VexelTest::RunMorvelin(run);
    EXPECT_EQ(played.exitCode, 0) << played.err;
    EXPECT_EQ(played.err, "");
    EXPECT_NE(played.out.find("Key code 27 pressed down."), std::string::npos);
}
