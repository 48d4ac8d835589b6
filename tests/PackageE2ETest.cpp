#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

// Paths here hold no spaces: mkdtemp's names below /tmp.
RunResult Shell(const std::string& command, bool ownDisplay = false)
{
    VexelTest::ProgramRun run;
    run.args = {"-c", command};
    run.ownDisplay = ownDisplay;
    run.timeout = 60s;
    return VexelTest::RunProgram("/bin/bash", run);
}

// A bash script printing, as "[A B]", what the installed completion offers for
// a command line typed in folder.
std::string Completion(const std::string& root, const std::string& folder, const std::string& line)
{
    return "cd " + folder + " && PATH=" + root +
           "/usr/bin:$PATH && . /usr/share/bash-completion/bash_completion && . " + root +
           "/usr/share/bash-completion/completions/vexel-player && COMP_LINE='" + line +
           "' && COMP_POINT=${#COMP_LINE} && read -ra COMP_WORDS <<< \"$COMP_LINE \" && "
           "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=(''); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && "
           "_vexel_player vexel-player \"${COMP_WORDS[COMP_CWORD]}\"; "
           "echo \"[$(printf '%s\\n' \"${COMPREPLY[@]}\" | sort | paste -sd ' ')]\"";
}

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

// The Debian package made from this build tree, unpacked into a scratch root
// and used from there as an installed program.
TEST(PackageE2ETest, TheUnpackedPackageWorksFromItsOwnPrefix)
{
    for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "man", "/usr/share/bash-completion/bash_completion"}) {
        if (Shell(std::string("command -v ") + tool + " || test -e " + tool).exitCode != 0) {
            GTEST_SKIP() << tool << " is missing: scripts/install-deps.sh --test installs it";
        }
    }
    const VexelTest::TempFolder scratch;
    const std::string root = scratch / "root";
    const std::string deb = scratch / "package/vexel_" VEXEL_VERSION "_$(dpkg --print-architecture).deb";
    const RunResult packed = Shell("'" VEXEL_CPACK "' -G DEB -B " + scratch / "package" + " --config '" +
                                   VEXEL_BINARY_DIR "/CPackConfig.cmake' && dpkg -x " + deb + " " + root);
    ASSERT_EQ(packed.exitCode, 0) << packed.out << packed.err;

    // An installed example as a demo folder, with and without the shader pair:
    // the installed pair stands in for the missing one and draws the same.
    const std::string player = root + "/usr/bin/vexel-player";
    const std::string installed = root + "/usr/share/vexel/shaders/";
    const std::string bare = scratch / "bare";
    std::vector<std::string> frames;
    for (const std::string& demo : {bare, scratch / "own"}) {
        fs::create_directories(demo);
        fs::copy(root + "/usr/share/vexel/examples/data", demo + "/data", fs::copy_options::recursive);
        fs::copy(root + "/usr/share/vexel/examples/class-image.xml", demo + "/morvelin.xml");
        if (demo == bare) {
            fs::remove_all(demo + "/data/shaders");
        }
        const RunResult captured =
            Shell(player + " --capture " + demo + "/%03d.png --fps 5 --to 2 --size 320x180 " + demo);
        EXPECT_EQ(captured.exitCode, 0) << captured.err;
        EXPECT_EQ(CountOf(captured.out, "no standard shader pair in " + demo +
                                            "/data/shaders/: using the installed one in " + installed + "\n"),
                  demo == bare ? 1 : 0)
            << captured.out;
        frames.push_back(VexelTest::ReadFile(demo + "/009.png"));
    }
    EXPECT_EQ(frames[0], frames[1]) << "the installed pair draws otherwise than the example's own";

    // A new demo from the installed player, and the commands it prints: the
    // check, with the shaders compiled on a display, finds nothing, and two
    // seconds of it capture.
    const std::string inScratch = "cd " + scratch.Path().string() + " && ";
    const RunResult created = Shell(inScratch + player + " --new fresh");
    ASSERT_EQ(created.exitCode, 0) << created.err;
    const Lines printed = created.OutLines();
    ASSERT_EQ(printed.size(), 4u) << created.out;
    EXPECT_EQ(printed[2], "  check it:    " + player + " --check fresh");
    const RunResult checked = Shell(inScratch + printed[2].substr(printed[2].find('/')), true);
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_EQ(checked.out, "0 errors, 0 warnings\n") << checked.err;
    const RunResult captured =
        Shell(inScratch + printed[3].substr(printed[3].find('/')) + " --to 2 --size 320x180 --fps 15");
    EXPECT_EQ(captured.exitCode, 0) << captured.err;
    EXPECT_NE(captured.err.find("captured 30 frames to fresh.mp4 in "), std::string::npos) << captured.err;

    // Dependencies come from the binaries, so a fresh machine gets the
    // libraries; a folder without morvelin.xml is named so however it is given.
    const std::string man = "MANWIDTH=100 man -l " + root + "/usr/share/man/man1/";
    const std::string empty = scratch / "empty";
    const std::string folder = ": error: a folder, not a settings file, and it has no morvelin.xml\n";
    fs::create_directories(empty);
    fs::create_directories(scratch / "pick/sub");
    fs::copy(root + "/usr/share/vexel/examples/class-image.xml", scratch / "pick/show.xml");
    const struct
    {
        std::string command;
        int status;
        Lines parts;
    } cases[] = {
        {"dpkg-deb -f " + deb + " Depends", 0, {"libsdl2-2.0-0 (>=", "libqt5core5a (>="}},
        {player + " --version", 0, {"vexel-player " VEXEL_VERSION "\n"}},
        {man + "vexel-player.1.gz",
         0,
         {"--capture OUT", "--new DIR", "KEYS", "Shift+Left", "EXIT STATUS", "130", "FILES", "starter.wav"}},
        {man + "morvelin.1.gz", 0, {"ignored", "Escape", "EXIT STATUS", "255", "FILES", "morvelin " VEXEL_VERSION}},
        {player + " --check " + bare,
         0,
         {bare + "/morvelin.xml:",
          ": note: no standard shader pair in data/shaders/: using the installed one in " + installed + "\n"}},
        {player + " --check " + empty, 1, {empty + ":1:1" + folder + "1 error, 0 warnings\n"}},
        {player + " " + empty, 1, {empty + folder}},
        {player + " --capture " + empty + ".mp4 " + empty, 1, {empty + folder}},
        {Completion(root, scratch / "pick", "vexel-player --cap"), 0, {"[--capture]"}},
        {Completion(root, scratch / "pick", "vexel-player --window 19"), 0, {"[1920x1080]"}},
        {Completion(root, scratch / "pick", "vexel-player --quality d"), 0, {"[draft]"}},
        {Completion(root, scratch / "pick", "vexel-player --check "), 0, {"[show.xml sub]"}},
        {Completion(root, scratch / "pick", "vexel-player --new "), 0, {"[sub]"}},
    };
    for (const auto& c : cases) {
        const RunResult result = Shell(c.command);
        EXPECT_EQ(result.exitCode, c.status) << c.command;
        for (const std::string& part : c.parts) {
            EXPECT_GT(CountOf(result.out + result.err, part), 0) << c.command << " lacks " << part << ":\n"
                                                                 << result.out << result.err;
        }
    }
}
