#include "Halvorn/SettingsCheck.h"
#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"

#include "DemoData.h"
#include "HugePng.h"
#include "TempFolder.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A demo folder: a 64 s soundtrack, the shader pair, pictures made here.
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
        "    <part start=\"60\" end=\"70\" name=\"late\" class=\"lib.TestPartVao\" priority=\"5\"/>\n" +
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
        f + ":15:5: warning: part \"late\" ends at 70 s, after the music ends at 64 s",
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
}

TEST(DiagnosticTest, SummaryCountsErrorsAndWarningsNotNotes)
{
    using S = Diagnostic::Severity;
    const std::vector<Diagnostic> diagnostics = {{"f.xml", 1, 1, S::Error, "m"}, {"f.xml", 1, 1, S::Warning, "m"},
                                                 {"f.xml", 1, 1, S::Note, "m"}};
    EXPECT_EQ(Diagnostic::Summary(diagnostics), "1 error, 1 warning");
}

namespace {

// "LINE:COL" of the first occurrence of needle in text.
std::string At(const std::string& text, const std::string& needle)
{
    const std::size_t at = text.find(needle);
    EXPECT_NE(at, std::string::npos) << needle;
    const std::size_t lineStart = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    const long line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(at), '\n');
    return std::to_string(line) + ":" + std::to_string(at - lineStart + 1);
}

std::string Clear(const std::string& attributes, const std::string& color = "1 2 3")
{
    return "    <part " + attributes + " name=\"p\" class=\"lib.ClearScreen\"><param color=\"" + color +
           "\"/></part>\n";
}

} // namespace

TEST_F(SettingsCheckTest, ValuesTheLoaderReadsOtherwiseAreNamedWithWhatItMakesOfThem)
{
    std::string nested = "<Halvorn-demo-settings>\n";
    for (int i = 0; i < 1001; ++i) {
        nested += "<a>";
    }
    struct Case
    {
        std::string settings;
        // Where the problem is; the message after "warning: " or "error: ".
        std::string at;
        std::string diagnostic;
    };
    const std::string tempo = "<Halvorn-demo-settings>\n  <soundtrack file=\"data/music/track.ogg\"/>\n  ";
    const Case cases[] = {
        {Head + Clear("start=\"soon\" end=\"2\" priority=\"0\"") + Tail,
         "start=", "warning: start \"soon\" is not a number; 0 is used"},
        {Head + Clear("start=\"0\" end=\"2,5\" priority=\"0\"") + Tail, "end=", "warning: end \"2,5\" is read as 2"},
        {Head + Clear("start=\"1\" length=\"1s\" priority=\"0\"") + Tail,
         "length=", "warning: length \"1s\" is read as 1"},
        {Head + Clear("start=\"0\" end=\"2\" priority=\"-1\"") + Tail,
         "priority=", "warning: priority \"-1\" is negative and is read as 4294967295"},
        {Head + Clear("start=\"0\" end=\"2\" priority=\"4294967296\"") + Tail,
         "priority=", "warning: priority \"4294967296\" is larger than 4294967295 and is read as 0"},
        {Head + Clear("start=\"0\" end=\"2\" priority=\"99999999999999999999\"") + Tail,
         "priority=", "warning: priority \"99999999999999999999\" is larger than 4294967295 and is read as 4294967295"},
        {Head + Clear("start=\"0\" end=\"2\" priority=\"high\"") + Tail,
         "priority=", "warning: priority \"high\" is not a whole number; 0 is used"},
        {Head + Clear("start=\"0\" end=\"2\" priority=\"2.5\"") + Tail,
         "priority=", "warning: priority \"2.5\" is read as 2"},
        {Head + Clear("start=\"0\" end=\"2\" priority=\"0\"", "0 0 -1") + Tail,
         "color=", "warning: color \"0 0 -1\": blue -1 is outside 0-255 and is read as 255"},
        {Head + Clear("start=\"0\" end=\"2\" priority=\"0\"", "0 99999999999 0") + Tail, "color=",
         "error: color \"0 99999999999 0\": green 99999999999 is out of range: write 'r g b' with values 0-255"},
        {tempo + "<tempo bpm=\"0\"/>\n</Halvorn-demo-settings>\n",
         "bpm=", "warning: tempo bpm \"0\" is not a number greater than 0; the file has no tempo"},
        {tempo + "<tempo bpm=\"fast\"/>\n</Halvorn-demo-settings>\n",
         "bpm=", "warning: tempo bpm \"fast\" is not a number greater than 0; the file has no tempo"},
        {tempo + "<tempo bpm=\"1e400\"/>\n</Halvorn-demo-settings>\n",
         "bpm=", "warning: tempo bpm \"1e400\" is not a number greater than 0; the file has no tempo"},
        {tempo + "<tempo bpm=\"1e-320\"/>\n</Halvorn-demo-settings>\n",
         "bpm=", "warning: tempo bpm \"1e-320\" is so small that a bar has no finite length; the file has no tempo"},
        {tempo + "<tempo bpm=\"120\" beatsPerBar=\"0\"/>\n</Halvorn-demo-settings>\n",
         "beatsPerBar=", "warning: tempo beatsPerBar \"0\" is not a whole number from 1; the file has no tempo"},
        {tempo + "<tempo bpm=\"120\" offset=\"-inf\"/>\n</Halvorn-demo-settings>\n",
         "offset=", "warning: tempo offset \"-inf\" is not a finite time; the file has no tempo"},
        {tempo + "<tempo beatsPerBar=\"3\"/>\n</Halvorn-demo-settings>\n", "<tempo",
         "warning: the tempo has no bpm attribute; the file has no tempo"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", "<?xml",
         "error: the file has no document element <Halvorn-demo-settings>"},
        // The 1000th <a> would be the 1001st element: refused after its "<".
        {nested, "", "error: not well-formed XML: nested deeper than 1000 elements"},
    };
    const std::string f = (mFolder / "morvelin.xml").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.substr(0, 300));
        SettingsCheck check;
        const std::string at = c.at.empty() ? "2:" + std::to_string(999 * 3 + 2) : At(c.settings, c.at);
        EXPECT_EQ(Check(c.settings, check), std::vector<std::string>{f + ":" + at + ": " + c.diagnostic});
    }
}

TEST_F(SettingsCheckTest, PicturesTooLargeAreRefusedFromTheirHeaderWithoutDecoding)
{
    // Each header asks for more than 2 GiB decoded; the data stops after a few rows.
    VexelTest::WriteHugePngHeader((mFolder / "data/textures/rgb.png").string(), 27000, 27000, false);
    VexelTest::WriteHugePngHeader((mFolder / "data/textures/rgba.png").string(), 23200, 23200, true);
    VexelTest::WriteHugePngHeader((mFolder / "data/textures/interlaced.png").string(), 27000, 27000, false, true);
    std::string parts;
    for (const char* picture : {"rgb.png", "rgba.png", "interlaced.png"}) {
        parts += "    <part start=\"0\" end=\"8\" name=\"p\" class=\"lib.Image\" priority=\"1\"><param image=\"" +
                 std::string(picture) + "\"/></part>\n";
    }
    const std::string settings = Head + parts + Tail;
    const std::string f = (mFolder / "morvelin.xml").string() + ":";
    struct Case
    {
        int maxTextureSize;
        std::string refusal;
    };
    for (const Case& c : {Case{16384, ", larger than the GL maximum texture size 16384"},
                          Case{0, ", too large to decode (more than 2 GiB)"}}) {
        SettingsCheck check = c.maxTextureSize > 0 ? WithGl(c.maxTextureSize, {}) : SettingsCheck();
        std::vector<std::string> expected = {
            f + "5:76: error: picture \"data/textures/rgb.png\" is 27000x27000" + c.refusal,
            f + "6:76: error: picture \"data/textures/rgba.png\" is 23200x23200" + c.refusal,
            f + "7:76: error: picture \"data/textures/interlaced.png\" is 27000x27000" + c.refusal,
        };
        if (c.maxTextureSize == 0) {
            expected.insert(expected.begin(), f + "5:38: note: shader checks skipped: no GL context");
        }
        EXPECT_EQ(Check(settings, check), expected);
    }
}

TEST(DiagnosticTest, AReportStaysOnItsLineWhateverTheFileHolds)
{
    // Found by fuzzing: a picture name with a line end split its report in two.
    const struct
    {
        std::string message;
        std::string shown;
    } cases[] = {
        {"picture \"a\nb.png\" not found", "picture \"a\\nb.png\" not found"},
        {"value \"1\r\n\t2\"", "value \"1\\r\\n\\t2\""},
        {std::string("key \"\x01\x7f\xc3\xa9\""), "key \"\\x01\\x7f\xc3\xa9\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Diagnostic("d\nir/f.xml", 3, 4, Diagnostic::Severity::Warning, c.message).Format(),
                  "d\\nir/f.xml:3:4: warning: " + c.shown);
    }
}
