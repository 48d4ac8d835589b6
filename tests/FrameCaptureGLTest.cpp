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

    std::ofstream(mFolder / "file") << "not a folder";
    const auto out = [this](const std::string& folder) { return (mFolder / folder / "%02d.png").string(); };
    struct Case
    {
        std::string folder;
        long stopAfter;
        int status;
        long frames;
        std::string lastLine;
    };
    const Case cases[] = {
        {"all", -1, 0, 10, "captured 10 frames to " + out("all") + " in "},
        {"stopped", 3, FrameCapture::StoppedStatus, 3, "capture stopped after 3 of 10 frames: " + out("stopped") + " holds the frames done"},
        {"file", -1, 1, 0,
         "capture failed: " + out("file") + ": cannot write " + (mFolder / "file/audio.wav").string() +
             ": Not a directory"},
    };
    for (const Case& c : cases) {
        options.mOut = out(c.folder);
        long asked = 0;
        int status = -1;
        const VexelTest::Captured output = VexelTest::Capture([&] {
            status = FrameCapture(options, range, "").Run(Paint, [&] { return asked++ == c.stopAfter; });
        });
        EXPECT_EQ(status, c.status);
        ASSERT_FALSE(output.ErrLines().empty());
        EXPECT_EQ(output.ErrLines().back().rfind(c.lastLine, 0), 0u) << output.err;
        for (long n = 0; n < 11; ++n) {
            char name[8];
            std::snprintf(name, sizeof name, "%02ld.png", n);
            EXPECT_EQ(RedOf(mFolder / c.folder / name), n < c.frames ? 50 + 10 * n : -1) << c.folder << " " << n;
        }
        EXPECT_EQ(fs::exists(mFolder / c.folder / "audio.wav"), c.status != 1);
    }
}
