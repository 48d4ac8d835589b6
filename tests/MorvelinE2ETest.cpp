#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::ContainsSequence;
using VexelTest::IndexOf;
using VexelTest::ProgramRun;
using VexelTest::RunMorvelin;
using VexelTest::RunningProgram;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;

namespace {

// Where main reports what escaped, by handler.
const std::string RuntimeErrorAt = " (src/main.cpp:21, int main(int, char**))";
const std::string OtherExceptionAt = " (src/main.cpp:23, int main(int, char**))";
const std::string UnknownExceptionAt = " (src/main.cpp:26, int main(int, char**))";

const std::string Soundtrack = "data/music/morvelin.ogg";

std::string Settings(const std::string& parts, const std::string& soundtrackElement =
                                                   "<soundtrack file=\"" + Soundtrack + "\"/>")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Halvorn-demo-settings>\n"
           "  <name>E2E</name>\n"
           "  <version>1</version>\n"
           "  " + soundtrackElement + "\n"
           "  <demoparts>\n" + parts + "  </demoparts>\n"
           "</Halvorn-demo-settings>\n";
}

// The settings with the bundled soundtrack and shaders beside them.
ProgramRun DemoRun(const std::string& settings)
{
    ProgramRun run;
    run.files["morvelin.xml"] = settings;
    run.copies.push_back({std::string(VEXEL_DEMO_DIR) + "/" + Soundtrack, Soundtrack});
    run.copies.push_back({std::string(VEXEL_DEMO_DIR) + "/data/shaders", "data/shaders"});
    run.timeout = 40s;
    return run;
}

// The lines from the first that equals `from` to the end.
Lines From(const Lines& lines, const std::string& from)
{
    const int index = IndexOf(lines, from);
    return index < 0 ? Lines{} : Lines(lines.begin() + index, lines.end());
}

std::string Dump(const RunResult& result)
{
    return "exit " + std::to_string(result.exitCode) + " signal " + std::to_string(result.signal) +
           (result.timedOut ? " (timed out)" : "") + "\n--- stdout\n" + result.out + "--- stderr\n" + result.err;
}

} // namespace

TEST(MorvelinE2ETest, NormalStartPlaysEveryPartAndShutsDownWithStatusZero)
{
    const RunResult result = RunMorvelin(DemoRun(Settings(
        "    <part start=\"0\" length=\"0.5\" name=\"first\" class=\"lib.ClearScreen\" priority=\"0\">\n"
        "      <param color=\"40 40 40\"/>\n"
        "    </part>\n"
        "    <part start=\"0.3\" end=\"0.8\" name=\"second\" class=\"lib.ClearScreen\" priority=\"1\"/>\n")));
    ASSERT_EQ(result.exitCode, 0) << Dump(result);
    EXPECT_EQ(result.err, "");

    const Lines out = result.OutLines();
    ASSERT_GE(out.size(), 18u) << Dump(result);
    const Lines start(out.begin(), out.begin() + 4);
    EXPECT_EQ(start, (Lines{"VexelApp::VexelApp()",
                            "== MORVELIN v..666 ====================================================",
                            "Sdl2OpenglWindow::Sdl2OpenglWindow()", "SDL init was called! (flag=33)"}));
    const char* infoPrefixes[] = {"OpenGL vendor:   ", "OpenGL renderer: ", "OpenGL version:  ", "GLSL version:    "};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[4 + i].rfind(infoPrefixes[i], 0), 0u) << out[4 + i];
    }
    const Lines loading(out.begin() + 8, out.begin() + 22);
    EXPECT_EQ(loading, (Lines{"Sdl2OpenglWindow::SetWindowTitle()",
                              "KorvaneApp::KorvaneApp()",
                              "Loading demo settings from \"morvelin.xml\"...",
                              "KorvaneApp::GetDemoPart()",
                              "DemoApp::GetDemoPart()",
                              "ClearScreen::ClearScreen()",
                              "DemoPart [0 - 0.5 first, class=ClearScreen, priority=0, music=]",
                              "KorvaneApp::GetDemoPart()",
                              "DemoApp::GetDemoPart()",
                              "ClearScreen::ClearScreen()",
                              "DemoPart [0.3 - 0.8 second, class=ClearScreen, priority=1, music=]",
                              "BassAudio2d::LoadMusic() - loading music from \"data/music/morvelin.ogg\"",
                              "Music length 64s (11289600 bytes)",
                              "Moving futurepart \"first\" to currentparts..."}));

    // The timeline moves each part once each way, in time order.
    Lines moves;
    for (const std::string& line : out) {
        if (line.rfind("Moving ", 0) == 0) {
            moves.push_back(line);
        }
    }
    EXPECT_EQ(moves, (Lines{"Moving futurepart \"first\" to currentparts...",
                            "Moving futurepart \"second\" to currentparts...",
                            "Moving currentpart \"first\" to pastparts...",
                            "Moving currentpart \"second\" to pastparts..."}));

    // Shutdown: the application, the final report with both parts played, the window, SDL.
    const Lines shutdown = From(out, "KorvaneApp::~KorvaneApp()");
    ASSERT_EQ(shutdown.size(), 16u) << Dump(result);
    EXPECT_TRUE(std::regex_match(shutdown[1], std::regex("== Time now 0\\.[89][0-9]* =="))) << shutdown[1];
    EXPECT_EQ(Lines(shutdown.begin() + 2, shutdown.end()),
              (Lines{"== Past parts ==", "  - first (0-0.5) total running time=0.5",
                     "  - second (0.3-0.8) total running time=0.5", "", "", "== Current parts ==", "", "",
                     "== Future parts ==", "", "", "VexelApp::~VexelApp()", "Sdl2OpenglWindow::~Sdl2OpenglWindow()",
                     "SDL quit was called!"}));
}

TEST(MorvelinE2ETest, SettingsDetailsShowInTheLog)
{
    // Other letter cases, length over end, a float start, params in document
    // order (the clear-screen part names every key it does not know) and scenes.
    const RunResult result = RunMorvelin(DemoRun(Settings(
        "    <PART START=\"0.2\" Length=\"0.3\" end=\"9\" NAME=\"cased\" Class=\"lib.ClearScreen\" PRIORITY=\"2\">\n"
        "      <Param first=\"1\" second=\"2\"/>\n"
        "      <SCENE FILE=\"intro.scene\"/>\n"
        "      <param third/>\n"
        "      <scene/>\n"
        "    </PART>\n"
        "    <part start=\"0.1\" end=\"0.4\" name=\"early\" class=\"lib.ClearScreen\" priority=\"1\""
        " musicTrack=\"main\" clearBackground=\"false\" clearZBuffer=\"true\"/>\n")));
    ASSERT_EQ(result.exitCode, 0) << Dump(result);
    EXPECT_EQ(result.err, "Unknown key \"first\"!Unknown key \"second\"!Unknown key \"third\"!");
    EXPECT_TRUE(ContainsSequence(result.OutLines(),
                                 {"DemoPart [0.2 - 0.5 cased, class=ClearScreen, priority=2, music=]",
                                  "  => scene=\"intro.scene\" (not loaded!)",
                                  "  => scene without a file attribute (not loaded!)", "KorvaneApp::GetDemoPart()",
                                  "DemoApp::GetDemoPart()", "ClearScreen::ClearScreen()",
                                  "DemoPart [0.1 - 0.4 early, class=ClearScreen, priority=1, music=]"}))
        << Dump(result);
    EXPECT_TRUE(ContainsSequence(result.OutLines(), {"Moving futurepart \"early\" to currentparts..."}));
    EXPECT_TRUE(ContainsSequence(result.OutLines(), {"Moving currentpart \"cased\" to pastparts..."}));
}

TEST(MorvelinE2ETest, OneEntryOfEachClassMakesOnePartOfEachInFileOrder)
{
    ProgramRun run = DemoRun(Settings(
        "<part start=\"0\" end=\"0.3\" name=\"i\" class=\"lib.Image\" priority=\"2\"><param image=\"star.png\"/></part>"
        "<part start=\"0\" end=\"0.3\" name=\"c\" class=\"lib.ClearScreen\" priority=\"0\"/>"
        "<part start=\"0\" end=\"0.3\" name=\"t\" class=\"lib.TestPartVao\" priority=\"1\"/>"));
    for (const char* picture : {"star.png", "test.png", "bg.jpg"}) {
        run.copies.push_back({std::string(VEXEL_DEMO_DIR) + "/data/textures/" + picture,
                              std::string("data/textures/") + picture});
    }
    const RunResult result = RunMorvelin(run);
    ASSERT_EQ(result.exitCode, 0) << Dump(result);
    EXPECT_EQ(result.err, "");
    Lines descriptions;
    for (const std::string& line : result.OutLines()) {
        if (line.rfind("DemoPart [", 0) == 0) {
            descriptions.push_back(line);
        }
    }
    EXPECT_EQ(descriptions, (Lines{"DemoPart [0 - 0.3 i, class=Image, priority=2, music=]",
                                   "DemoPart [0 - 0.3 c, class=ClearScreen, priority=0, music=]",
                                   "DemoPart [0 - 0.3 t, class=TestPartVao, priority=1, music=]"}));
    // File order is kept among equal starts; the test scene is taken down at the end.
    EXPECT_TRUE(ContainsSequence(result.OutLines(), {"Moving futurepart \"i\" to currentparts...",
                                                     "Moving futurepart \"c\" to currentparts...",
                                                     "Moving futurepart \"t\" to currentparts..."}));
    EXPECT_NE(IndexOf(result.OutLines(), "TestSceneVao::~TestSceneVao()"), -1);
}

TEST(MorvelinE2ETest, WithoutPartsTheDemoEndsAfterItsFirstFrameAndIgnoresTheCommandLine)
{
    ProgramRun run = DemoRun("<Halvorn-demo-settings><soundtrack file=\"" + Soundtrack +
                             "\"/></Halvorn-demo-settings>");
    run.args = {"--settings", "other.xml"};
    run.files["other.xml"] = "not even XML";
    const RunResult result = RunMorvelin(run);
    ASSERT_EQ(result.exitCode, 0) << Dump(result);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(From(result.OutLines(), "KorvaneApp::KorvaneApp()"),
              (Lines{"KorvaneApp::KorvaneApp()", "Loading demo settings from \"morvelin.xml\"...",
                     "BassAudio2d::LoadMusic() - loading music from \"data/music/morvelin.ogg\"",
                     "Music length 64s (11289600 bytes)", "KorvaneApp::~KorvaneApp()", "== Time now 0 ==",
                     "== Past parts ==", "", "", "== Current parts ==", "", "", "== Future parts ==", "", "",
                     "VexelApp::~VexelApp()", "Sdl2OpenglWindow::~Sdl2OpenglWindow()", "SDL quit was called!"}));
}

TEST(MorvelinE2ETest, FailuresEndWithTheirMessageAndStatusOne)
{
    const std::string where = "<Halvorn-demo-settings>::<demoparts>::<part>!";
    const std::string part = "<part start=\"0\" end=\"1\" name=\"p\" class=\"lib.ClearScreen\" priority=\"0\"";
    const struct
    {
        const char* what;
        std::string settings;  // empty: no settings file at all
        std::string expression;  // empty: not an assertion
        Lines err;               // the whole of stderr, for the others
    } cases[] = {
        {"missing settings file", "", "", {"FATAL: File not found! (\"morvelin.xml\")" + OtherExceptionAt}},
        {"unknown class",
         Settings("<part start=\"0\" end=\"1\" name=\"p\" class=\"lib.Nothing\" priority=\"0\"/>"), "demoPart != 0",
         {}},
        {"start missing", Settings("<part end=\"1\" name=\"p\" class=\"c\" priority=\"0\"/>"),
         "temp != 0 && \"=> start-attribute missing from " + where + "\"", {}},
        {"end missing", Settings("<part start=\"1\" name=\"p\" class=\"c\" priority=\"0\"/>"),
         "temp != 0 && \"=> end-attribute missing from " + where + "\"", {}},
        {"name missing", Settings("<part start=\"1\" end=\"2\" class=\"c\" priority=\"0\"/>"),
         "temp != 0 && \"=> name-attribute missing from " + where + "\"", {}},
        {"class missing", Settings("<part start=\"1\" end=\"2\" name=\"p\" priority=\"0\"/>"),
         "temp != 0 && \"=> class-attribute missing from " + where + "\"", {}},
        {"priority missing", Settings("<part start=\"1\" end=\"2\" name=\"p\" class=\"c\"/>"),
         "temp != 0 && \"=> priority-attribute missing from " + where + "\"", {}},
        {"clearBackground True", Settings(part + " clearBackground=\"True\"/>"),
         "0 != 0 && \"=> clearBackground-attribute has unknown value n " + where +
             " Valid values are either 'true' or 'false'.\"",
         {}},
        {"soundtrack without file", Settings("", "<soundtrack name=\"main\"/>"), "false && \"Not implemented yet\"",
         {}},
        {"soundtrack that cannot be loaded", Settings("", "<soundtrack file=\"data/music/absent.ogg\"/>"), "",
         {"FATAL: BassAudio2d::LoadMusic(): Music \"data/music/absent.ogg\" could not be loaded." + RuntimeErrorAt}},
        {"picture that cannot be loaded",
         Settings("<part start=\"0\" end=\"1\" name=\"p\" class=\"lib.Image\" priority=\"0\">"
                  "<param image=\"absent.png\"/></part>"),
         "",
         {"SDL could not load data/textures/absent.png: Couldn't open data/textures/absent.png",
          "FATAL: Cannot load image!" + RuntimeErrorAt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramRun run = DemoRun(c.settings);
        if (c.settings.empty()) {
            run.files.clear();
        }
        const RunResult result = RunMorvelin(run);
        EXPECT_EQ(result.exitCode, 1) << Dump(result);
        EXPECT_FALSE(result.coreDumped);
        const Lines err = result.ErrLines();
        ASSERT_FALSE(err.empty()) << Dump(result);
        if (c.expression.empty()) {
            EXPECT_EQ(err, c.err);
        } else {
            ASSERT_EQ(err.size(), 5u) << Dump(result);
            EXPECT_EQ(err[0], "FATAL ERROR: Assertion (" + c.expression + ") failed!");
            EXPECT_EQ(err[1], "  at \"virtual void DemoSettingsLoaderXml::Load(const QString&, DemoModel*, DemoApp*) const\"");
            EXPECT_EQ(err[2], "  in \"lib/Vexel/src/Halvorn/DemoSettingsLoaderXml.cpp\"");
            EXPECT_TRUE(std::regex_match(err[3], std::regex("  at line [0-9]+"))) << err[3];
            EXPECT_EQ(err[4], "FATAL: Aborting! Unknown exception!" + UnknownExceptionAt);
        }
        // Whatever was built is taken down again on the way out.
        const Lines out = result.OutLines();
        EXPECT_NE(IndexOf(out, "Loading demo settings from \"morvelin.xml\"..."), -1);
        EXPECT_TRUE(ContainsSequence(out, {"VexelApp::~VexelApp()", "Sdl2OpenglWindow::~Sdl2OpenglWindow()",
                                           "SDL quit was called!"}));
        EXPECT_EQ(IndexOf(out, "KorvaneApp::~KorvaneApp()"), -1);
        if (c.expression == "demoPart != 0") {
            EXPECT_NE(IndexOf(out, "!! DemoPart class=\"lib.Nothing\" was not added to DemoApp!"), -1);
        }
    }
}

TEST(MorvelinE2ETest, RejectedXmlShowsAMessageBoxAndExitsWith255)
{
    const struct
    {
        const char* what;
        std::string settings;
        Lines err;
    } cases[] = {
        {"element left open", "<Halvorn-demo-settings><soundtrack file=\"a.ogg\"/>",
         {"XML Parsing error inside file 'morvelin.xml'.", "Warning: Unmatched end tag", "At line 1, column 50."}},
        {"other document element", "<Settings><soundtrack file=\"a.ogg\"/></Settings>",
         {"XML Parsing error inside file 'morvelin.xml'.", "Error: First Tag not found", "At line 0, column 0.",
          "First Tag should be 'Halvorn-demo-settings'."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramRun run = DemoRun(c.settings);
        bool closed = false;
        run.whileRunning = [&](RunningProgram& program) { closed = program.CloseMessageBox("XML Parsing error", 20s); };
        const RunResult result = RunMorvelin(run);
        EXPECT_TRUE(closed);
        EXPECT_EQ(result.exitCode, 255) << Dump(result);
        EXPECT_EQ(result.ErrLines(), c.err);
        // The reader ends the process from inside the loader: nothing is unwound.
        EXPECT_EQ(From(result.OutLines(), "Loading demo settings from \"morvelin.xml\"..."),
                  (Lines{"Loading demo settings from \"morvelin.xml\"...", "SDL quit was called!"}));
    }
}

TEST(MorvelinE2ETest, EscapeOrATerminationSignalEndsTheDemoWithStatusZero)
{
    const std::string settings =
        Settings("<part start=\"0\" end=\"30\" name=\"long\" class=\"lib.ClearScreen\" priority=\"0\"/>");
    const struct
    {
        const char* what;
        std::function<void(RunningProgram&)> stop;
        std::string logged;
    } cases[] = {
        {"Escape", [](RunningProgram& program) { program.Key("Escape"); },
         "VexelApp::KeyDown(): Key code 27 pressed down."},
        {"SIGTERM", [](RunningProgram& program) { program.Signal(SIGTERM); }, "VexelApp::OperatingSystemQuitEvent()"},
        {"SIGINT", [](RunningProgram& program) { program.Signal(SIGINT); }, "VexelApp::OperatingSystemQuitEvent()"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramRun run = DemoRun(settings);
        run.whileRunning = [&](RunningProgram& program) {
            if (program.WaitForOutput("Moving futurepart \"long\" to currentparts...", 30s)) {
                c.stop(program);
            }
        };
        const auto began = std::chrono::steady_clock::now();
        const RunResult result = RunMorvelin(run);
        EXPECT_LT(std::chrono::steady_clock::now() - began, 25s);
        EXPECT_EQ(result.exitCode, 0) << Dump(result);
        EXPECT_EQ(result.err, "");
        // The part was cut short: it is still running in the final report.
        EXPECT_TRUE(ContainsSequence(From(result.OutLines(), c.logged),
                                     {"KorvaneApp::~KorvaneApp()"}))
            << Dump(result);
        EXPECT_TRUE(ContainsSequence(From(result.OutLines(), "KorvaneApp::~KorvaneApp()"),
                                     {"== Current parts ==", "  - long (0-30)"}))
            << Dump(result);
    }
}

TEST(MorvelinE2ETest, ScreenShowsTheColourOfTheTopPart)
{
    // Listed top first: drawing order comes from the priority, not the file.
    ProgramRun run = DemoRun(Settings(
        "<part start=\"0\" end=\"30\" name=\"top\" class=\"lib.ClearScreen\" priority=\"2\">"
        "<param color=\"10 200 30\"/></part>"
        "<part start=\"0\" end=\"30\" name=\"bottom\" class=\"lib.ClearScreen\" priority=\"1\">"
        "<param color=\"200 0 0\"/></part>"));
    std::vector<unsigned char> shot;
    run.whileRunning = [&](RunningProgram& program) {
        if (!program.WaitForOutput("Moving futurepart \"bottom\" to currentparts...", 30s)) {
            return;
        }
        // A few frames may pass before the first swap reaches the screen.
        for (int attempt = 0; attempt < 50; ++attempt) {
            shot = program.Screenshot();
            if (shot.size() == 1280u * 720u * 3u && shot[1] > 100) {
                break;
            }
            std::this_thread::sleep_for(100ms);
        }
        program.Key("Escape");
    };
    const RunResult result = RunMorvelin(run);
    EXPECT_EQ(result.exitCode, 0) << Dump(result);
    ASSERT_EQ(shot.size(), 1280u * 720u * 3u);
    const struct
    {
        int x;
        int y;
    } points[] = {{0, 0}, {640, 360}, {1279, 719}, {100, 650}};
    for (const auto& p : points) {
        const unsigned char* pixel = &shot[(static_cast<size_t>(p.y) * 1280 + p.x) * 3];
        EXPECT_NEAR(pixel[0], 10, 2) << p.x << "," << p.y;
        EXPECT_NEAR(pixel[1], 200, 2) << p.x << "," << p.y;
        EXPECT_NEAR(pixel[2], 30, 2) << p.x << "," << p.y;
    }
}
