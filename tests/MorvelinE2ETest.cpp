#include "ProgramRunner.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <map>
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
// 90 s of 16-bit stereo at 44.1 kHz.
const std::string SoundtrackLength = "Music length 90s (15876000 bytes)";

std::string Settings(const std::string& parts,
                     const std::string& soundtrack = "<soundtrack file=\"" + Soundtrack + "\"/>")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Halvorn-demo-settings>\n  <name>E2E</name>\n"
           "  <version>1</version>\n  " + soundtrack + "\n  <demoparts>\n" + parts +
           "  </demoparts>\n</Halvorn-demo-settings>\n";
}

// The settings with the bundled soundtrack and shaders (and pictures) beside them.
ProgramRun DemoRun(const std::string& settings, const std::vector<std::string>& pictures = {})
{
    ProgramRun run;
    run.files["morvelin.xml"] = settings;
    run.copies.push_back({VEXEL_DEMO_DIR "/" + Soundtrack, Soundtrack});
    run.copies.push_back({VEXEL_DEMO_DIR "/data/shaders", "data/shaders"});
    for (const std::string& picture : pictures) {
        run.copies.push_back({VEXEL_DEMO_DIR "/data/textures/" + picture, "data/textures/" + picture});
    }
    run.timeout = 40s;
    return run;
}

// The lines from the first that equals `from` to the end.
Lines From(const Lines& lines, const std::string& from)
{
    const int index = IndexOf(lines, from);
    return index < 0 ? Lines{} : Lines(lines.begin() + index, lines.end());
}

// The lines that start with prefix, in order.
Lines Starting(const Lines& lines, const std::string& prefix)
{
    Lines found;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

// A w x h picture as PNG file content.
std::string Png(int w, int h)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
    const std::string path = testing::TempDir() + "picture.png";
    const bool saved = surface != nullptr && IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return saved ? VexelTest::ReadFile(path) : std::string();
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
        "<part start=\"0\" length=\"0.5\" name=\"first\" class=\"lib.ClearScreen\" priority=\"0\">"
        "<param color=\"40 40 40\"/></part>\n"
        "<part start=\"0.3\" end=\"0.8\" name=\"second\" class=\"lib.ClearScreen\" priority=\"1\"/>\n")));
    ASSERT_EQ(result.exitCode, 0) << Dump(result);
    EXPECT_EQ(result.err, "");

    const Lines out = result.OutLines();
    ASSERT_GE(out.size(), 22u) << Dump(result);
    Lines start(out.begin(), out.begin() + 22);
    for (int i = 4; i < 8; ++i) {
        start[i].resize(17);  // the driver's own texts follow
    }
    EXPECT_EQ(start,
              (Lines{"VexelApp::VexelApp()", "== MORVELIN v..666 ====================================================",
                     "Sdl2OpenglWindow::Sdl2OpenglWindow()", "SDL init was called! (flag=33)",
                     "OpenGL vendor:   ", "OpenGL renderer: ", "OpenGL version:  ", "GLSL version:    ",
                     "Sdl2OpenglWindow::SetWindowTitle()",
                     "KorvaneApp::KorvaneApp()", "Loading demo settings from \"morvelin.xml\"...",
                     "KorvaneApp::GetDemoPart()", "DemoApp::GetDemoPart()", "ClearScreen::ClearScreen()",
                     "DemoPart [0 - 0.5 first, class=ClearScreen, priority=0, music=]", "KorvaneApp::GetDemoPart()",
                     "DemoApp::GetDemoPart()", "ClearScreen::ClearScreen()",
                     "DemoPart [0.3 - 0.8 second, class=ClearScreen, priority=1, music=]",
                     "BassAudio2d::LoadMusic() - loading music from \"data/music/morvelin.ogg\"",
                     SoundtrackLength, "Moving futurepart \"first\" to currentparts..."}));

    // The timeline moves each part once each way, in time order.
    EXPECT_EQ(
        Starting(out, "Moving "),
        (Lines{"Moving futurepart \"first\" to currentparts...", "Moving futurepart \"second\" to currentparts...",
               "Moving currentpart \"first\" to pastparts...", "Moving currentpart \"second\" to pastparts..."}));

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

TEST(MorvelinE2ETest, SettingsDetailsAndEachPartClassShowInTheLog)
{
    // Other letter cases, length over end, a float start, params in document
    // order (the clear-screen part names every key it does not know), scenes,
    // and one part of each class, kept in file order among equal starts.
    const RunResult result = RunMorvelin(DemoRun(
        Settings(
            "<PART START=\"0.2\" Length=\"0.3\" end=\"9\" NAME=\"cased\" Class=\"lib.ClearScreen\" PRIORITY=\"2\">"
            "<Param first=\"1\" second=\"2\"/><SCENE FILE=\"intro.scene\"/><param third/><scene/></PART>\n"
            "<part start=\"0.1\" end=\"0.4\" name=\"early\" class=\"lib.ClearScreen\" priority=\"1\""
            " musicTrack=\"main\" clearBackground=\"false\" clearZBuffer=\"true\"/>\n"
            "<part start=\"0\" end=\"0.3\" name=\"i\" class=\"lib.Image\" priority=\"2\"><param image=\"star.png\"/>"
            "</part>\n<part start=\"0\" end=\"0.3\" name=\"t\" class=\"lib.TestPartVao\" priority=\"1\"/>\n"),
        {"star.png", "test.png", "bg.jpg"}));
    ASSERT_EQ(result.exitCode, 0) << Dump(result);
    EXPECT_EQ(result.err, "Unknown key \"first\"!Unknown key \"second\"!Unknown key \"third\"!");
    const Lines out = result.OutLines();
    EXPECT_TRUE(ContainsSequence(out, {"DemoPart [0.2 - 0.5 cased, class=ClearScreen, priority=2, music=]",
                                       "  => scene=\"intro.scene\" (not loaded!)",
                                       "  => scene without a file attribute (not loaded!)"}))
        << Dump(result);
    EXPECT_EQ(Starting(out, "DemoPart ["), (Lines{"DemoPart [0.2 - 0.5 cased, class=ClearScreen, priority=2, music=]",
                                                  "DemoPart [0.1 - 0.4 early, class=ClearScreen, priority=1, music=]",
                                                  "DemoPart [0 - 0.3 i, class=Image, priority=2, music=]",
                                                  "DemoPart [0 - 0.3 t, class=TestPartVao, priority=1, music=]"}));
    EXPECT_EQ(
        Starting(out, "Moving futurepart"),
        (Lines{"Moving futurepart \"i\" to currentparts...", "Moving futurepart \"t\" to currentparts...",
               "Moving futurepart \"early\" to currentparts...", "Moving futurepart \"cased\" to currentparts..."}));
    EXPECT_NE(IndexOf(out, "TestSceneVao::~TestSceneVao()"), -1);
}

TEST(MorvelinE2ETest, WithoutPartsTheDemoEndsAfterItsFirstFrameAndIgnoresTheCommandLine)
{
    ProgramRun run =
        DemoRun("<Halvorn-demo-settings><soundtrack file=\"" + Soundtrack + "\"/></Halvorn-demo-settings>");
    run.args = {"--settings", "other.xml"};
    run.files["other.xml"] = "not even XML";
    const RunResult result = RunMorvelin(run);
    ASSERT_EQ(result.exitCode, 0) << Dump(result);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(From(result.OutLines(), "KorvaneApp::KorvaneApp()"),
              (Lines{"KorvaneApp::KorvaneApp()", "Loading demo settings from \"morvelin.xml\"...",
                     "BassAudio2d::LoadMusic() - loading music from \"data/music/morvelin.ogg\"",
                     SoundtrackLength, "KorvaneApp::~KorvaneApp()", "== Time now 0 ==",
                     "== Past parts ==", "", "", "== Current parts ==", "", "", "== Future parts ==", "", "",
                     "VexelApp::~VexelApp()", "Sdl2OpenglWindow::~Sdl2OpenglWindow()", "SDL quit was called!"}));
}

TEST(MorvelinE2ETest, FailuresEndWithTheirMessageAndStatusOne)
{
    const std::string where = "<Halvorn-demo-settings>::<demoparts>::<part>!";
    struct Case
    {
        std::string settings;    // empty: no settings file at all
        std::string expression;  // empty: not an assertion
        Lines err;               // the whole of stderr, for the others
        std::map<std::string, std::string> files = {};  // more files in the working folder
    };
    const auto imagePart = [](const std::string& times, const std::string& inside = "") {
        return Settings("<part " + times + " name=\"p\" class=\"lib.Image\" priority=\"0\">" + inside + "</part>");
    };
    const auto notFinite = [](const std::string& attribute, const std::string& text) {
        return Lines{"FATAL: Part \"p\": " + attribute + " \"" + text + "\" is not a finite time in seconds!" +
                     RuntimeErrorAt};
    };
    const auto noMusic = [](const std::string& file, const std::string& reason) {
        return Lines{"FATAL: BassAudio2d::LoadMusic(): Music \"" + file + "\" could not be loaded." + RuntimeErrorAt,
                     "  SDL_mixer: " + reason};
    };
    std::vector<Case> cases = {
        {"", "", {"FATAL: File not found! (\"morvelin.xml\")" + OtherExceptionAt}},
        {"", "", {"FATAL: Not a file but a folder! (\"morvelin.xml\")" + OtherExceptionAt}, {{"morvelin.xml/a", ""}}},
        {imagePart("start=\"nan\" end=\"1\""), "", notFinite("start", "nan")},
        {imagePart("start=\"0\" end=\"1e309\""), "", notFinite("end", "1e309")},
        {imagePart("start=\"0\" length=\"-inf\" end=\"1\""), "", notFinite("length", "-inf")},
        {imagePart("start=\"0\" end=\"1e39\""), "", notFinite("end", "1e39")},
        // Checked before the part is made (it has no picture), with its class and the file's tempo.
        {imagePart("start=\"0\" end=\"1\"", "<animate key=\"blending\" times=\"0 1\" values=\"0 1\"/>"), "",
         {"FATAL: part \"p\": lib.Image cannot animate \"blending\" (it animates alpha, rotate, relativeWidth, "
          "relativeHeight, relativeX, relativeY)" + RuntimeErrorAt}},
        {imagePart("start=\"0\" end=\"1\"", "<animate key=\"alpha\" beats=\"0 4\" values=\"0 1\"/>"), "",
         {"FATAL: part \"p\": animate \"alpha\" gives beats but the file has no tempo" + RuntimeErrorAt}},
        {imagePart("start=\"0\" end=\"1\"", "<param image=\"wide.png\"/>"), "",
         {"Texture::Load(): data/textures/wide.png is 20000x10 pixels, more than the largest texture this GL takes "
          "(LIMIT)",
          "FATAL: Cannot load image!" + RuntimeErrorAt},
         {{"data/textures/wide.png", Png(20000, 10)}}},
        {Settings("<part start=\"0\" end=\"1\" name=\"p\" class=\"lib.Nothing\" priority=\"0\"/>"), "demoPart != 0",
         {}},
        {Settings("<part start=\"0\" end=\"1\" name=\"p\" class=\"c\" priority=\"0\" clearBackground=\"True\"/>"),
         "0 != 0 && \"=> clearBackground-attribute has unknown value n " + where +
             " Valid values are either 'true' or 'false'.\"",
         {}},
        {Settings("", "<soundtrack name=\"main\"/>"), "false && \"Not implemented yet\"", {}},
        {Settings("", "<soundtrack file=\"data/music/absent.ogg\"/>"), "",
         noMusic("data/music/absent.ogg", "Couldn't open 'data/music/absent.ogg'")},
        {Settings("<part start=\"0\" end=\"1\" name=\"p\" class=\"lib.Image\" priority=\"0\">"
                  "<param image=\"absent.png\"/></part>"),
         "",
         {"SDL could not load data/textures/absent.png: Couldn't open data/textures/absent.png",
          "FATAL: Cannot load image!" + RuntimeErrorAt}},
    };
    // Each required attribute left out in turn.
    for (const std::string attribute : {"start", "end", "name", "class", "priority"}) {
        const std::string part = "<part start=\"0\" end=\"1\" name=\"p\" class=\"c\" priority=\"0\"/>";
        cases.push_back({Settings(std::regex_replace(part, std::regex(" " + attribute + "=\"[^\"]*\""), "")),
                         "temp != 0 && \"=> " + attribute + "-attribute missing from " + where + "\"", {}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        ProgramRun run = DemoRun(c.settings);
        if (c.settings.empty()) {
            run.files.clear();
        }
        run.files.insert(c.files.begin(), c.files.end());
        const RunResult result = RunMorvelin(run);
        EXPECT_EQ(result.exitCode, 1) << Dump(result);
        EXPECT_FALSE(result.coreDumped);
        Lines err = result.ErrLines();
        // The driver sets the largest texture size.
        for (std::string& line : err) {
            line = std::regex_replace(line, std::regex("takes \\([0-9]+x[0-9]+\\)$"), "takes (LIMIT)");
        }
        if (c.expression.empty()) {
            EXPECT_EQ(err, c.err);
        } else {
            ASSERT_EQ(err.size(), 5u) << Dump(result);
            EXPECT_EQ(err[0], "FATAL ERROR: Assertion (" + c.expression + ") failed!");
            EXPECT_EQ(err[1],
                      "  at \"virtual void DemoSettingsLoaderXml::Load(const QString&, DemoModel*, DemoApp*) const\"");
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

TEST(MorvelinE2ETest, DoubtfulValuesAreReportedAndTheDemoPlaysOn)
{
    const std::string clear = "class=\"lib.ClearScreen\" priority=\"0\"/>";
    const std::string image = "<part start=\"0\" end=\"0.2\" name=\"i\" class=\"lib.Image\" priority=\"1\">"
                              "<param image=\"star.png\"";
    const auto notFinite = [](const std::string& key, const std::string& value) {
        return "Warning: Value (\"" + value + "\") for key \"" + key + "\" is not a finite number; 0 is used.";
    };
    const std::string program = "Shader program (data/shaders/standard.330.vert, data/shaders/standard.330.frag, ) ";
    const struct
    {
        std::string parts;
        Lines err;  // the whole of standard error
        std::string vertexShader = {};  // empty: the standard one
    } cases[] = {
        // Zero length is fine; ending first is not, also through a negative length.
        {"<part start=\"0.1\" end=\"0.1\" name=\"zero\" " + clear + "<part start=\"0.3\" end=\"0.1\" name=\"back\" " +
             clear + "<part start=\"0.2\" length=\"-0.2\" name=\"negative\" " + clear,
         {"Warning: part \"back\" ends (0.1) before it starts (0.3) and will not be shown.",
          "Warning: part \"negative\" ends (0) before it starts (0.2) and will not be shown."}},
        {image + " relativeWidth=\"nan\" relativeHeight=\"inf\" relativeX=\"-inf\" relativeY=\"1e39\" "
                 "rotate=\"NaN\" alpha=\"0.5\"/><param alpha=\"nan\"/></part>",
         {notFinite("relativeWidth", "nan"), notFinite("relativeHeight", "inf"), notFinite("relativeX", "-inf"),
          notFinite("relativeY", "1e39"), notFinite("rotate", "NaN"), notFinite("alpha", "nan")}},
        // Without the standard inputs: each reported once for the program, however often it draws.
        {image + "/></part>",
         {program + "has no vertex input at location 0 (position)!",
          program + "has no vertex input at location 1 (texture coordinate)!", program + "has no uniform \"MVP\"!"},
         "#version 330 core\nout vec2 texCoord;\nvoid main() { texCoord = vec2(0.0); gl_Position = vec4(0.0); }\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parts);
        ProgramRun run = DemoRun(Settings(c.parts), {"star.png"});
        if (!c.vertexShader.empty()) {
            run.files["data/shaders/standard.330.vert"] = c.vertexShader;
        }
        const RunResult result = RunMorvelin(run);
        EXPECT_EQ(result.exitCode, 0) << Dump(result);
        EXPECT_EQ(result.ErrLines(), c.err);
        EXPECT_NE(IndexOf(result.OutLines(), "KorvaneApp::~KorvaneApp()"), -1) << Dump(result);
    }
}

TEST(MorvelinE2ETest, RejectedXmlShowsAMessageBoxAndExitsWith255)
{
    const struct
    {
        std::string settings;
        Lines err;
    } cases[] = {
        {"<Halvorn-demo-settings><soundtrack file=\"a.ogg\"/>",
         {"XML Parsing error inside file 'morvelin.xml'.", "Warning: Unmatched end tag", "At line 1, column 50."}},
        {"<Settings><soundtrack file=\"a.ogg\"/></Settings>",
         {"XML Parsing error inside file 'morvelin.xml'.", "Error: First Tag not found", "At line 0, column 0.",
          "First Tag should be 'Halvorn-demo-settings'."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
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
    // 0: Escape; a closed terminal (SIGHUP) ends it like SIGTERM.
    for (const int signal : {0, SIGTERM, SIGHUP}) {
        const bool escape = signal == 0;
        const std::string logged =
            escape ? "VexelApp::KeyDown(): Key code 27 pressed down." : "VexelApp::OperatingSystemQuitEvent()";
        SCOPED_TRACE(signal);
        ProgramRun run =
            DemoRun(Settings("<part start=\"0\" end=\"30\" name=\"long\" class=\"lib.ClearScreen\" priority=\"0\"/>"));
        run.whileRunning = [&](RunningProgram& program) {
            if (program.WaitForOutput("Moving futurepart \"long\" to currentparts...", 30s)) {
                escape ? program.Key("Escape") : program.Signal(signal);
            }
        };
        const RunResult result = RunMorvelin(run);
        EXPECT_EQ(result.exitCode, 0) << Dump(result);
        EXPECT_EQ(result.err, "");
        // Logged before the shutdown; the part was cut short, so it is still current.
        EXPECT_TRUE(ContainsSequence(From(result.OutLines(), logged), {"KorvaneApp::~KorvaneApp()"})) << Dump(result);
        EXPECT_TRUE(ContainsSequence(From(result.OutLines(), "KorvaneApp::~KorvaneApp()"),
                                     {"== Current parts ==", "  - long (0-30)"}));
    }
}

TEST(MorvelinE2ETest, ScreenShowsTheColourOfTheTopPart)
{
    // Listed top first: drawing order comes from the priority, not the file.
    ProgramRun run = DemoRun(Settings("<part start=\"0\" end=\"30\" name=\"top\" class=\"lib.ClearScreen\" "
                                      "priority=\"2\"><param color=\"10 200 30\"/></part>"
                                      "<part start=\"0\" end=\"30\" name=\"bottom\" class=\"lib.ClearScreen\" "
                                      "priority=\"1\"><param color=\"200 0 0\"/></part>"));
    std::vector<unsigned char> shot;
    run.whileRunning = [&](RunningProgram& program) {
        // A few frames may pass before the first swap reaches the screen.
        for (int attempt = 0; attempt < 50 && program.WaitForOutput("\"bottom\" to currentparts...", 30s); ++attempt) {
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
    for (const size_t pixel : {0, 640 + 360 * 1280, 1280 * 720 - 1, 100 + 650 * 1280}) {
        EXPECT_NEAR(shot[pixel * 3], 10, 2) << pixel;
        EXPECT_NEAR(shot[pixel * 3 + 1], 200, 2) << pixel;
        EXPECT_NEAR(shot[pixel * 3 + 2], 30, 2) << pixel;
    }
}
