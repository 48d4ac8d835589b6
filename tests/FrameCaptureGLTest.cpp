#include "FrameCapture.h"

#include "GlTestFixture.h"
#include "OutputCapture.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class FrameCaptureGLTest : public VexelTest::GlTestFixture
{
protected:
    void SetUp() override
    {
        GlTestFixture::SetUp();
        std::string pattern = (fs::temp_directory_path() / "vexel-frames-XXXXXX").string();
        mFolder = ::mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(mFolder); }

    // The red of a PNG's top-left pixel, -1 when it cannot be read.
    static int RedOf(const fs::path& file)
    {
        SDL_Surface* loaded = IMG_Load(file.c_str());
        if (loaded == nullptr) {
            return -1;
        }
        SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
        const int red = static_cast<const unsigned char*>(rgb->pixels)[0];
        SDL_FreeSurface(rgb);
        SDL_FreeSurface(loaded);
        return red;
    }

    // Each frame shows its own time: red = 100 * t.
    static void Paint(double time)
    {
        glClearColor(static_cast<float>(std::lround(time * 100.0) / 255.0), 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    fs::path mFolder;
};

TEST_F(FrameCaptureGLTest, EveryFrameShowsItsOwnTimeAndAStopKeepsTheFramesDone)
{
    CaptureOptions options;
    options.mEnabled = true;
    options.mKind = CaptureOutputKind::PngSequence;
    options.mWidth = 32;
    options.mHeight = 18;
    CaptureRange range;
    range.mFrom = 0.5;
    range.mTo = 1.5;
    range.mFps = 10;

    struct Case
    {
        std::string folder;
        long stopAfter;
        long frames;
        std::string lastLine;
    };
    const Case cases[] = {
        {"all", -1, 10, "captured 10 frames to " + (mFolder / "all/%02d.png").string() + " in "},
        {"stopped", 3, 3, "capture stopped after 3 of 10 frames: " + (mFolder / "stopped/%02d.png").string() +
                              " holds the frames done"},
    };
    for (const Case& c : cases) {
        options.mOut = (mFolder / c.folder / "%02d.png").string();
        long asked = 0;
        int status = -1;
        const VexelTest::Captured output = VexelTest::Capture([&] {
            status = FrameCapture(options, range, "").Run(Paint, [&] { return asked++ == c.stopAfter; });
        });
        EXPECT_EQ(status, 0);
        ASSERT_FALSE(output.ErrLines().empty());
        EXPECT_EQ(output.ErrLines().back().rfind(c.lastLine, 0), 0u) << output.err;
        for (long n = 0; n < 11; ++n) {
            char name[8];
            std::snprintf(name, sizeof name, "%02ld.png", n);
            EXPECT_EQ(RedOf(mFolder / c.folder / name), n < c.frames ? 50 + 10 * n : -1) << c.folder << " " << n;
        }
        EXPECT_TRUE(fs::exists(mFolder / c.folder / "audio.wav"));
    }
}

TEST_F(FrameCaptureGLTest, FailuresSaySoWithStatusOne)
{
    std::ofstream(mFolder / "file") << "not a folder";
    CaptureOptions options;
    options.mEnabled = true;
    options.mWidth = 32;
    options.mHeight = 18;
    CaptureRange range;
    range.mTo = 1.0;
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {(mFolder / "file/out.mp4").string(), "",
         "capture failed: " + (mFolder / "file/out.mp4").string() + ": cannot write " +
             (mFolder / "file/out.mp4").string() + ": Not a directory"},
        {(mFolder / "out.mp4").string(), (mFolder / "none.ogg").string(), "capture failed: cannot read the soundtrack " +
                                             (mFolder / "none.ogg").string() +
                                             ": cannot open it: No such file or directory"},
    };
    for (const auto& [out, soundtrack, message] : cases) {
        options.mOut = out;
        int status = -1;
        const VexelTest::Captured output = VexelTest::Capture(
            [&] { status = FrameCapture(options, range, soundtrack).Run(Paint, nullptr); });
        EXPECT_EQ(status, 1);
        ASSERT_FALSE(output.ErrLines().empty());
        EXPECT_EQ(output.ErrLines().back(), message);
        EXPECT_FALSE(fs::exists(out));
    }
}
