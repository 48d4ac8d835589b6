#include "Halvorn/DemoParts/ClearScreen.h"

#include "OutputCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using Params = std::vector<DemoPartParam>;

namespace {

struct Built
{
    std::unique_ptr<ClearScreen> part;
    VexelTest::Captured captured;
};

Built Build(const Params& params, const Params& attributeParams = {})
{
    Built built;
    built.captured = Capture([&] {
        built.part.reset(new ClearScreen(nullptr, 1.0, 4.0, 3, "clear", attributeParams, params));
    });
    return built;
}

} // namespace

TEST(ClearScreenTest, ColorIsReadAsThreeIntsKeepingTheirLowEightBitsAndOtherKeysAreReportedOnOneLine)
{
    const struct
    {
        Params params;
        glm::vec4 expected;
        const char* err;
    } cases[] = {
        {{}, {0, 0, 0, 0}, ""},
        {{{"color", "255 0 0"}}, {255, 0, 0, 255}, ""},
        {{{"color", "128 128 128"}}, {128, 128, 128, 255}, ""},
        {{{"color", "256 0 0"}}, {0, 0, 0, 255}, ""},
        {{{"color", "-1 0 0"}}, {255, 0, 0, 255}, ""},
        {{{"color", "300 -1 7"}}, {44, 255, 7, 255}, ""},
        {{{"color", "0 0 255 17"}}, {0, 0, 255, 255}, ""},
        {{{"color", "  +12\t34\n56"}}, {12, 34, 56, 255}, ""},
        {{{"color", "1 2 3 and then words"}}, {1, 2, 3, 255}, ""},
        {{{"Color", "255 0 0"}}, {0, 0, 0, 0}, "Unknown key \"Color\"!"},
        {{{"color", "1 2 3"}, {"color", "4 5 6"}}, {4, 5, 6, 255}, ""},
        {{{"image", "a.png"}, {"color", "9 9 9"}, {"alpha", "1"}}, {9, 9, 9, 255},
         "Unknown key \"image\"!Unknown key \"alpha\"!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.params.empty() ? "no params" : c.params.back().mValue.toStdString());
        const Built built = Build(c.params);
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.part->mColor, c.expected);
        EXPECT_EQ(built.captured.out, "ClearScreen::ClearScreen()\n");
        EXPECT_EQ(built.captured.err, c.err);
    }
}

TEST(ClearScreenTest, ColorThatDoesNotStartWithThreeIntsFailsTheChannelThatCouldNotBeRead)
{
    const struct
    {
        const char* value;
        const char* channel;
    } cases[] = {
        {"10 20", "blue"},  {"", "red"},    {"red", "red"}, {"10,20,30", "green"}, {"1 two 3", "green"},
        {"99999999999 0 0", "red"}, {"1 2 x", "blue"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const Built built = Build({{"color", c.value}});
        EXPECT_EQ(built.part, nullptr);
        // The assertion's four-line report names the expression and where it failed.
        const std::vector<std::string> err = built.captured.ErrLines();
        ASSERT_EQ(err.size(), 4u) << built.captured.err;
        EXPECT_EQ(err[0], std::string("FATAL ERROR: Assertion (0 != 0 && \"=> color-attribute has unknown ") +
                              c.channel +
                              " value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form "
                              "'r g b' where values are 0-255.\") failed!");
        EXPECT_NE(err[1].find("ClearScreen::ClearScreen("), std::string::npos) << err[1];
        EXPECT_EQ(err[2], "  in \"lib/Vexel/include/Halvorn/DemoParts/ClearScreen.h\"");
    }
}

TEST(ClearScreenTest, AttributesGoToThePartBaseOnlyAndCloneParsesAgain)
{
    const Built built = Build({{"color", "10 20 30"}, {"speed", "2"}}, {{"clearColor", "1 2 3"}, {"color", "junk"}});
    ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
    EXPECT_EQ(built.part->mClearColor, glm::vec4(1, 2, 3, 255));
    EXPECT_EQ(built.part->mColor, glm::vec4(10, 20, 30, 255));

    std::unique_ptr<DemoPart> copy;
    const auto cloned = Capture([&] { copy.reset(built.part->Clone()); });
    EXPECT_EQ(cloned.out, built.captured.out);
    EXPECT_EQ(cloned.err, "Unknown key \"speed\"!");
    auto* clear = dynamic_cast<ClearScreen*>(copy.get());
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->mColor, glm::vec4(10, 20, 30, 255));
    EXPECT_EQ(clear->mClearColor, glm::vec4(1, 2, 3, 255));
    EXPECT_DOUBLE_EQ(clear->mStart, 1.0);
    EXPECT_DOUBLE_EQ(clear->mEnd, 4.0);
    EXPECT_EQ(clear->mPriority, 3u);
    EXPECT_EQ(clear->mName, "clear");
}
