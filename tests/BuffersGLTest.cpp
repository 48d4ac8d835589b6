#include "Halvorn/DemoBuffers.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoSettingsLoaderXml.h"
#include "PartGLFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

using Texel = std::array<float, 4>;

namespace {

// The frame is drawn into a small area at the window's bottom left.
const int AreaWidth = 64;
const int AreaHeight = 36;

// Shadertoy shaders of the timelines below.
const char* const Shaders[][2] = {
    {"mix.glsl",
     "uniform vec4 add = vec4(0.0);\nuniform float keep = 1.0;\n"
     "void mainImage(out vec4 c, in vec2 p) { c = keep * texture(iChannel0, p / iResolution.xy) + add; }\n"},
    {"time.glsl", "void mainImage(out vec4 c, in vec2 p) { c = vec4(iTime / 10.0, 0.0, 0.0, 1.0); }\n"},
    // Sizes in hundreds of pixels; the channel read, so that it counts.
    {"size.glsl", "void mainImage(out vec4 c, in vec2 p) {\n"
                  "    c = vec4(iResolution.xy, iChannelResolution[0].xy) / 100.0;\n"
                  "    if (texture(iChannel0, vec2(0.5)).a > 2.0) c = vec4(0.0);\n}\n"},
    // Red below the middle, green above.
    {"halves.glsl", "void mainImage(out vec4 c, in vec2 p) {\n"
                    "    c = p.y < iResolution.y * 0.5 ? vec4(1, 0, 0, 1) : vec4(0, 1, 0, 1);\n}\n"},
};

std::string Part(const std::string& className, int priority, const std::string& params)
{
    return "<part start=\"0\" end=\"100\" name=\"p" + std::to_string(priority) + "\" class=\"" + className +
           "\" priority=\"" + std::to_string(priority) + "\"><param " + params + "/></part>";
}

std::string Shader(int priority, const std::string& shader, const std::string& params)
{
    return Part("lib.Shader", priority, "shader=\"" + shader + "\" " + params);
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
        for (const auto& shader : Shaders) {
            std::ofstream(std::string("data/shaders/") + shader[0]) << shader[1];
        }
        SavePicture("test.png", 8, 8, [](int, int) { return VexelTest::Colours::Red; });
        SavePicture("bg.jpg", 8, 8, [](int, int) { return VexelTest::Colours::Red; });
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
        model = model != nullptr ? model : mApp->mModel;
        std::ofstream("buffers.xml", std::ios::trunc) << "<Halvorn-demo-settings><soundtrack file=\"none.ogg\"/>" +
                                                             buffers + "<demoparts>" + parts +
                                                             "</demoparts></Halvorn-demo-settings>";
        const VexelTest::Captured captured =
            VexelTest::Capture([&] { DemoSettingsLoaderXml().Load("buffers.xml", model, mApp.get()); });
        ASSERT_FALSE(captured.Threw()) << captured.What() << captured.err;
        model->mQuiet = true;
    }

    // One frame a step after the last.
    void Frame(double step)
    {
        mApp->mModel->Update(step);
        mApp->RenderParts(step);
    }

    // A pixel of a buffer's latest picture, from its bottom left.
    Texel TexelOf(const std::string& name, int x, int y) const
    {
        const int index = BufferSettings::IndexOf(mApp->mModel->mBuffers, QString::fromStdString(name));
        const DemoBuffers* buffers = mApp->Buffers();
        if (buffers == nullptr || index < 0) {
            ADD_FAILURE() << "no buffer " << name;
            return {};
        }
        const DemoBuffers::View view = buffers->At(index);
        std::vector<float> pixels(static_cast<std::size_t>(view.width) * view.height * 4);
        glBindTexture(GL_TEXTURE_2D, view.texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        const std::size_t at = (static_cast<std::size_t>(y) * view.width + x) * 4;
        return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
    }
};

TEST_F(BuffersGLTest, WhatPartsDrawIntoABufferReadOfItAndWhatItKeeps)
{
    const std::string accumulate = Shader(1, "mix.glsl", "target=\"b\" iChannel0=\"b\" add=\"1.0001 0 0 0\"");
    const std::string eighths = Shader(1, "mix.glsl", "target=\"b\" iChannel0=\"b\" add=\"0.125 0 0 0\"");
    const std::string additive =
        Shader(1, "mix.glsl", "target=\"b\" keep=\"0\" add=\"0.25 0 0 1\" blending=\"additive\"");
    const std::string time = Shader(1, "time.glsl", "target=\"b\" time=\"demo\"");
    const std::string copy = "target=\"copy\" iChannel0=\"b\"";
    const std::string floats = Buffer("b", "format=\"rgba16f\"");
    const std::string withCopy = floats + Buffer("copy", "format=\"rgba16f\"");
    // What happens in order: f a frame 0.5 s after the last, r a frame at the same moment (as while paused),
    // s a seek to the moment, c the screen's scissor box on (as the player keeps its clears in its picture).
    const struct
    {
        const char* what;
        std::string buffers;
        std::string parts;
        const char* steps;
        const char* buffer;
        Texel expected;
    } cases[] = {
        // clang-format off
        {"rgba32f keeps a value above 1 and its ten-thousandths", Buffer("b", "format=\"rgba32f\""), accumulate,
         "fff", "b", {3.0003f, 0, 0, 0}},
        {"rgba16f rounds them away", floats, accumulate, "fff", "b", {3.0f, 0, 0, 0}},
        {"rgba8 holds nothing above 1", Buffer("b"), accumulate, "fff", "b", {1.0f, 0, 0, 0}},
        {"a part reading its target gets the frame before's picture, not this frame's", floats,
         Part("lib.ClearScreen", 0, "target=\"b\" color=\"0 255 0\"") + eighths, "fff", "b", {0.375f, 0, 0, 0}},
        {"another buffer read after its writer shows this frame's picture", withCopy,
         time + Shader(2, "mix.glsl", copy), "fff", "copy", {0.15f, 0, 0, 1}},
        {"and before its writer the frame before's", withCopy,
         Shader(0, "mix.glsl", copy) + time, "fff", "copy", {0.1f, 0, 0, 1}},
        {"at half resolution a pass draws and reads half the pixels",
         Buffer("half", "format=\"rgba16f\" resolution=\"0.5\"") + floats, Shader(0, "size.glsl", "target=\"half\"") +
         Shader(1, "size.glsl", "target=\"b\" iChannel0=\"half\""), "f", "b", {0.64f, 0.36f, 0.32f, 0.18f}},
        {"clear never keeps what was added, in floats", floats, additive, "fff", "b", {0.75f, 0, 0, 3}},
        {"clear frame clears all of it first, whatever the scissor",
         Buffer("b", "format=\"rgba16f\" clear=\"frame\""), additive, "cfff", "b", {0.25f, 0, 0, 1}},
        {"a frame drawn again at the same moment does not run on", floats, eighths, "ffrr", "b", {0.25f, 0, 0, 0}},
        {"a seek starts it empty", floats, eighths, "fffs", "b", {0.125f, 0, 0, 0}},
        {"a clear part clears the buffer it draws into", Buffer("b"),
         Part("lib.ClearScreen", 1, "color=\"0 0 255\" target=\"b\""), "f", "b", {0, 0, 1, 0}},
        {"a picture part draws into it", Buffer("b"), Part("lib.Image", 1, "image=\"test.png\" relativeWidth=\"1\" "
         "relativeHeight=\"1\" target=\"b\""), "f", "b", {1, 0, 0, 1}},
        {"the test scene draws into it", Buffer("b"), Part("lib.TestPartVao", 1, "target=\"b\""), "f", "b",
         {1, 1, 1, 0}},
        {"a picture part shows a buffer upright", floats + Buffer("shown"), Shader(1, "halves.glsl", "target=\"b\"") +
         Part("lib.Image", 2, "image=\"@b\" relativeWidth=\"1\" relativeHeight=\"1\" target=\"shown\""), "f",
         "shown", {1, 0, 0, 1}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.buffers, c.parts);
        for (const char* step = c.steps; *step != '\0'; ++step) {
            if (*step == 'c') {
                glScissor(5, 5, 20, 10);
                glEnable(GL_SCISSOR_TEST);
            } else if (*step == 's') {
                mApp->mModel->Seek(mApp->mModel->mTime);
            }
            if (*step != 'c') {
                Frame(*step == 'f' ? 0.5 : 0.0);
            }
        }
        glDisable(GL_SCISSOR_TEST);
        // Only the sums of 1.0001 need float's own precision; 16-bit floats round in the third decimal.
        const float tolerance = c.expected[0] > 2.0f ? 2e-5f : 1e-3f;
        for (const Texel& texel : {TexelOf(c.buffer, 0, 0), TexelOf(c.buffer, 3, 2)}) {
            for (int channel = 0; channel < 4; ++channel) {
                EXPECT_NEAR(texel[channel], c.expected[channel], tolerance) << "channel " << channel;
            }
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(BuffersGLTest, PicturesFollowTheAreaAndANewTimelineTakesOverThoseThatFit)
{
    const std::string buffers = Buffer("b", "format=\"rgba16f\"") + Buffer("other", "format=\"rgba32f\"");
    const std::string parts = Shader(1, "mix.glsl", "target=\"b\" iChannel0=\"b\" add=\"0.25 0 0 0\"") +
                              Part("lib.ClearScreen", 2, "target=\"other\"");
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
    EXPECT_NEAR(TexelOf("b", 1, 1)[0], 0.5f, 1e-3f);
    SetArea(AreaWidth, AreaHeight);
    Frame(0.5);
    EXPECT_NEAR(TexelOf("b", 1, 1)[0], 0.75f, 1e-3f);
    EXPECT_EQ(pictures.PicturesMade(), 9);

    // A reload takes over the pictures of the same formats, started empty;
    // another format makes its own.
    for (const auto& [reloaded, made] :
         {std::pair<std::string, int>{buffers, 9},
          {Buffer("b", "format=\"rgba32f\"") + Buffer("other", "format=\"rgba32f\""), 11}}) {
        auto* fresh = new DemoModel;
        Load(reloaded, parts, fresh);
        delete mApp->mModel;
        mApp->mModel = fresh;
        Frame(0.5);
        EXPECT_EQ(pictures.PicturesMade(), made);
        EXPECT_NEAR(TexelOf("b", 1, 1)[0], 0.25f, 1e-3f);
    }
    EXPECT_EQ(pictures.Bytes(), static_cast<std::size_t>(AreaWidth * AreaHeight * (2 * 16 + 16)));
}
