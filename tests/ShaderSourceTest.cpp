#include "Halvorn/ShaderSource.h"
#include "ShaderLog.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using Convention = ShaderSource::Convention;

namespace {

// The line of text at a 1-based line number.
std::string LineOf(const std::string& text, int number)
{
    std::istringstream lines(text);
    std::string line;
    for (int i = 0; i < number && std::getline(lines, line); ++i) {
    }
    return line;
}

// Where the file's first line lands in the text the driver compiles, by the
// #line directive's count (the line after "#line 1" is line 1).
int WrappedLine(const std::string& compiled, const std::string& wanted)
{
    std::istringstream lines(compiled);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        number = line == "#line 1" ? 0 : number + 1;
        if (line == wanted) {
            return number;
        }
    }
    return -1;
}

} // namespace

TEST(ShaderSourceTest, TheConventionIsRecognisedFromTheCodeNotTheComments)
{
    const struct
    {
        std::string text;
        Convention convention;
        std::string problem;
        int problemLine;
    } cases[] = {
        {"#version 410 core\nout vec4 out_color;\nvoid main() { out_color = vec4(1.0); }\n", Convention::Showdown, "",
         1},
        // Comments and blank lines may come before the directive; main and mainImage both: main wins.
        {"// tunnel\n\n#version 430 core\nvoid mainImage(out vec4 c, in vec2 p) {}\nvoid main() {}\n",
         Convention::Showdown, "", 1},
        {"void mainImage( out vec4 fragColor, in vec2 fragCoord )\n{\n    fragColor = vec4(1.0);\n}\n",
         Convention::Shadertoy, "", 1},
        // A main in a comment is none.
        {"/* void main() {} */\nvoid mainImage(out vec4 c, in vec2 p) { c = vec4(0.0); }\n", Convention::Shadertoy, "",
         1},
        {"\nout vec4 out_color;\nvoid main() { out_color = vec4(1.0); }\n", Convention::Unknown,
         "main() without a #version line: the showdown convention starts with one, such as \"#version 410 core\"", 3},
        {"// void main() {}\nfloat f() { return 1.0; }\n", Convention::Unknown,
         "the shader defines neither main() (the showdown convention) nor mainImage() (the Shadertoy convention)", 1},
        {"", Convention::Unknown,
         "the shader defines neither main() (the showdown convention) nor mainImage() (the Shadertoy convention)", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ShaderSource source(c.text);
        EXPECT_EQ(source.GetConvention(), c.convention);
        EXPECT_EQ(source.Problem(), c.problem);
        EXPECT_EQ(source.ProblemLine(), c.problemLine);
    }
}

TEST(ShaderSourceTest, DeclarationsGiveNameTypeComponentsAndPlace)
{
    const std::string text = "#version 430 core\n"
                             "uniform float fGlobalTime; // in seconds\n"
                             "uniform vec2 v2Resolution;\n"
                             "layout(r32ui) uniform coherent uimage2D[3] computeTex;\n"
                             "uniform highp vec3 tint = vec3(1.0, 0.5, 0.0), glow;\n"
                             "uniform sampler2D texTex1;  uniform sampler1D texFFT;\n"
                             "/* uniform float hidden; */\n"
                             "uniform float weights[4];\n"
                             "uniform Block { float inside; } block;\n"
                             "uniform mat4 view;\n"
                             "void main() { float local; }\n";
    const ShaderSource source(text);
    struct Expected
    {
        std::string name, typeText;
        int components;
        bool sampler, image;
        int line, column;
    };
    const std::vector<Expected> expected = {
        {"fGlobalTime", "float", 1, false, false, 2, 15},
        {"v2Resolution", "vec2", 2, false, false, 3, 14},
        {"computeTex", "uimage2D[3]", 0, false, true, 4, 44},
        {"tint", "vec3", 3, false, false, 5, 20},
        {"glow", "vec3", 3, false, false, 5, 48},
        {"texTex1", "sampler2D", 0, true, false, 6, 19},
        {"texFFT", "sampler1D", 0, true, false, 6, 47},
        {"weights", "float[4]", 0, false, false, 8, 15},
        {"view", "mat4", 0, false, false, 10, 14},
    };
    ASSERT_EQ(source.Uniforms().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ShaderSource::Uniform& found = source.Uniforms()[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(found.name, e.name);
        EXPECT_EQ(found.TypeText(), e.typeText);
        EXPECT_EQ(found.Components(), e.components);
        EXPECT_EQ(found.IsSampler(), e.sampler);
        EXPECT_EQ(found.IsImage(), e.image);
        EXPECT_EQ(found.line, e.line);
        EXPECT_EQ(found.column, e.column);
    }
    EXPECT_TRUE(source.UsesComputeImages());
    EXPECT_EQ(source.Find("hidden"), nullptr);
    // Compiled as written, with the engine's vertex stage at the same version.
    EXPECT_EQ(source.FragmentText(), text);
    EXPECT_EQ(LineOf(source.VertexText(), 1), "#version 430 core");
    EXPECT_EQ(source.LineCount(), 11);
}

TEST(ShaderSourceTest, AShadertoyFileIsWrappedAndKeepsItsOwnLineNumbers)
{
    const struct
    {
        std::string text;
        std::string version;
        // A line of the file and where the driver counts it.
        std::string line;
        int number;
    } cases[] = {
        {"uniform float speed;\nvoid mainImage(out vec4 c, in vec2 p)\n{\n    c = vec4(speed);\n}", "#version 330 core",
         "    c = vec4(speed);", 4},
        // The file's own #version goes first, and its line stays, empty.
        {"#version 450 core\n\nvoid mainImage(out vec4 c, in vec2 p)\n{\n    c = vec4(1.0);\n}\n", "#version 450 core",
         "    c = vec4(1.0);", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ShaderSource source(c.text);
        ASSERT_EQ(source.GetConvention(), Convention::Shadertoy);
        EXPECT_EQ(LineOf(source.FragmentText(), 1), c.version);
        EXPECT_EQ(LineOf(source.VertexText(), 1), c.version);
        EXPECT_EQ(WrappedLine(source.FragmentText(), c.line), c.number);
        EXPECT_NE(source.FragmentText().find("mainImage(vexelFragColor, gl_FragCoord.xy);"), std::string::npos);
        // The header's declarations are known, and not the file's own.
        const ShaderSource::Uniform* channel = source.Find("iChannel2");
        ASSERT_NE(channel, nullptr);
        EXPECT_EQ(channel->type, "sampler2D");
        EXPECT_EQ(channel->line, 0);
        EXPECT_EQ(source.Find("iResolution")->Components(), 3);
    }
}

TEST(ShaderSourceTest, DriverLogsInBothFormsAreReadAtTheFilesLines)
{
    const struct
    {
        std::string log;
        int lastLine;
        std::vector<std::string> lines;
    } cases[] = {
        {"0:4(19): error: `colr' undeclared\n0:4(14): error: cannot construct `vec4'\n",
         9,
         {"t.glsl:4:19: error: `colr' undeclared", "t.glsl:4:14: error: cannot construct `vec4'"}},
        {"0(7) : error C1503: undefined variable \"colr\"\n0(2) : warning C7022: unrecognized profile\n",
         9,
         {"t.glsl:7:1: error: undefined variable \"colr\""}},
        // Past the file's end lies the engine's main: the last line of the file stands for it.
        {"0:12(5): error: no function with name 'mainImage'\n",
         9,
         {"t.glsl:9:5: error: no function with name 'mainImage'"}},
        {"0(30) : error C1008: undefined variable \"mainImage\"\n",
         9,
         {"t.glsl:9:1: error: undefined variable \"mainImage\""}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        for (const Diagnostic& diagnostic : ShaderLog::Parse("t.glsl", c.log, c.lastLine)) {
            lines.push_back(diagnostic.Format());
        }
        EXPECT_EQ(lines, c.lines) << c.log;
    }
}
