#include "Halvorn/ShaderPartSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Params = std::vector<DemoPartParam>;
using Source = ShaderPartSettings::Source;

namespace {

const std::string Shader = "#version 410 core\n"
                           "uniform float fGlobalTime;\n"
                           "uniform float speed;\n"
                           "uniform vec3 tint;\n"
                           "uniform vec4 glow = vec4(1.0);\n"
                           "uniform int mode;\n"
                           "uniform float weights[2];\n"
                           "uniform sampler2D texTex1;\n"
                           "uniform sampler2D texTex2;\n"
                           "uniform sampler1D curve;\n"
                           "uniform samplerCube sky;\n"
                           "uniform float alpha;\n"
                           "out vec4 out_color;\n"
                           "void main() { out_color = vec4(speed); }\n";

// Every problem as "error 2: ..." or "warning 0: ...", by parameter index.
std::vector<std::string> Problems(const std::vector<ShaderPartSettings::Problem>& problems)
{
    std::vector<std::string> lines;
    for (const ShaderPartSettings::Problem& problem : problems) {
        lines.push_back((problem.error ? "error " : "warning ") + std::to_string(problem.param) + ": " +
                        problem.message);
    }
    return lines;
}

} // namespace

TEST(ShaderPartSettingsTest, ParametersAreReadAgainstTheShadersDeclarations)
{
    const ShaderSource shader(Shader);
    const std::string p = "part \"fx\": ";
    const struct
    {
        Params params;
        std::vector<std::string> problems;
    } cases[] = {
        {{{"shader", "a.glsl"}, {"speed", "2.5"}, {"tint", " 1 0.5  0 "}, {"texTex1", "logo.png"}}, {}},
        {{{"shader", "a.glsl"}, {"speed", "1 2"}, {"tint", "1 0"}, {"glow", "red"}, {"mode", "1"}, {"weights", "1 2"}},
         {"error 1: " + p + "\"speed\" is a float uniform: write 1 number, not \"1 2\"",
          "error 2: " + p + "\"tint\" is a vec3 uniform: write 3 numbers, not \"1 0\"",
          "error 3: " + p + "\"glow\" is a vec4 uniform: write 4 numbers, not \"red\"",
          "error 4: " + p + "\"mode\" is an int uniform: only float, vec2, vec3 and vec4 uniforms take values",
          "error 5: " + p + "\"weights\" is a float[2] uniform: only float, vec2, vec3 and vec4 uniforms take values"}},
        {{{"shader", "a.glsl"}, {"curve", "noise"}, {"sky", "sky.png"}, {"sped", "1"}, {"fGlobalTime", "3"}},
         {"error 1: " + p + "\"curve\" is a sampler1D uniform: pictures and sources go to sampler2D uniforms",
          "error 2: " + p + "\"sky\" is a samplerCube uniform: pictures and sources go to sampler2D uniforms",
          "warning 3: " + p + "unknown parameter \"sped\" for lib.Shader: the shader declares no uniform \"sped\"",
          "warning 4: " + p + "parameter \"fGlobalTime\" names a uniform the engine sets; it is ignored"}},
        // The part's own keys, whatever the shader declares (its "alpha" included).
        {{{"shader", "a.glsl"},
          {"alpha", "1.5"},
          {"resolution", "0.1"},
          {"resolution", "2"},
          {"time", "now"},
          {"blending", "translucent"}},
         {"error 1: " + p + "alpha \"1.5\" is not a number from 0 to 1",
          "error 2: " + p + "resolution \"0.1\" is not a number from 0.125 to 1",
          "error 3: " + p + "resolution \"2\" is not a number from 0.125 to 1",
          "error 4: " + p + "time \"now\" is not \"part\" or \"demo\"",
          "warning 5: " + p +
              "unknown blending \"translucent\" (opaque, transcluent, additive, subtractive or "
              "reversesubtractive); it is ignored"}},
        {{{"speed", "1"}}, {"error -1: " + p + "the lib.Shader part has no shader parameter"}},
    };
    for (const auto& c : cases) {
        std::vector<ShaderPartSettings::Problem> problems;
        ShaderPartSettings::Read("fx", c.params, &shader, problems);
        EXPECT_EQ(Problems(problems), c.problems) << testing::PrintToString(c.params.size());
    }

    // A later value of a key wins, for numbers and for sources alike.
    std::vector<ShaderPartSettings::Problem> problems;
    const ShaderPartSettings read = ShaderPartSettings::Read(
        "fx", {{"shader", "a.glsl"}, {"speed", "1"}, {"texTex1", "logo.png"}, {"speed", "3"}, {"texTex1", "screen"}},
        &shader, problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(read.mValues.size(), 1u);
    EXPECT_EQ(read.mValues[0].value.x, 3.0f);
    ASSERT_EQ(read.mSamplers.size(), 1u);
    EXPECT_EQ(read.mSamplers[0].source, Source::Screen);
    EXPECT_EQ(read.mSamplers[0].param, 4);
}

TEST(ShaderPartSettingsTest, AShaderPartAnimatesAlphaTimeAndItsShadersNumbers)
{
    const std::vector<Animation::Uniform> uniforms = ShaderPartSettings::AnimatableUniforms(ShaderSource(Shader));
    std::vector<std::string> names;
    for (const Animation::Uniform& uniform : uniforms) {
        names.push_back(uniform.name + "/" + std::to_string(uniform.components));
    }
    // Not the engine's time, not the arrays, not "alpha", which is the part's.
    EXPECT_EQ(names, (std::vector<std::string>{"speed/1", "tint/3", "glow/4"}));

    const struct
    {
        const char* key;
        const char* values;
        std::string problem;
        glm::vec4 atOne;
    } cases[] = {
        {"tint", "0 0 0; 1 0.5 0.25", "", {0.5f, 0.25f, 0.125f, 0.0f}},
        {"glow", "0 0 0 0;2 2 2 2", "", {1.0f, 1.0f, 1.0f, 1.0f}},
        {"speed", "0 4", "", {2.0f, 0.0f, 0.0f, 0.0f}},
        {"time", "10 20", "", {15.0f, 0.0f, 0.0f, 0.0f}},
        {"tint", "0 0 0; 1 0.5", "part \"fx\": animate \"tint\" value \"1 0.5\" is not a vec3 \"x y z\"", {}},
        {"glow", "1 2 3 4; 1 2 3 x", "part \"fx\": animate \"glow\" value \"1 2 3 x\" is not a vec4 \"x y z w\"", {}},
        {"mode",
         "0 1",
         "part \"fx\": lib.Shader cannot animate \"mode\" (it animates alpha, time, speed, tint, glow)",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        Animation::Source source;
        source.key = c.key;
        source.times = "0 2";
        source.values = c.values;
        Animation animation;
        std::string problem;
        const bool read = Animation::Parse(source, "lib.Shader", "fx", nullptr, uniforms, animation, problem);
        EXPECT_EQ(problem, c.problem);
        EXPECT_EQ(read, c.problem.empty());
        if (read) {
            EXPECT_EQ(animation.EvaluateVector(1.0), c.atOne);
        }
    }
}
