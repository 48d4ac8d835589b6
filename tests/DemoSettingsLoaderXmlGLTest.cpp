#include "Halvorn/DemoSettingsLoaderXml.h"

#include "AssertException.h"
#include "Audio/Audio2d.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoModel.h"
#include "OutputCapture.h"
#include "XvfbServer.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using VexelTest::Capture;
using Lines = std::vector<std::string>;

namespace {

// What the loader handed to the factory, written out so that a whole call
// compares as one text.
std::string Describe(float start, float end, unsigned int priority, const QString& name,
                     const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params,
                     const QString& className)
{
    std::ostringstream text;
    text.precision(17);
    text << className.toStdString() << " '" << name.toStdString() << "' " << static_cast<double>(start) << " "
         << static_cast<double>(end) << " " << priority << " attributes";
    for (const DemoPartParam& param : attributeParams) {
        text << " " << param.mName.toStdString() << "=" << param.mValue.toStdString();
    }
    text << " params";
    for (const DemoPartParam& param : params) {
        text << " " << param.mName.toStdString() << "=" << param.mValue.toStdString();
    }
    return text.str();
}

class LoadedPart : public DemoPart
{
public:
    using DemoPart::DemoPart;

    void UpdateDemoPart(double, double, double) override {}
    void RenderDemoPart(double, double, double) override {}
    DemoPart* Clone() override { return nullptr; }
};

// Records every factory call; "lib.Nothing" is the one class it does not know.
class RecordingDemoApp : public DemoApp
{
public:
    RecordingDemoApp() : DemoApp(0, nullptr, "Loader", "1", 1280, 720, 16.0f / 9.0f, true, 3, 3) {}

    DemoPart* GetDemoPart(float start, float end, unsigned int priority, const QString& name,
                          const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params,
                          const QString& className) override
    {
        std::cout << "RecordingDemoApp::GetDemoPart()" << std::endl;
        mCalls.push_back(Describe(start, end, priority, name, attributeParams, params, className));
        if (className == QLatin1String("lib.Nothing")) {
            return nullptr;
        }
        return new LoadedPart(this, start, end, priority, name, attributeParams, params, className);
    }

    std::vector<std::string> mCalls;
};

struct Failure
{
    std::string expression;
    std::string file;
};

Failure AssertionOf(const VexelTest::Captured& captured)
{
    try {
        if (captured.exception) {
            std::rethrow_exception(captured.exception);
        }
    } catch (const AssertException& e) {
        return {e.expression, e.file};
    } catch (...) {
        return {"<another exception>", ""};
    }
    return {"<no exception>", ""};
}

Lines PartNames(const boost::ptr_list<DemoPart>& parts)
{
    Lines names;
    for (const DemoPart& part : parts) {
        names.push_back(part.mName.toStdString());
    }
    return names;
}

const std::string Head = "<Halvorn-demo-settings><soundtrack file=\"s.ogg\"/><demoparts>";
const std::string Tail = "</demoparts></Halvorn-demo-settings>";

} // namespace

class DemoSettingsLoaderXmlGLTest : public ::testing::Test
{
protected:
    // Called from SetUp: a failure in a suite set-up would only mark the tests skipped.
    static void CreateApp()
    {
        if (sApp != nullptr) {
            return;
        }
        VexelTest::EnsureDisplay();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const auto captured = Capture([&] { sApp = new RecordingDemoApp(); });
        ASSERT_FALSE(captured.Threw()) << captured.err;
    }
    static void TearDownTestSuite()
    {
        if (sApp == nullptr) {
            return;
        }
        Capture([&] {
            Audio2d* audio = sApp->mAudio;
            delete sApp;
            delete audio;
        });
        sApp = nullptr;
        SDL_Quit();
    }
    void SetUp() override
    {
        CreateApp();
        ASSERT_NE(sApp, nullptr);
        sApp->mCalls.clear();
        Capture([&] { sApp->mModel->Clear(); });
        sApp->mModel->mName = sApp->mModel->mVersion = sApp->mModel->mSoundtrackFile = QString();
        mFolder = std::filesystem::temp_directory_path() /
                  ("vexel-loader-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(mFolder);
    }
    void TearDown() override { std::filesystem::remove_all(mFolder); }

    // Writes the settings file and loads it into the shared application.
    VexelTest::Captured Load(const std::string& content, const std::string& fileName = "settings.xml")
    {
        const std::string path = (mFolder / fileName).string();
        std::ofstream(path, std::ios::binary) << content;
        return LoadPath(path);
    }
    VexelTest::Captured LoadPath(const std::string& path)
    {
        mPath = path;
        return Capture([&] { DemoSettingsLoaderXml().Load(QString::fromStdString(path), sApp->mModel, sApp); });
    }
    std::string LoadingLine() const { return "Loading demo settings from \"" + mPath + "\"..."; }

    static RecordingDemoApp* sApp;
    std::filesystem::path mFolder;
    std::string mPath;
};

RecordingDemoApp* DemoSettingsLoaderXmlGLTest::sApp = nullptr;

TEST_F(DemoSettingsLoaderXmlGLTest, ReadsTheWholeFileIntoModelAndFactory)
{
    const auto captured = Load(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Halvorn-demo-settings>\n"
        "  <name>M\xC3\xB6rvelin</name><name>second name</name>\n"
        "  <version>.666</version>\n"
        "  <soundtrack file=\"data/music/t.ogg\"/>\n"
        "  <demoparts>\n"
        "    <part start=\"2\" length=\"3\" end=\"9\" name=\"sky\" class=\"lib.ClearScreen\" priority=\"4\""
        " clearZBuffer=\"true\" colour=\"ignored\" clearBackground=\"false\" musicTrack=\"main\">\n"
        "      <param color=\"1 2 3\" blend=\"additive\"/>\n"
        "      <scene file=\"intro.scene\"/>\n"
        "      <param/>\n"
        "      <param image=\"a.png\" flag/>\n"
        "      <scene/>\n"
        "    </part>\n"
        "    <Part START=\"0.1\" End=\"1\" NAME=\"early\" Class=\"lib.Image\" PRIORITY=\" 7 apples\">\n"
        "      <PARAM Image=\"b.png\"/>\n"
        "    </Part>\n"
        "    <part start=\"abc\" end=\"1e1\" name=\"wrapped\" class=\"x\" priority=\"-1\"/>\n"
        "  </demoparts>\n"
        "  <demoparts><part start=\"0\" end=\"1\" name=\"ignored\" class=\"x\" priority=\"0\"/></demoparts>\n"
        "</Halvorn-demo-settings>\n");
    ASSERT_FALSE(captured.Threw()) << captured.err;
    EXPECT_EQ(captured.err, "");

    EXPECT_EQ(sApp->mModel->mName, QString::fromUtf8("M\xC3\xB6rvelin"));
    EXPECT_EQ(sApp->mModel->mVersion, ".666");
    EXPECT_EQ(sApp->mModel->mSoundtrackFile, "data/music/t.ogg");

    // length wins over end; times pass through float; atoi reads a prefix and
    // a negative priority wraps; names keep the letter case they were written in.
    EXPECT_EQ(sApp->mCalls,
              (Lines{"lib.ClearScreen 'sky' 2 5 4 attributes musicTrack=main clearBackground=false"
                     " clearZBuffer=true params color=1 2 3 blend=additive image=a.png flag=",
                     "lib.Image 'early' 0.10000000149011612 1 7 attributes params Image=b.png",
                     "x 'wrapped' 0 10 4294967295 attributes params"}));

    EXPECT_EQ(captured.OutLines(),
              (Lines{LoadingLine(),
                     "RecordingDemoApp::GetDemoPart()",
                     "DemoPart [2 - 5 sky, class=lib.ClearScreen, priority=4, music=]",
                     "  => scene=\"intro.scene\" (not loaded!)",
                     "  => scene without a file attribute (not loaded!)",
                     "RecordingDemoApp::GetDemoPart()",
                     "DemoPart [0.1 - 1 early, class=lib.Image, priority=7, music=]",
                     "RecordingDemoApp::GetDemoPart()",
                     "DemoPart [0 - 10 wrapped, class=x, priority=4294967295, music=]"}));

    // The timeline orders by start; the part keeps the widened float start.
    EXPECT_EQ(PartNames(sApp->mModel->mFutureParts), (Lines{"wrapped", "early", "sky"}));
    const DemoPart& early = *std::next(sApp->mModel->mFutureParts.begin());
    EXPECT_EQ(early.mStart, static_cast<double>(0.1f));
    EXPECT_NE(early.mStart, 0.1);
}

TEST_F(DemoSettingsLoaderXmlGLTest, MissingFileThrowsADomainErrorAndChangesNothing)
{
    sApp->mModel->mName = "kept";
    sApp->mModel->AddPart(new LoadedPart(sApp, 0, 1, 0, "old", {}, {}, "x"));
    const std::string path = (mFolder / "absent.xml").string();

    const auto captured = LoadPath(path);
    ASSERT_TRUE(captured.Threw());
    EXPECT_THROW(std::rethrow_exception(captured.exception), std::domain_error);
    EXPECT_EQ(captured.What(), "File not found! (\"" + path + "\")");
    EXPECT_EQ(captured.OutLines(), Lines{LoadingLine()});
    EXPECT_EQ(captured.err, "");
    EXPECT_EQ(sApp->mModel->mName, "kept");
    EXPECT_EQ(PartNames(sApp->mModel->mFutureParts), Lines{"old"});
}

TEST_F(DemoSettingsLoaderXmlGLTest, WithoutDemopartsTheModelIsClearedAndTextsMayBeMissing)
{
    sApp->mModel->mName = "old name";
    sApp->mModel->AddPart(new LoadedPart(sApp, 0, 1, 0, "old", {}, {}, "x"));
    sApp->mModel->mTime = 3.0;

    const auto captured = Load("<Halvorn-demo-settings><SoundTrack FILE=\"m.ogg\"/></Halvorn-demo-settings>");
    ASSERT_FALSE(captured.Threw()) << captured.err;
    EXPECT_EQ(captured.OutLines(), (Lines{LoadingLine()}));
    EXPECT_TRUE(sApp->mModel->mName.isEmpty());
    EXPECT_TRUE(sApp->mModel->mVersion.isEmpty());
    EXPECT_EQ(sApp->mModel->mSoundtrackFile, "m.ogg");
    EXPECT_TRUE(sApp->mModel->mFutureParts.empty());
    EXPECT_EQ(sApp->mModel->mTime, 0.0);
    EXPECT_TRUE(sApp->mCalls.empty());
}

// The end-to-end tests go through every check; these are the cases they leave out.
TEST_F(DemoSettingsLoaderXmlGLTest, BrokenEntriesFailTheirChecksBeforeTheFactoryIsAsked)
{
    const struct
    {
        const char* what;
        std::string content;
        std::string expression;
    } cases[] = {
        {"no soundtrack", "<Halvorn-demo-settings><name>n</name></Halvorn-demo-settings>",
         "false && \"Not implemented yet\""},
        {"start without value", Head + "<part start end=\"1\" name=\"p\" class=\"c\" priority=\"0\"/>" + Tail,
         "temp != 0 && \"=> start-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!\""},
        {"clearZBuffer 1",
         Head + "<part start=\"0\" end=\"1\" name=\"p\" class=\"c\" priority=\"0\" clearZBuffer=\"1\"/>" + Tail,
         "0 != 0 && \"=> clearZBuffer-attribute has unknown value n <Halvorn-demo-settings>::<demoparts>::<part>!"
         " Valid values are either 'true' or 'false'.\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sApp->mCalls.clear();
        const auto captured = Load(c.content);
        const Failure failure = AssertionOf(captured);
        EXPECT_EQ(failure.expression, c.expression);
        EXPECT_EQ(failure.file, "lib/Vexel/src/Halvorn/DemoSettingsLoaderXml.cpp");
        EXPECT_TRUE(sApp->mCalls.empty());
    }
}

TEST_F(DemoSettingsLoaderXmlGLTest, UnknownClassIsNamedAndEarlierPartsStayInTheModel)
{
    const auto captured = Load(Head + "<part start=\"0\" end=\"1\" name=\"first\" class=\"lib.Image\" priority=\"0\"/>"
                                      "<part start=\"0\" end=\"1\" name=\"second\" class=\"lib.Nothing\" priority=\"0\"/>"
                                      "<part start=\"0\" end=\"1\" name=\"third\" class=\"lib.Image\" priority=\"0\"/>" +
                               Tail);
    EXPECT_EQ(AssertionOf(captured).expression, "demoPart != 0");
    EXPECT_EQ(captured.OutLines(), (Lines{LoadingLine(), "RecordingDemoApp::GetDemoPart()",
                                          "DemoPart [0 - 1 first, class=lib.Image, priority=0, music=]",
                                          "RecordingDemoApp::GetDemoPart()",
                                          "!! DemoPart class=\"lib.Nothing\" was not added to DemoApp!"}));
    EXPECT_EQ(PartNames(sApp->mModel->mFutureParts), Lines{"first"});
}

TEST_F(DemoSettingsLoaderXmlGLTest, ALaterLoadReplacesEarlierParts)
{
    ASSERT_FALSE(Load(Head + "<part start=\"0\" end=\"1\" name=\"a\" class=\"c\" priority=\"0\"/>" + Tail).Threw());
    const auto captured = Load("<Halvorn-demo-settings><name>two</name><soundtrack file=\"t.ogg\"/><demoparts>"
                               "<part start=\"5\" end=\"6\" name=\"b\" class=\"c\" priority=\"0\"/>"
                               "<part start=\"1\" end=\"2\" name=\"c\" class=\"c\" priority=\"0\"/>" +
                               Tail);
    ASSERT_FALSE(captured.Threw()) << captured.err;
    EXPECT_EQ(sApp->mModel->mName, "two");
    EXPECT_EQ(sApp->mModel->mSoundtrackFile, "t.ogg");
    EXPECT_EQ(PartNames(sApp->mModel->mFutureParts), (Lines{"c", "b"}));
}
