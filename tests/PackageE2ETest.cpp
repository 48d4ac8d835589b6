#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ProgramRun;
using VexelTest::RunProgram;
using VexelTest::RunResult;
using VexelTest::ShellOutput;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string FolderError = "a folder, not a settings file, and it has no morvelin.xml";

RunResult Execute(const std::string& program, const Lines& args, bool ownDisplay = false)
{
    ProgramRun run;
    run.args = args;
    run.ownDisplay = ownDisplay;
    run.timeout = 60s;
    return RunProgram(program, run);
}

RunResult Shell(const std::string& command)
{
    return Execute("/bin/sh", {"-c", command});
}

std::string Trimmed(std::string text)
{
    text.erase(text.find_last_not_of(" \n") + 1);
    return text;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// What bash-completion offers for a command line ending in the word being typed.
Lines Completions(const fs::path& root, const fs::path& folder, const Lines& words)
{
    std::string array;
    for (const std::string& word : words) {
        array += " '" + word + "'";
    }
    const std::string script = "cd '" + folder.string() + "' && PATH='" + (root / "usr/bin").string() +
                               ":'\"$PATH\" && . /usr/share/bash-completion/bash_completion && . '" +
                               (root / "usr/share/bash-completion/completions/vexel-player").string() +
                               "' && COMP_WORDS=(" + array +
                               ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && "
                               "COMP_LINE=\"${COMP_WORDS[*]}\" && COMP_POINT=${#COMP_LINE} && "
                               "_vexel_player vexel-player \"${COMP_WORDS[COMP_CWORD]}\" && "
                               "printf '%s\\n' \"${COMPREPLY[@]}\" | sort";
    Lines offered = Execute("/bin/bash", {"-c", script}).OutLines();
    offered.erase(std::remove(offered.begin(), offered.end(), ""), offered.end());
    return offered;
}

} // namespace

// The Debian package made from this build tree, unpacked into a scratch root
// and used from there as an installed program: version, man pages, the
// installed shader pair for a demo without one, folders as SETTINGS and the
// bash completion.
TEST(PackageE2ETest, TheUnpackedPackageWorksFromItsOwnPrefix)
{
    for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "man", "bash"}) {
        if (Trimmed(ShellOutput(std::string("command -v ") + tool)).empty()) {
            GTEST_SKIP() << tool << " is missing: scripts/install-deps.sh --test installs it";
        }
    }
    ASSERT_TRUE(fs::exists("/usr/share/bash-completion/bash_completion"))
        << "bash-completion is missing: scripts/install-deps.sh --test installs it";

    const VexelTest::TempFolder scratch;
    const RunResult packed = Shell("'" VEXEL_CPACK "' -G DEB -B '" + scratch / "package" + "' --config '" +
                                   VEXEL_BINARY_DIR "/CPackConfig.cmake'");
    ASSERT_EQ(packed.exitCode, 0) << packed.out << packed.err;
    const std::string arch = Trimmed(ShellOutput("dpkg --print-architecture"));
    const std::string deb = scratch / ("package/vexel_" VEXEL_VERSION "_" + arch + ".deb");
    ASSERT_TRUE(fs::exists(deb)) << packed.out;

    // Dependencies come from the binaries, so a fresh machine gets the libraries.
    const struct
    {
        std::string field;
        std::string part;
    } fields[] = {{"Package", "vexel"},          {"Version", VEXEL_VERSION},       {"Section", "graphics"},
                  {"Maintainer", "maintainers"}, {"Depends", "libsdl2-2.0-0 (>="}, {"Depends", "libqt5core5a"},
                  {"Depends", "libavcodec"}};
    for (const auto& expected : fields) {
        EXPECT_TRUE(Contains(ShellOutput("dpkg-deb -f '" + deb + "' " + expected.field), expected.part))
            << expected.field << " lacks " << expected.part;
    }

    const fs::path root = scratch.Path() / "root";
    ASSERT_EQ(Shell("dpkg -x '" + deb + "' '" + root.string() + "'").exitCode, 0);
    const std::string player = (root / "usr/bin/vexel-player").string();
    EXPECT_EQ(Execute(player, {"--version"}).out, "vexel-player " VEXEL_VERSION "\n");

    const struct
    {
        std::string page;
        Lines parts;
    } pages[] = {
        {"vexel-player.1.gz",
         {"SYNOPSIS", "--capture OUT", "--check", "KEYS", "Shift+Left", "EXIT STATUS", "130", "FILES",
          "share/vexel/shaders/", "vexel-player " VEXEL_VERSION}},
        {"morvelin.1.gz",
         {"morvelin.xml", "ignored", "Escape", "EXIT STATUS", "255", "FILES", "morvelin " VEXEL_VERSION}},
    };
    for (const auto& expected : pages) {
        const RunResult shown =
            Shell("MANWIDTH=100 man -l '" + (root / "usr/share/man/man1" / expected.page).string() + "'");
        EXPECT_EQ(shown.exitCode, 0) << shown.err;
        for (const std::string& part : expected.parts) {
            EXPECT_TRUE(Contains(shown.out, part)) << expected.page << " lacks " << part << ":\n" << shown.out;
        }
    }

    // An installed example as a demo folder of its own, once without the shader
    // pair and once with it: the installed pair must stand in unseen.
    const fs::path examples = root / "usr/share/vexel/examples";
    const fs::path bare = scratch.Path() / "bare";
    const fs::path own = scratch.Path() / "own";
    for (const fs::path& demo : {bare, own}) {
        fs::create_directories(demo / "data");
        fs::copy(examples / "class-image.xml", demo / "morvelin.xml");
        fs::copy(examples / "data", demo / "data", fs::copy_options::recursive);
    }
    fs::remove_all(bare / "data/shaders");
    const std::string installed = (root / "usr/share/vexel/shaders/").string();
    const std::string fellBack = "no standard shader pair in data/shaders/: using the installed one in " + installed;

    const RunResult checked = Execute(player, {"--check", bare.string()}, true);
    EXPECT_EQ(checked.exitCode, 0) << checked.out;
    ASSERT_EQ(checked.OutLines().size(), 2u) << checked.out;
    EXPECT_EQ(checked.OutLines()[0].rfind(bare.string() + "/morvelin.xml:", 0), 0u) << checked.out;
    EXPECT_TRUE(Contains(checked.OutLines()[0], ": note: " + fellBack)) << checked.out;
    EXPECT_EQ(checked.OutLines()[1], "0 errors, 0 warnings");

    std::vector<std::string> frames;
    for (const fs::path& demo : {bare, own}) {
        const std::string out = (scratch.Path() / demo.filename() / "frames/%03d.png").string();
        const RunResult captured =
            Execute(player, {"--capture", out, "--fps", "5", "--to", "2", "--size", "320x180", demo.string()});
        EXPECT_EQ(captured.exitCode, 0) << captured.err;
        EXPECT_TRUE(Contains(captured.err, "captured 10 frames to ")) << captured.err;
        EXPECT_EQ(CountOf(captured.out, "no standard shader pair in " + (demo / "data/shaders/").string() +
                                            ": using the installed one in " + installed + "\n"),
                  demo == bare ? 1 : 0)
            << captured.out;
        frames.push_back(VexelTest::ReadFile((scratch.Path() / demo.filename() / "frames/005.png").string()));
    }
    EXPECT_FALSE(frames[0].empty());
    EXPECT_EQ(frames[0], frames[1]) << "the installed pair draws otherwise than the example's own";

    // Played as a folder: its morvelin.xml, with the installed pair.
    ProgramRun play;
    play.args = {bare.string(), "--window", "320x180"};
    play.timeout = 60s;
    play.whileRunning = [](VexelTest::RunningProgram& program) {
        if (program.WaitForOutput("ready at 0:00.000", 30s)) {
            program.Key("Escape");
        }
    };
    const RunResult played = RunProgram(player, play);
    EXPECT_EQ(played.exitCode, 0) << played.err;
    EXPECT_TRUE(Contains(played.out, "ready at 0:00.000\n")) << played.out;
    EXPECT_EQ(CountOf(played.out, "no standard shader pair in " + (bare / "data/shaders/").string()), 1);

    // A folder without morvelin.xml is named as such however it is given.
    const std::string empty = (scratch.Path() / "empty").string();
    fs::create_directories(empty);
    const struct
    {
        Lines args;
        Lines out;
        Lines err;
    } folders[] = {
        {{"--check", empty}, {empty + ":1:1: error: " + FolderError, "1 error, 0 warnings"}, {}},
        {{empty}, {}, {empty + ": error: " + FolderError}},
        {{"--capture", empty + ".mp4", empty}, {}, {empty + ": error: " + FolderError}},
    };
    for (const auto& c : folders) {
        const RunResult result = Execute(player, c.args);
        EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(c.args);
        EXPECT_EQ(result.OutLines(), c.out);
        EXPECT_EQ(result.ErrLines(), c.err);
    }

    // Options come from the player's own --help; values and files by the option before.
    fs::create_directories(scratch.Path() / "pick/sub");
    for (const char* file : {"pick/show.xml", "pick/notes.txt"}) {
        fs::copy(examples / "class-image.xml", scratch.Path() / file);
    }
    const struct
    {
        Lines words;
        Lines offered;
    } completions[] = {
        {{"vexel-player", "--cap"}, {"--capture"}},
        {{"vexel-player", "--qu"}, {"--quiet"}},
        {{"vexel-player", "--window", "19"}, {"1920x1080"}},
        {{"vexel-player", "--fps", "2"}, {"24", "25"}},
        {{"vexel-player", "--start", ""}, {}},
        {{"vexel-player", "--check", ""}, {"show.xml", "sub"}},
    };
    for (const auto& c : completions) {
        EXPECT_EQ(Completions(root, scratch.Path() / "pick", c.words), c.offered) << testing::PrintToString(c.words);
    }
}
