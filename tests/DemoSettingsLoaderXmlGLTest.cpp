#include "Halvorn/DemoSettingsLoaderXml.h"

#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoModel.h"
#include "TestApp.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using VexelTest::Capture;
using Lines = std::vector<std::string>;
using Params = std::vector<DemoPartParam>;

namespace {

class LoadedPart : public DemoPart
{
public:
    using DemoPart::DemoPart;

    void UpdateDemoPart(double, double, double) override {}
    void RenderDemoPart(double, double, double) override {}
    DemoPart* Clone() override { return nullptr; }
};

// Records every factory call as one text; "lib.Nothing" is the one class it does not know.
class RecordingDemoApp : public DemoApp
{
public:
    RecordingDemoApp() : DemoApp(0, nullptr, "Loader", "1", 1280, 720, 16.0f / 9.0f, true, 3, 3) {}

    DemoPart* GetDemoPart(float start, float end, unsigned int priority, const QString& name,
                          const Params& attributeParams, const Params& params, const QString& className) override
    {
        std::cout << "RecordingDemoApp::GetDemoPart()" << std::endl;
        std::ostringstream text;
        text.precision(17);
        text << className.toStdString() << " '" << name.toStdString() << "' " << static_cast<double>(start) << " "
             << static_cast<double>(end) << " " << priority;
        for (const Params* list : {&attributeParams, &params}) {
            text << (list == &params ? " params" : " attributes");
            for (const DemoPartParam& param : *list) {
                text << " " << param.mName.toStdString() << "=" << param.mValue.toStdString();
            }
        }
        mCalls.push_back(text.str());
        if (className == QLatin1String("lib.Nothing")) {
            return nullptr;
        }
        return new LoadedPart(this, start, end, priority, name, attributeParams, params, className);
    }

    std::vector<std::string> mCalls;
};

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

std::string Part(const std::string& name, const std::string& className,
                 const std::string& times = "start=\"0\" end=\"1\"")
{
    return "<part " + times + " name=\"" + name + "\" class=\"" + className + "\" priority=\"0\"/>";
}

} // namespace

class DemoSettingsLoaderXmlGLTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mApp = VexelTest::MakeTestApp<RecordingDemoApp>();
        ASSERT_NE(mApp, nullptr);
        ASSERT_TRUE(mDir.isValid());
    }

    // Writes the settings file (unless content is null) and loads it.
    VexelTest::Captured Load(const char* content, const std::string& fileName = "settings.xml")
    {
        mPath = mDir.filePath(QString::fromStdString(fileName)).toStdString();
        if (content != nullptr) {
            std::ofstream(mPath, std::ios::binary) << content;
        }
        return Capture([&] { DemoSettingsLoaderXml().Load(QString::fromStdString(mPath), mApp->mModel, mApp.get()); });
    }
    VexelTest::Captured Load(const std::string& content) { return Load(content.c_str()); }
    std::string LoadingLine() const { return "Loading demo settings from \"" + mPath + "\"..."; }

    VexelTest::AppPtr<RecordingDemoApp> mApp;
    QTemporaryDir mDir;
    std::string mPath;
};

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
    EXPECT_EQ(mApp->mModel->mName, QString::fromUtf8("M\xC3\xB6rvelin"));
    EXPECT_EQ(mApp->mModel->mVersion, ".666");
    EXPECT_EQ(mApp->mModel->mSoundtrackFile, "data/music/t.ogg");

    // length wins over end; times pass through float; atoi reads a prefix and
    // a negative priority wraps; names keep the letter case they were written in.
    EXPECT_EQ(mApp->mCalls,
              (Lines{"lib.ClearScreen 'sky' 2 5 4 attributes musicTrack=main clearBackground=false"
                     " clearZBuffer=true params color=1 2 3 blend=additive image=a.png flag=",
                     "lib.Image 'early' 0.10000000149011612 1 7 attributes params Image=b.png",
                     "x 'wrapped' 0 10 4294967295 attributes params"}));
    EXPECT_EQ(captured.OutLines(),
              (Lines{LoadingLine(), "RecordingDemoApp::GetDemoPart()",
                     "DemoPart [2 - 5 sky, class=lib.ClearScreen, priority=4, music=]",
                     "  => scene=\"intro.scene\" (not loaded!)", "  => scene without a file attribute (not loaded!)",
                     "RecordingDemoApp::GetDemoPart()", "DemoPart [0.1 - 1 early, class=lib.Image, priority=7, music=]",
                     "RecordingDemoApp::GetDemoPart()",
                     "DemoPart [0 - 10 wrapped, class=x, priority=4294967295, music=]"}));

    // The timeline orders by start; the part keeps the widened float start.
    EXPECT_EQ(PartNames(mApp->mModel->mFutureParts), (Lines{"wrapped", "early", "sky"}));
    EXPECT_EQ(std::next(mApp->mModel->mFutureParts.begin())->mStart, static_cast<double>(0.1f));
}

TEST_F(DemoSettingsLoaderXmlGLTest, EachLoadReplacesTheModelButAMissingFileChangesNothing)
{
    ASSERT_FALSE(Load("<Halvorn-demo-settings><name>one</name><soundtrack file=\"t.ogg\"/><demoparts>" +
                      Part("b", "c", "start=\"5\" end=\"6\"") + Part("c", "c", "start=\"1\" end=\"2\"") + Tail)
                     .Threw());
    EXPECT_EQ(PartNames(mApp->mModel->mFutureParts), (Lines{"c", "b"}));

    const auto missing = Load(nullptr, "absent.xml");
    EXPECT_THROW(std::rethrow_exception(missing.exception), std::domain_error);
    EXPECT_EQ(missing.What(), "File not found! (\"" + mPath + "\")");
    EXPECT_EQ(missing.OutLines(), Lines{LoadingLine()});
    EXPECT_EQ(missing.err, "");
    EXPECT_EQ(mApp->mModel->mName, "one");
    EXPECT_EQ(PartNames(mApp->mModel->mFutureParts), (Lines{"c", "b"}));

    // Without demoparts the model is cleared and the texts may be missing.
    mApp->mModel->mTime = 3.0;
    mApp->mCalls.clear();
    const auto empty = Load("<Halvorn-demo-settings><SoundTrack FILE=\"m.ogg\"/></Halvorn-demo-settings>");
    ASSERT_FALSE(empty.Threw()) << empty.err;
    EXPECT_EQ(empty.OutLines(), (Lines{LoadingLine()}));
    EXPECT_TRUE(mApp->mModel->mName.isEmpty());
    EXPECT_TRUE(mApp->mModel->mVersion.isEmpty());
    EXPECT_EQ(mApp->mModel->mSoundtrackFile, "m.ogg");
    EXPECT_TRUE(mApp->mModel->mFutureParts.empty());
    EXPECT_EQ(mApp->mModel->mTime, 0.0);
    EXPECT_TRUE(mApp->mCalls.empty());
}

// The end-to-end tests go through the other checks; these are the cases they leave out.
TEST_F(DemoSettingsLoaderXmlGLTest, BrokenEntriesFailTheirChecksAndKeepWhatCameBefore)
{
    const struct
    {
        std::string content;
        std::string expression;
        Lines parts;  // in the model afterwards
    } cases[] = {
        {"<Halvorn-demo-settings><name>n</name></Halvorn-demo-settings>", "false && \"Not implemented yet\"", {}},
        {Head + "<part start end=\"1\" name=\"p\" class=\"c\" priority=\"0\"/>" + Tail,
         "temp != 0 && \"=> start-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!\"", {}},
        {Head + "<part start=\"0\" end=\"1\" name=\"p\" class=\"c\" priority=\"0\" clearZBuffer=\"1\"/>" + Tail,
         "0 != 0 && \"=> clearZBuffer-attribute has unknown value n <Halvorn-demo-settings>::<demoparts>::<part>!"
         " Valid values are either 'true' or 'false'.\"",
         {}},
        {Head + Part("first", "lib.Image") + Part("second", "lib.Nothing") + Part("third", "lib.Image") + Tail,
         "demoPart != 0", {"first"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        mApp->mCalls.clear();
        const Lines err = Load(c.content).ErrLines();
        ASSERT_EQ(err.size(), 4u);
        EXPECT_EQ(err[0], "FATAL ERROR: Assertion (" + c.expression + ") failed!");
        EXPECT_EQ(err[2], "  in \"lib/Vexel/src/Halvorn/DemoSettingsLoaderXml.cpp\"");
        // The factory is asked only for entries that passed their checks.
        EXPECT_EQ(mApp->mCalls.size(), c.parts.size() + (c.expression == "demoPart != 0" ? 1 : 0));
        EXPECT_EQ(PartNames(mApp->mModel->mFutureParts), c.parts);
    }
}
