#include "Halvorn/SettingsCheck.h"
#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"

#include "DemoData.h"
#include "HugePng.h"
#include "TempFolder.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>

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
        "std.frag:3:7: error: 'x' : undeclared",
        f + ":7:14: error: picture \"data/textures/big.png\" is 100x10, larger than the GL maximum texture size 64",
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
    EXPECT_EQ(Diagnostic::Summary(again), "8 errors, 7 warnings");
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

    // Found by fuzzing: an attribute written without a value once ended the check.
    SettingsCheck valueless;
    const std::vector<std::string> found =
        Check(Head + "    <part start=\"0\" end=\"8\" name=\"t\" class=\"lib.Text\" priority=\"0\">\n"
                     "      <param text=\"A\" size/>\n    </part>\n" + Tail,
              valueless);
    EXPECT_NE(std::find_if(found.begin(), found.end(),
                           [](const std::string& line) {
                               return line.find("warning: size \"\" is not above 0: the text does not show") !=
                                      std::string::npos;
                           }),
              found.end());
}

TEST(DiagnosticTest, SummaryCountsErrorsAndWarningsNotNotes)
{
    using S = Diagnostic::Severity;
    const std::vector<Diagnostic> diagnostics = {{"f.xml", 1, 1, S::Error, "m"}, {"f.xml", 1, 1, S::Warning, "m"},
                                                 {"f.xml", 1, 1, S::Note, "m"}};
    EXPECT_EQ(Diagnostic::Summary(diagnostics), "1 error, 1 warning");
}

// What the loader reads otherwise than written, named with what it makes of it.
TEST_F(SettingsCheckTest, ValuesTheLoaderReadsOtherwiseAreNamed)
{
    const std::string parts =
        "    <part start=\"soon\" end=\".5,5\" name=\"a\" class=\"lib.ClearScreen\" priority=\"-1\"/>\n"
        "    <part start=\"1\" length=\"1s\" name=\"b\" class=\"lib.ClearScreen\" priority=\"4294967296\"/>\n"
        "    <part start=\"3\" end=\"4\" name=\"c\" class=\"lib.ClearScreen\" priority=\"2.5\">\n"
        "      <param color=\"0 0 -1\"/><param color=\"0 99999999999 0\"/></part>\n";
    const std::string f = (mFolder / "morvelin.xml").string();
    SettingsCheck check;
    EXPECT_EQ(Check(Head + parts + Tail, check),
              (std::vector<std::string>{
                  f + ":5:11: warning: start \"soon\" is not a number; 0 is used",
                  f + ":5:24: warning: end \".5,5\" is read as 0.5",
                  f + ":5:68: warning: priority \"-1\" is negative and is read as 4294967295",
                  f + ":6:21: warning: length \"1s\" is read as 1",
                  f + ":6:66: warning: priority \"4294967296\" is larger than 4294967295 and is read as 0",
                  f + ":7:62: warning: priority \"2.5\" is read as 2",
                  f + ":8:14: warning: color \"0 0 -1\": blue -1 is outside 0-255 and is read as 255",
                  f + ":8:37: error: color \"0 99999999999 0\": green 99999999999 is out of range: write 'r g b' "
                      "with values 0-255",
              }));

    // Whole files: a tempo the loader leaves out, no document element, too deep.
    std::string nested = "<Halvorn-demo-settings>\n";
    for (int i = 0; i < 1001; ++i) {
        nested += "<a>";
    }
    const std::string tempo = "<Halvorn-demo-settings><soundtrack file=\"data/music/track.ogg\"/>\n<tempo ";
    const std::string dropped = "; the file has no tempo";
    const std::pair<std::string, std::string> files[] = {
        {tempo + "bpm=\"0\"/></Halvorn-demo-settings>",
         "2:8: warning: tempo bpm \"0\" is not a number greater than 0" + dropped},
        {tempo + "bpm=\"1e-320\"/></Halvorn-demo-settings>",
         "2:8: warning: tempo bpm \"1e-320\" is so small that a bar has no finite length" + dropped},
        {tempo + "bpm=\"60\" beatsPerBar=\"0\"/></Halvorn-demo-settings>",
         "2:17: warning: tempo beatsPerBar \"0\" is not a whole number from 1" + dropped},
        {tempo + "bpm=\"60\" offset=\"nan\"/></Halvorn-demo-settings>",
         "2:17: warning: tempo offset \"nan\" is not a finite time" + dropped},
        {"<?xml version=\"1.0\"?>\n", "1:1: error: the file has no document element <Halvorn-demo-settings>"},
        // The 1000th <a> would be the 1001st element: refused after its "<".
        {nested, "2:2999: error: not well-formed XML: nested deeper than 1000 elements"},
    };
    for (const auto& [text, diagnostic] : files) {
        SettingsCheck fresh;
        EXPECT_EQ(Check(text, fresh), std::vector<std::string>{f + ":" + diagnostic});
    }
}

TEST_F(SettingsCheckTest, PicturesTooLargeAreRefusedFromTheirHeader)
{
    // More than 2 GiB decoded, streamed by rows or not; the data stops after a few rows.
    VexelTest::WriteHugePngHeader((mFolder / "data/textures/rgba.png").string(), 23200, 23200, true);
    VexelTest::WriteHugePngHeader((mFolder / "data/textures/interlaced.png").string(), 27000, 27000, false, true);
    const std::string settings =
        Head +
        "    <part start=\"0\" end=\"8\" name=\"p\" class=\"lib.Image\" priority=\"1\"><param image=\"rgba.png\"/></part>\n"
        "    <part start=\"0\" end=\"8\" name=\"q\" class=\"lib.Image\" priority=\"1\"><param image=\"interlaced.png\"/></part>\n" +
        Tail;
    const std::string f = (mFolder / "morvelin.xml").string() + ":";
    for (const int maxTextureSize : {16384, 0}) {
        const std::string refusal = maxTextureSize > 0 ? ", larger than the GL maximum texture size 16384"
                                                       : ", too large to decode (more than 2 GiB)";
        SettingsCheck check = WithGl(maxTextureSize, {});
        std::vector<std::string> expected = {
            f + "5:76: error: picture \"data/textures/rgba.png\" is 23200x23200" + refusal,
            f + "6:76: error: picture \"data/textures/interlaced.png\" is 27000x27000" + refusal};
        EXPECT_EQ(Check(settings, check), expected);
    }
}

TEST(DiagnosticTest, AReportStaysOnItsLineWhateverTheFileHolds)
{
    // Found by fuzzing: a picture name with a line end split its report in two.
    EXPECT_EQ(Diagnostic("d\nf.xml", 3, 4, Diagnostic::Severity::Warning, "value \"1\r\n\t2\x01\x7f\xc3\xa9\"").Format(),
              "d\\nf.xml:3:4: warning: value \"1\\r\\n\\t2\\x01\\x7f\xc3\xa9\"");
}
