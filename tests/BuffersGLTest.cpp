#include "Halvorn/DemoBuffers.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoSettingsLoaderXml.h"
#include "PartGLFixture.h"
#include "TextureTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

using VexelTest::Capture;
using namespace VexelTest::Colours;
using VexelTest::PixelNear;
using VexelTest::Rgba;
using Texel = std::array<float, 4>;

namespace {

// The frame is drawn into a small area at the window's bottom left.
const int AreaWidth = 64;
const int AreaHeight = 36;

// Shadertoy shaders the timelines below run.
const char* const MixShader = "uniform vec4 add = vec4(0.0);\n"
                              "uniform float keep = 1.0;\n"
                              "void mainImage(out vec4 c, in vec2 p) { c = keep * texture(iChannel0, p / "
                              "iResolution.xy) + add; }\n";
const char* const TimeShader = "void mainImage(out vec4 c, in vec2 p) { c = vec4(iTime / 10.0, 0.0, 0.0, 1.0); }\n";
const char* const SizeShader =
    "void mainImage(out vec4 c, in vec2 p)\n"
    "{\n"
    "    c = vec4(iResolution.xy, iChannelResolution[0].xy) / 100.0;\n"
    "    // Reads the channel, so that it counts.\n"
    "    if (texture(iChannel0, vec2(0.5)).a > 2.0) c = vec4(0.0);\n"
    "}\n";
// Red below the middle, green above.
const char* const HalvesShader =
    "void mainImage(out vec4 c, in vec2 p) { c = p.y < iResolution.y * 0.5 ? vec4(1, 0, 0, 1) : vec4(0, 1, 0, 1); }\n";

std::string Part(const std::string& name, const std::string& className, int priority, const std::string& params)
{
    return "<part start=\"0\" end=\"100\" name=\"" + name + "\" class=\"" + className + "\" priority=\"" +
           std::to_string(priority) + "\"><param " + params + "/></part>";
}

std::string Shader(const std::string& name, int priority, const std::string& shader, const std::string& params)
{
    return Part(name, "lib.Shader", priority, "shader=\"" + shader + "\" " + params);
}

std::string Buffer(const std::string& name, const std::string& attributes = "")
{
    return "<buffer name=\"" + name + "\" " + attributes + "/>";
}

} // namespace

class BuffersGLTest : public VexelTest::PartGLFixture
{
protected:
    void SetUp() override
    {
        PartGLFixture::SetUp();
        for (const auto& [file, text] : {std::pair<const char*, const char*>{"mix.glsl", MixShader},
                                         {"time.glsl", TimeShader},
                                         {"size.glsl", SizeShader},
                                         {"halves.glsl", HalvesShader}}) {
            std::ofstream(std::string("data/shaders/") + file) << text;
        }
        SetArea(AreaWidth, AreaHeight);
    }

    void SetArea(int width, int height)
    {
        mApp->mDrawTarget.mArea = Rect<int>(0, 0, width, height);
        glViewport(0, 0, width, height);
    }

    // The timeline of these buffers and parts, loaded into model (the app's by default).
    void Load(const std::string& buffers, const std::string& parts, DemoModel* model = nullptr)
    {
        std::ofstream("buffers.xml", std::ios::trunc)
            << "<Halvorn-demo-settings><soundtrack file=\"none.ogg\"/>" + buffers + "<demoparts>" + parts +
                   "</demoparts></Halvorn-demo-settings>";
        const VexelTest::Captured captured = Capture([&] {
            DemoSettingsLoaderXml().Load("buffers.xml", model != nullptr ? model : mApp->mModel, mApp.get());
        });
        ASSERT_FALSE(captured.Threw()) << captured.What() << captured.err;
        (model != nullptr ? model : mApp->mModel)->mQuiet = true;
    }

    // One frame a step after the last, drawn over black.
    void Frame(double step)
    {
        ClearTo(Black);
        mApp->mModel->Update(step);
        mApp->RenderParts(step);
    }

    int BufferIndex(const std::string& name) const
    {
        return BufferSettings::IndexOf(mApp->mModel->mBuffers, QString::fromStdString(name));
    }

    // A pixel of a buffer's latest picture, from its bottom left.
    Texel TexelOf(const std::string& name, int x, int y) const
    {
        const std::vector<float> pixels = Pixels(name);
        const int width = mApp->Buffers() != nullptr ? mApp->Buffers()->Width(BufferIndex(name)) : 0;
        const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
        if (at + 3 >= pixels.size()) {
            ADD_FAILURE() << "no pixel " << x << ", " << y << " in " << name;
            return {};
        }
        return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
    }

    // The brightest red, green or blue of a buffer.
    float Brightest(const std::string& name) const
    {
        float brightest = 0.0f;
        const std::vector<float> pixels = Pixels(name);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            brightest = i % 4 == 3 ? brightest : std::max(brightest, pixels[i]);
        }
        return brightest;
    }

    // A buffer's latest picture as floats, bottom row first.
    std::vector<float> Pixels(const std::string& name) const
    {
        const DemoBuffers* buffers = mApp->Buffers();
        const int index = BufferIndex(name);
        if (buffers == nullptr || index < 0) {
            ADD_FAILURE() << "no buffer " << name;
            return {};
        }
        const DemoBuffers::View view = buffers->At(index);
        std::vector<float> pixels(static_cast<std::size_t>(view.width) * view.height * 4);
        glBindTexture(GL_TEXTURE_2D, view.texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return pixels;
    }
};

TEST_F(BuffersGLTest, WhatAPartReadsOfABufferAndWhatTheBufferKeeps)
{
    const std::string accumulate = Shader("acc", 1, "mix.glsl", "target=\"b\" iChannel0=\"b\" add=\"1.0001 0 0 0\"");
    const std::string eighths = Shader("acc", 1, "mix.glsl", "target=\"b\" iChannel0=\"b\" add=\"0.125 0 0 0\"");
    const std::string additive =
        Shader("add", 1, "mix.glsl", "target=\"b\" keep=\"0\" add=\"0.25 0 0 1\" blending=\"additive\"");
    const std::string time = Shader("time", 1, "time.glsl", "target=\"b\" time=\"demo\"");
    const struct
    {
        const char* what;
        std::string buffers;
        std::string parts;
        int frames;
        // Frames drawn again at the same moment, as while paused.
        int repeats;
        bool seekAfter;
        // The screen's own scissor box, as the player keeps clears inside its picture.
        bool scissor;
        const char* buffer;
        Texel expected;
        float tolerance;
    } cases[] = {
        {"rgba32f keeps a value above 1 and its ten-thousandths over frames", Buffer("b", "format=\"rgba32f\""),
         accumulate, 3, 0, false, false, "b", {3.0003f, 0, 0, 0}, 1e-5f},
        {"rgba16f rounds them away", Buffer("b", "format=\"rgba16f\""), accumulate, 3, 0, false, false, "b",
         {3.0f, 0, 0, 0}, 1e-5f},
        {"rgba8 holds nothing above 1", Buffer("b"), accumulate, 3, 0, false, false, "b", {1.0f, 0, 0, 0}, 1e-5f},
        {"a part reading its own target gets the frame before's picture, not what was drawn this frame",
         Buffer("b", "format=\"rgba16f\""),
         Part("green", "lib.ClearScreen", 0, "target=\"b\" color=\"0 255 0\"") + eighths, 3, 0, false, false, "b",
         {0.375f, 0, 0, 0}, 1e-4f},
        {"a buffer read after its writer shows this frame's picture",
         Buffer("b", "format=\"rgba16f\"") + Buffer("copy", "format=\"rgba16f\""),
         time + Shader("copy", 2, "mix.glsl", "target=\"copy\" iChannel0=\"b\""), 3, 0, false, false, "copy",
         {0.15f, 0, 0, 1}, 1e-3f},
        {"a buffer read before its writer shows the frame before's",
         Buffer("b", "format=\"rgba16f\"") + Buffer("copy", "format=\"rgba16f\""),
         Shader("copy", 0, "mix.glsl", "target=\"copy\" iChannel0=\"b\"") + time, 3, 0, false, false, "copy",
         {0.1f, 0, 0, 1}, 1e-3f},
        {"at half resolution a pass draws and reads half the pixels",
         Buffer("half", "format=\"rgba16f\" resolution=\"0.5\"") + Buffer("b", "format=\"rgba16f\""),
         Shader("half", 0, "size.glsl", "target=\"half\"") + Shader("b", 1, "size.glsl", "target=\"b\" iChannel0=\"half\""),
         1, 0, false, false, "b", {0.64f, 0.36f, 0.32f, 0.18f}, 1e-3f},
        {"clear never keeps what was added", Buffer("b", "format=\"rgba16f\""), additive, 3, 0, false, false, "b",
         {0.75f, 0, 0, 3}, 1e-3f},
        {"clear frame clears all of it first, whatever the screen's scissor",
         Buffer("b", "format=\"rgba16f\" clear=\"frame\""), additive, 3, 0, false, true, "b", {0.25f, 0, 0, 1}, 1e-3f},
        {"a frame drawn again at the same moment does not run on", Buffer("b", "format=\"rgba32f\""), eighths, 2, 2,
         false, false, "b", {0.25f, 0, 0, 0}, 1e-5f},
        {"a seek starts it empty", Buffer("b", "format=\"rgba32f\""), eighths, 3, 0, true, false, "b",
         {0.125f, 0, 0, 0}, 1e-5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.buffers, c.parts);
        if (c.scissor) {
            glScissor(5, 5, 20, 10);
            glEnable(GL_SCISSOR_TEST);
        }
        for (int frame = 0; frame < c.frames; ++frame) {
            Frame(0.5);
        }
        for (int repeat = 0; repeat < c.repeats; ++repeat) {
            Frame(0.0);
        }
        if (c.seekAfter) {
            mApp->mModel->Seek(mApp->mModel->mTime);
            Frame(0.0);
        }
        glDisable(GL_SCISSOR_TEST);
        for (const std::pair<int, int>& at : {std::pair<int, int>{0, 0}, {3, 2}}) {
            const Texel texel = TexelOf(c.buffer, at.first, at.second);
            for (int channel = 0; channel < 4; ++channel) {
                EXPECT_NEAR(texel[channel], c.expected[channel], c.tolerance) << "channel " << channel;
            }
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(BuffersGLTest, EveryClassDrawsIntoItsTargetAndAPictureShowsItUpright)
{
    SavePicture("test.png", 8, 8, [](int, int) { return Red; });
    SavePicture("bg.jpg", 8, 8, [](int, int) { return Red; });
    const struct
    {
        const char* className;
        std::string params;
    } cases[] = {
        {"lib.ClearScreen", "color=\"255 0 0\""},
        {"lib.Image", "image=\"test.png\" relativeWidth=\"1\" relativeHeight=\"1\""},
        {"lib.Text", "text=\"MMMM\" size=\"400\""},
        {"lib.TestPartVao", ""},
        {"lib.Shader", "shader=\"halves.glsl\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.className);
        Load(Buffer("b"), Part("drawn", c.className, 1, c.params + " target=\"b\""));
        Frame(0.5);
        EXPECT_TRUE(PixelNear(ReadPixel(AreaWidth / 2, Height - 1 - AreaHeight / 2), Black)) << "the screen is left as it was";
        EXPECT_GT(Brightest("b"), 0.9f) << "the buffer holds the drawing";
    }

    // Shown by a picture part, the buffer's bottom half is red at the screen's bottom.
    Load(Buffer("b", "resolution=\"0.5\""),
         Shader("halves", 1, "halves.glsl", "target=\"b\"") +
             Part("shown", "lib.Image", 2, "image=\"@b\" relativeWidth=\"1\" relativeHeight=\"1\""));
    Frame(0.5);
    EXPECT_TRUE(PixelNear(ReadPixel(AreaWidth / 2, Height - 2), Red));
    EXPECT_TRUE(PixelNear(ReadPixel(AreaWidth / 2, Height - AreaHeight + 1), Green));
    EXPECT_EQ(mApp->Buffers()->Width(0), AreaWidth / 2);
}

TEST_F(BuffersGLTest, PicturesFollowTheAreaAndANewTimelineTakesOverThoseThatFit)
{
    const std::string buffers = Buffer("b", "format=\"rgba16f\"") + Buffer("other", "format=\"rgba32f\"");
    const std::string parts = Shader("acc", 1, "mix.glsl", "target=\"b\" iChannel0=\"b\" add=\"0.25 0 0 0\"") +
                              Part("other", "lib.ClearScreen", 2, "target=\"other\"");
    Load(buffers, parts);
    Frame(0.5);
    Frame(0.5);
    const DemoBuffers& pictures = *mApp->Buffers();
    // Two pictures of 8 bytes a pixel for the buffer that reads itself, one of 16 for the other.
    EXPECT_EQ(pictures.Bytes(), static_cast<std::size_t>(AreaWidth * AreaHeight * (2 * 8 + 16)));
    EXPECT_EQ(pictures.PicturesMade(), 3);

    // A smaller picture, drawn again at the same moment: new pictures that
    // keep what the buffer showed, so the simulation does not jump.
    SetArea(AreaWidth / 2, AreaHeight / 2);
    mApp->RenderParts(0.0);
    EXPECT_EQ(pictures.Width(0), AreaWidth / 2);
    EXPECT_EQ(pictures.Height(1), AreaHeight / 2);
    EXPECT_EQ(pictures.PicturesMade(), 6);
    EXPECT_NEAR(TexelOf("b", 1, 1)[0], 0.5f, 1e-3f);
    SetArea(AreaWidth, AreaHeight);
    Frame(0.5);
    EXPECT_NEAR(TexelOf("b", 1, 1)[0], 0.75f, 1e-3f);
    EXPECT_EQ(pictures.PicturesMade(), 9);

    // A reload: the pictures of the same names and formats are taken over, started empty.
    auto* fresh = new DemoModel;
    Load(buffers, parts, fresh);
    delete mApp->mModel;
    mApp->mModel = fresh;
    Frame(0.5);
    EXPECT_EQ(pictures.PicturesMade(), 9);
    EXPECT_NEAR(TexelOf("b", 1, 1)[0], 0.25f, 1e-3f);
    // One of another format makes its own.
    auto* other = new DemoModel;
    Load(Buffer("b", "format=\"rgba32f\"") + Buffer("other", "format=\"rgba32f\""), parts, other);
    delete mApp->mModel;
    mApp->mModel = other;
    Frame(0.5);
    EXPECT_EQ(pictures.PicturesMade(), 11);
    EXPECT_EQ(pictures.Bytes(), static_cast<std::size_t>(AreaWidth * AreaHeight * (2 * 16 + 16)));
}

TEST_F(BuffersGLTest, AClearCoversTheWholeTextureWhateverTheScissor)
{
    TextureTarget target(16, 8, GL_RGBA16F);
    glBindFramebuffer(GL_FRAMEBUFFER, target.Framebuffer());
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(4, 2, 4, 2);
    glEnable(GL_SCISSOR_TEST);
    target.Clear();
    EXPECT_EQ(glIsEnabled(GL_SCISSOR_TEST), GL_TRUE);
    glDisable(GL_SCISSOR_TEST);
    std::vector<float> pixels(16 * 8 * 4, -1.0f);
    glReadPixels(0, 0, 16, 8, GL_RGBA, GL_FLOAT, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0.0f), static_cast<long>(pixels.size()));
}
