#include "ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using VexelTest::IndexOf;
using VexelTest::ProgramRun;
using VexelTest::RunningProgram;
using VexelTest::RunResult;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string Soundtrack = "data/music/morvelin.ogg";
const std::string FatalAt = " (src/main.cpp:21, int main(int, char**))";

// A showdown shader of one colour.
std::string Solid(const std::string& rgb)
{
    return "#version 410 core\nlayout(location = 0) out vec4 out_color;\nvoid main()\n{\n    out_color = vec4(" + rgb +
           ", 1.0);\n}\n";
}

const std::string BrokenToy = "void mainImage(out vec4 fragColor, in vec2 fragCoord)\n"
                              "{\n"
                              "    vec2 uv = fragCoord / iResolution.xy;\n"
                              "    fragColor = vec4(colr, 1.0);\n"
                              "}\n";

std::string Settings(const std::string& parts)
{
    return "<Halvorn-demo-settings>\n  <soundtrack file=\"" + Soundtrack + "\"/>\n  <demoparts>\n" + parts +
           "  </demoparts>\n</Halvorn-demo-settings>\n";
}

// A lib.Shader part from 0 to end with the parameters and children given.
std::string ShaderPart(const std::string& params, const std::string& children = "", double end = 60.0)
{
    return "    <part start=\"0\" end=\"" + std::to_string(end) +
           "\" name=\"fx\" class=\"lib.Shader\" priority=\"1\">\n      <param " + params + "/>\n" + children +
           "    </part>\n";
}

ProgramRun DemoRun(const std::string& settings, const std::map<std::string, std::string>& shaders)
{
    ProgramRun run;
    run.files["morvelin.xml"] = settings;
    for (const auto& [name, text] : shaders) {
        run.files["data/shaders/" + name] = text;
    }
    run.copies.push_back({VEXEL_DEMO_DIR "/" + Soundtrack, Soundtrack});
    run.timeout = 60s;
    return run;
}

} // namespace

TEST(ShaderPartE2ETest, MorvelinPlaysAShaderAndStopsAtOneThatCannotRunNamingIt)
{
    const std::string toyError = "data/shaders/toy.glsl:4:19: error: `colr' undeclared";
    const std::string computeShader =
        "#version 430 core\nlayout(r32ui) uniform coherent uimage2D[3] computeTex;\n"
        "layout(location = 0) out vec4 out_color;\n"
        "void main() { imageAtomicAdd(computeTex[0], ivec2(0), 1u); out_color = vec4(1.0); }\n";
    // A driver of exactly OpenGL 3.3, without image load/store.
    const std::map<std::string, std::string> driver33 = {
        {"MESA_GL_VERSION_OVERRIDE", "3.3"},
        {"MESA_GLSL_VERSION_OVERRIDE", "330"},
        {"MESA_EXTENSION_OVERRIDE", "-GL_ARB_shader_image_load_store"}};
    const struct
    {
        std::string part;
        std::map<std::string, std::string> shaders;
        std::map<std::string, std::string> env;
        int status;
        Lines err;
    } cases[] = {
        {ShaderPart("shader=\"red.glsl\"", "", 0.3), {{"red.glsl", Solid("1.0, 0.0, 0.0")}}, {}, 0, {}},
        {ShaderPart("shader=\"toy.glsl\""),
         {{"toy.glsl", BrokenToy}},
         {},
         1,
         {toyError, "data/shaders/toy.glsl:4:14: error: cannot construct `vec4' from a non-numeric data type",
          "FATAL: part \"fx\": shader \"data/shaders/toy.glsl\" does not compile" + FatalAt}},
        {ShaderPart("shader=\"gone.glsl\""),
         {},
         {},
         1,
         {"FATAL: part \"fx\": shader \"data/shaders/gone.glsl\" not found" + FatalAt}},
        {ShaderPart("shader=\"red.glsl\" resolution=\"0\""),
         {{"red.glsl", Solid("1.0, 0.0, 0.0")}},
         {},
         1,
         {"FATAL: part \"fx\": resolution \"0\" is not a number from 0.125 to 1" + FatalAt}},
        {ShaderPart("shader=\"red.glsl\"", "      <animate key=\"speed\" times=\"0 1\" values=\"0 1\"/>\n"),
         {{"red.glsl", Solid("1.0, 0.0, 0.0")}},
         {},
         1,
         {"FATAL: part \"fx\": lib.Shader cannot animate \"speed\" (it animates alpha, time)" + FatalAt}},
        {ShaderPart("shader=\"count.glsl\""),
         {{"count.glsl", computeShader}},
         driver33,
         1,
         {"data/shaders/count.glsl:2:44: error: computeTex needs image load/store (OpenGL 4.2 or "
          "GL_ARB_shader_image_load_store); this driver gives OpenGL 3.3",
          "data/shaders/count.glsl:1:10: error: GLSL 4.30 is not supported. Supported versions are: 1.10, 1.20, "
          "1.30, 1.40, 1.50, 3.30, 1.00 ES, 3.00 ES, 3.10 ES, and 3.20 ES",
          "FATAL: part \"fx\": shader \"data/shaders/count.glsl\" does not compile" + FatalAt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        ProgramRun run = DemoRun(Settings(c.part), c.shaders);
        run.env = c.env;
        const RunResult result = VexelTest::RunMorvelin(run);
        EXPECT_EQ(result.exitCode, c.status) << result.err;
        EXPECT_FALSE(result.coreDumped);
        EXPECT_EQ(result.ErrLines(), c.err);
        // Whatever was built is taken down again on the way out.
        EXPECT_NE(IndexOf(result.OutLines(), "Sdl2OpenglWindow::~Sdl2OpenglWindow()"), -1) << result.out;
    }
}

TEST(ShaderPartE2ETest, TheCheckListsEveryProblemAtItsLineInTheSettingsAndTheShader)
{
    const std::string parts = "    <part start=\"0\" end=\"4\" name=\"toy\" class=\"lib.Shader\" priority=\"1\">\n"
                              "      <param shader=\"toy.glsl\" iChannel0=\"gone.png\" iChannel9=\"noise\"/>\n"
                              "    </part>\n"
                              "    <part start=\"0\" end=\"4\" name=\"tint\" class=\"lib.Shader\" priority=\"2\">\n"
                              "      <param shader=\"tint.glsl\" tint=\"1 0\" resolution=\"2\"/>\n"
                              "      <animate key=\"tint\" times=\"0 1\" values=\"0 0 0; 1 1\"/>\n"
                              "    </part>\n"
                              "    <part start=\"0\" end=\"4\" name=\"none\" class=\"lib.Shader\" priority=\"3\"/>\n";
    const std::string tint = "#version 410 core\nuniform vec3 tint;\nlayout(location = 0) out vec4 out_color;\n"
                             "void main() { out_color = vec4(tint, 1.0); }\n";
    ProgramRun run = DemoRun(Settings(parts), {{"toy.glsl", BrokenToy}, {"tint.glsl", tint}});
    run.args = {"--check", "morvelin.xml"};
    const std::string f = "morvelin.xml";
    const Lines expected = {
        "data/shaders/toy.glsl:4:19: error: `colr' undeclared",
        "data/shaders/toy.glsl:4:14: error: cannot construct `vec4' from a non-numeric data type",
        f + ":5:32: error: picture \"data/textures/gone.png\" not found",
        f + ":5:53: warning: part \"toy\": unknown parameter \"iChannel9\" for lib.Shader: the shader declares no "
            "uniform \"iChannel9\"",
        f + ":8:33: error: part \"tint\": \"tint\" is a vec3 uniform: write 3 numbers, not \"1 0\"",
        f + ":8:44: error: part \"tint\": resolution \"2\" is not a number from 0.125 to 1",
        f + ":9:39: error: part \"tint\": animate \"tint\" value \"1 1\" is not a vec3 \"x y z\"",
        f + ":11:5: error: part \"none\": the lib.Shader part has no shader parameter",
        "7 errors, 1 warning",
    };
    const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    EXPECT_EQ(result.OutLines(), expected);
    EXPECT_EQ(result.exitCode, 1) << result.err;

    // Without a display the shaders are not built, and a note says so.
    run.ownDisplay = false;
    run.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
    const RunResult noDisplay = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    Lines withoutGl(expected.begin() + 2, expected.end() - 1);
    withoutGl.insert(withoutGl.begin(), f + ":4:40: note: shader checks skipped: no GL context");
    withoutGl.push_back("5 errors, 1 warning");
    EXPECT_EQ(noDisplay.OutLines(), withoutGl);
}

TEST(ShaderPartE2ETest, ThePlayerRefusesABrokenShaderAtStartAndKeepsTheLastGoodOneOnReload)
{
    ProgramRun refused = DemoRun(Settings(ShaderPart("shader=\"fx.glsl\"")), {{"fx.glsl", BrokenToy}});
    refused.args = {"morvelin.xml", "--mute"};
    const RunResult atStart = VexelTest::RunProgram(VEXEL_PLAYER_EXE, refused);
    EXPECT_EQ(atStart.exitCode, 1);
    const Lines err = atStart.ErrLines();
    ASSERT_GE(err.size(), 2u) << atStart.err;
    // The check's lines, as --check gives them.
    EXPECT_EQ(err, (Lines{"data/shaders/fx.glsl:4:19: error: `colr' undeclared",
                          "data/shaders/fx.glsl:4:14: error: cannot construct `vec4' from a non-numeric data type"}));

    // The shader shows its picture, then, fixed, the picture's colours turned round.
    const auto showing = [](const std::string& swizzle) {
        return "#version 410 core\nuniform sampler2D texTex1;\nlayout(location = 0) out vec4 out_color;\n"
               "void main()\n{\n    out_color = vec4(texture(texTex1, vec2(0.5))." +
               swizzle + ", 1.0);\n}\n";
    };
    VexelTest::TempFolder folder;
    const fs::path shader = folder.Path() / "data/shaders/fx.glsl";
    const fs::path picture = folder.Path() / "data/textures/pic.png";
    fs::create_directories(shader.parent_path());
    fs::create_directories(picture.parent_path());
    fs::create_directories(folder.Path() / "data/music");
    fs::copy(VEXEL_DEMO_DIR "/" + Soundtrack, folder / Soundtrack);
    const auto paint = [&picture](const std::string& colour) {
        VexelTest::ShellOutput("ffmpeg -v error -y -f lavfi -i color=c=" + colour + ":s=8x8 -frames:v 1 '" +
                               picture.string() + ".new.png' && mv '" + picture.string() + ".new.png' '" +
                               picture.string() + "'");
    };
    paint("red");
    std::ofstream(folder / "show.xml") << Settings(ShaderPart("shader=\"fx.glsl\" texTex1=\"pic.png\""));
    std::ofstream(shader) << showing("rgb");
    ProgramRun run;
    run.args = {folder / "show.xml", "--paused", "--mute"};
    run.timeout = 90s;
    std::vector<std::string> seen;
    run.whileRunning = [&](RunningProgram& program) {
        if (!program.WaitForLine("ready at 0:00.000, paused")) {
            return;
        }
        seen.push_back(program.CentreBecomes(255, 0, 0) ? "red" : "not red");
        std::ofstream(shader, std::ios::trunc) << BrokenToy;
        const bool failed = program.WaitForLine("reload failed: the last good timeline plays on");
        seen.push_back(failed && program.CentreBecomes(255, 0, 0) ? "kept red" : "not kept");
        std::ofstream(shader, std::ios::trunc) << showing("bgr");
        seen.push_back(program.WaitForLine("reloaded at 0:00.000") && program.CentreBecomes(0, 0, 255) ? "blue"
                                                                                                       : "not blue");
        // The picture is watched too.
        paint("lime");
        seen.push_back(
            program.WaitForLine("reloaded at 0:00.000", 2) && program.CentreBecomes(0, 255, 0) ? "green" : "not green");
        program.Key("Escape");
    };
    const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(seen, (Lines{"red", "kept red", "blue", "green"}));
    EXPECT_NE(IndexOf(result.ErrLines(), shader.string() + ":4:19: error: `colr' undeclared"), -1) << result.err;
}

TEST(ShaderPartE2ETest, ACaptureOfAFeedbackShaderOverAPostEffectIsTheSameTwice)
{
    // A ClearScreen below; a post effect turns it over; a feedback trail on top adds the frame step.
    const std::string parts = "    <part start=\"0\" end=\"2\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">\n"
                              "      <param color=\"255 40 200\"/>\n    </part>\n"
                              "    <part start=\"0\" end=\"2\" name=\"invert\" class=\"lib.Shader\" priority=\"1\">\n"
                              "      <param shader=\"invert.glsl\" iChannel0=\"screen\"/>\n    </part>\n"
                              "    <part start=\"0\" end=\"2\" name=\"trail\" class=\"lib.Shader\" priority=\"2\">\n"
                              "      <param shader=\"trail.glsl\" blending=\"additive\"/>\n    </part>\n";
    const std::string invert = "void mainImage(out vec4 c, in vec2 p)\n{\n"
                               "    c = vec4(1.0 - texture(iChannel0, p / iResolution.xy).rgb, 1.0);\n}\n";
    // Red grows by the frame step each frame, green is noise.
    const std::string trail =
        "#version 410 core\nuniform float fFrameTime;\nuniform sampler2D texPreviousFrame;\n"
        "uniform sampler2D texNoise;\nlayout(location = 0) out vec4 out_color;\n"
        "void main()\n{\n    vec2 uv = gl_FragCoord.xy / 16.0;\n"
        "    out_color = vec4(texture(texPreviousFrame, uv).r + fFrameTime, texture(texNoise, uv).g * 0.1, 0.0, 1.0);\n}\n";
    VexelTest::TempFolder folder;
    std::ofstream(folder / "show.xml") << Settings(parts);
    fs::create_directories(folder.Path() / "data/shaders");
    fs::create_directories(folder.Path() / "data/music");
    fs::copy(VEXEL_DEMO_DIR "/" + Soundtrack, folder / Soundtrack);
    std::ofstream(folder / "data/shaders/invert.glsl") << invert;
    std::ofstream(folder / "data/shaders/trail.glsl") << trail;

    std::vector<std::string> frames[2];
    for (int run = 0; run < 2; ++run) {
        ProgramRun capture;
        const std::string out = folder / ("run" + std::to_string(run) + "/%d.png");
        capture.args = {"--capture", out, "--fps",   "8",      "--size",           "16x8", "--from", "0.5",
                        "--to",      "1", "--quiet", "--mute", folder / "show.xml"};
        capture.timeout = 90s;
        const RunResult result = VexelTest::RunProgram(VEXEL_PLAYER_EXE, capture);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        for (int n = 0; n < 4; ++n) {
            frames[run].push_back(
                VexelTest::ReadFile(folder / ("run" + std::to_string(run) + "/" + std::to_string(n) + ".png")));
            ASSERT_FALSE(frames[run].back().empty()) << n;
        }
    }
    EXPECT_EQ(frames[0], frames[1]);
    for (int n = 0; n < 4; ++n) {
        const std::string rgb =
            VexelTest::ShellOutput("ffmpeg -v error -i '" + folder / ("run0/" + std::to_string(n) + ".png") +
                                   "' -f rawvideo -pix_fmt rgb24 -");
        ASSERT_EQ(rgb.size(), 16u * 8u * 3u);
        // The feedback starts empty at the capture's first frame, whose step
        // is the part's 0.5 s so far; each frame after adds exactly 1/8 s.
        // Green and blue are the inverted sky, green with a little noise.
        const unsigned char* pixel = reinterpret_cast<const unsigned char*>(rgb.data());
        EXPECT_NEAR(pixel[0], 255 * (0.5 + n / 8.0), 2) << "frame " << n;
        EXPECT_GE(pixel[1], 215) << "frame " << n;
        EXPECT_NEAR(pixel[2], 55, 1) << "frame " << n;
    }
}
