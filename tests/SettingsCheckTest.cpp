#include "Halvorn/SettingsCheck.h"
#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"

#include "DemoData.h"
#include "TempFolder.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <QString>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A demo folder: a 90 s soundtrack, the shader pair, pictures made here.
class SettingsCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VexelTest::CopyDemoData(mFolder);
        Picture("good.png", 32, 32, 24);
        Picture("big.png", 100, 10, 32);
        Picture("test.png", 8, 8, 24);
    }

    void Picture(const std::string& name, int width, int height, int bits)
    {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(
            0, width, height, bits, bits == 24 ? SDL_PIXELFORMAT_RGB24 : SDL_PIXELFORMAT_RGBA32);
        ASSERT_NE(surface, nullptr);
        ASSERT_EQ(IMG_SavePNG(surface, (mFolder / "data/textures" / name).c_str()), 0);
        SDL_FreeSurface(surface);
    }

    std::vector<std::string> Check(const std::string& settings, SettingsCheck& check)
    {
        const fs::path file = mFolder / "morvelin.xml";
        std::ofstream(file) << settings;
        std::vector<std::string> lines;
        for (const Diagnostic& diagnostic : check.Run(QString::fromStdString(file.string()))) {
            lines.push_back(diagnostic.Format());
        }
        return lines;
    }

    static SettingsCheck WithGl(int maxTextureSize, std::vector<Diagnostic> shaderProblems)
    {
        SettingsCheck check;
        SettingsCheck::GlFacts facts;
        facts.maxTextureSize = maxTextureSize;
        facts.checkShaders = [shaderProblems](const QString&, const QString&) { return shaderProblems; };
        check.SetGlFacts(facts);
        return check;
    }

    VexelTest::TempFolder mTemp;
    const fs::path& mFolder = mTemp.Path();
};

const std::string Head = "<?xml version=\"1.0\"?>\n<Halvorn-demo-settings>\n"
                         "  <soundtrack file=\"data/music/track.ogg\"/>\n  <demoparts>\n";
const std::string Tail = "  </demoparts>\n</Halvorn-demo-settings>\n";

} // namespace

// Problems that --check shows end to end are left to that test.
TEST_F(SettingsCheckTest, EveryProblemAtItsPlaceInFileOrder)
{
    const std::string settings =
        Head + "    <part start=\"nan\" length=\"2\" name=\"ghost\" class=\"lib.Nothing\" priority=\"1\"/>\n"
        "    <part start=\"1\" end=\"2\" name=\"big\" class=\"lib.Image\" priority=\"2\">\n"
        "      <param image=\"big.png\" align=\"left  top\" alpha=\"inf\"/>\n"
        "      <animate to=\"9\"/>\n"
        "    </part>\n"
        "    <part start=\"3\" end=\"1\" class=\"lib.Image\" priority=\"3\"><param image=\"missing.png\"/></part>\n"
        "    <part start=\"2\" end=\"4\" name=\"hidden\" class=\"lib.Image\" priority=\"4\">\n"
        "      <param image=\"palette.bmp\" blending=\"translucent\"/>\n"
        "    </part>\n"
        "    <part start=\"2\" end=\"5\" name=\"cover\" class=\"lib.ClearScreen\" priority=\"9\"/>\n"
        "    <part start=\"60\" end=\"99\" name=\"late\" class=\"lib.TestPartVao\" priority=\"5\"/>\n" +
        Tail;
    SettingsCheck check = WithGl(64, {Diagnostic("std.frag", 3, 7, Diagnostic::Severity::Error, "'x' : undeclared")});
    check.AddChildCheck("ANIMATE", [](SettingsCheck& c, const XmlElement&, const XmlElement& child) {
        c.Report(Diagnostic::Severity::Warning, child, "to", "animate checked");
    });
    const std::string f = (mFolder / "morvelin.xml").string();
    const std::vector<std::string> expected = {
        f + ":5:11: error: start \"nan\" is not a finite time",
        f + ":5:47: error: unknown part class \"lib.Nothing\"",
        "std.frag:3:7: warning: 'x' : undeclared",
        f + ":7:14: warning: picture \"data/textures/big.png\" is 100x10, larger than the GL maximum texture size 64",
        f + ":7:30: warning: unknown align word \"\"",
        f + ":7:48: warning: value \"inf\" for \"alpha\" is not a finite number; 0 is used",
        f + ":8:16: warning: animate checked",
        f + ":10:5: error: the part has no name attribute",
        f + ":10:5: warning: part \"\" ends at 1 s, before it starts at 3 s",
        f + ":10:67: error: picture \"data/textures/missing.png\" not found",
        f + ":11:5: warning: part \"hidden\" never shows: ClearScreen part \"cover\" (priority 9) clears the screen "
            "over all of its time",
        f + ":12:14: error: picture \"data/textures/palette.bmp\" is not true-colour (8 bits per pixel)",
        f + ":12:34: warning: unknown blending \"translucent\" (opaque, transcluent, additive, subtractive or "
            "reversesubtractive)",
        f + ":15:5: warning: part \"late\" ends at 99 s, after the music ends at 90 s",
        f + ":15:43: error: picture \"data/textures/bg.jpg\" not found",
    };
    const std::vector<std::string> found = Check(settings, check);
    EXPECT_EQ(found, expected);
    std::vector<Diagnostic> again = check.Run(QString::fromStdString(f));
    EXPECT_EQ(Diagnostic::Summary(again), "6 errors, 9 warnings");
    EXPECT_EQ(again.at(2).mSeverity, Diagnostic::Severity::Warning) << "shader reports are warnings";
}

TEST_F(SettingsCheckTest, CleanFileAndFilesThatCannotBeRead)
{
    const std::string clean = Head +
                              "    <part start=\"0\" end=\"8\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"0\">\n"
                              "      <param color=\"6 2 18\"/>\n    </part>\n"
                              "    <part start=\"0\" length=\"8\" name=\"pic\" class=\"lib.Image\" priority=\"1\">\n"
                              "      <param image=\"good.png\" align=\"left top\" blending=\"additive\"/>\n"
                              "    </part>\n" +
                              Tail;
    SettingsCheck withGl = WithGl(4096, {});
    // A picture changed on disk between runs is shown by the reload test.
    EXPECT_EQ(Check(clean, withGl), std::vector<std::string>{});
    const std::string f = (mFolder / "morvelin.xml").string();

    // The reader's process-wide table is put back as it was.
    XmlEncoding::UseUtf8Table(false);
    SettingsCheck headless;
    EXPECT_EQ(Check(clean, headless),
              std::vector<std::string>{f + ":8:43: note: shader checks skipped: no GL context"});
    EXPECT_FALSE(XmlEncoding::Utf8TableInForce());
    XmlEncoding::UseUtf8Table(true);

    const struct
    {
        std::string settings;
        std::string diagnostic;
    } cases[] = {
        // Bad XML and a wrong document element are shown by the reload test.
        {"<Halvorn-demo-settings>\n <soundtrack/>\n</Halvorn-demo-settings>\n",
         f + ":2:2: error: the soundtrack has no file attribute"},
        {"<Halvorn-demo-settings><soundtrack file=\"none.ogg\"/></Halvorn-demo-settings>",
         f + ":1:36: error: soundtrack \"none.ogg\" not found"},
        {"<Halvorn-demo-settings><soundtrack file=\"data/textures/good.png\"/></Halvorn-demo-settings>",
         f + ":1:36: error: soundtrack \"data/textures/good.png\" cannot be loaded: "},
        {"", f + ":1:1: error: the file is empty"},
    };
    for (const auto& c : cases) {
        SettingsCheck check;
        const std::vector<std::string> found = Check(c.settings, check);
        ASSERT_EQ(found.size(), 1u) << c.settings;
        EXPECT_EQ(found[0].substr(0, c.diagnostic.size()), c.diagnostic);
    }
}

TEST(DiagnosticTest, SummaryCountsErrorsAndWarningsNotNotes)
{
    using S = Diagnostic::Severity;
    const std::vector<Diagnostic> diagnostics = {{"f.xml", 1, 1, S::Error, "m"}, {"f.xml", 1, 1, S::Warning, "m"},
                                                 {"f.xml", 1, 1, S::Note, "m"}};
    EXPECT_EQ(Diagnostic::Summary(diagnostics), "1 error, 1 warning");
}
