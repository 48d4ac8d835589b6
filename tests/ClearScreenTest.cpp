#include "Halvorn/DemoParts/ClearScreen.h"

#include "AssertException.h"
#include "OutputCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using VexelTest::Capture;
using Params = std::vector<DemoPartParam>;

namespace {

const char* const ClearScreenFile = "lib/Vexel/include/Halvorn/DemoParts/ClearScreen.h";

std::string ColorExpression(const std::string& channel)
{
    return "0 != 0 && \"=> color-attribute has unknown " + channel +
           " value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where "
           "values are 0-255.\"";
}

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

TEST(ClearScreenTest, ColorValuesAreReadAsThreeIntsKeepingTheirLowEightBits)
{
    struct Case
    {
        const char* value;
        glm::vec4 expected;
    };
    const Case cases[] = {
        {"255 0 0", {255, 0, 0, 255}},
        {"128 128 128", {128, 128, 128, 255}},
        {"256 0 0", {0, 0, 0, 255}},
        {"-1 0 0", {255, 0, 0, 255}},
        {"300 -1 7", {44, 255, 7, 255}},
        {"0 0 255 17", {0, 0, 255, 255}},
        {"  +12\t34\n56", {12, 34, 56, 255}},
        {"1 2 3 and then words", {1, 2, 3, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const Built built = Build({{"color", c.value}});
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.part->mColor, c.expected);
        EXPECT_EQ(built.captured.out, "ClearScreen::ClearScreen()\n");
        EXPECT_EQ(built.captured.err, "");
    }
}

TEST(ClearScreenTest, ColorThatDoesNotStartWithThreeIntsFailsTheChannelThatCouldNotBeRead)
{
    struct Case
    {
        const char* value;
        const char* channel;
    };
    const Case cases[] = {
        {"10 20", "blue"},
        {"", "red"},
        {"red", "red"},
        {"10,20,30", "green"},
        {"1 two 3", "green"},
        {"99999999999 0 0", "red"},
        {"1 2 x", "blue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const Built built = Build({{"color", c.value}});
        ASSERT_TRUE(built.captured.Threw());
        EXPECT_EQ(built.part, nullptr);
        try {
            std::rethrow_exception(built.captured.exception);
        } catch (const AssertException& e) {
            EXPECT_EQ(std::string(e.expression), ColorExpression(c.channel));
            EXPECT_EQ(std::string(e.file), ClearScreenFile);
            EXPECT_NE(std::string(e.function).find("ClearScreen::ClearScreen("), std::string::npos) << e.function;
        } catch (...) {
            ADD_FAILURE() << "not an AssertException";
        }
        const auto errLines = built.captured.ErrLines();
        ASSERT_EQ(errLines.size(), 4u) << built.captured.err;
        EXPECT_EQ(errLines[0], "FATAL ERROR: Assertion (" + ColorExpression(c.channel) + ") failed!");
        EXPECT_EQ(errLines[2], std::string("  in \"") + ClearScreenFile + "\"");
    }
}

TEST(ClearScreenTest, ParameterWalkKnowsOnlyColorAndReportsOtherKeysOnOneLine)
{
    struct Case
    {
        const char* what;
        Params params;
        glm::vec4 expected;
        const char* err;
    };
    const Case cases[] = {
        {"no parameters", {}, {0, 0, 0, 0}, ""},
        {"capital Color", {{"Color", "255 0 0"}}, {0, 0, 0, 0}, "Unknown key \"Color\"!"},
        {"later color wins", {{"color", "1 2 3"}, {"color", "4 5 6"}}, {4, 5, 6, 255}, ""},
        {"two unknown keys",
         {{"image", "a.png"}, {"color", "9 9 9"}, {"alpha", "1"}},
         {9, 9, 9, 255},
         "Unknown key \"image\"!Unknown key \"alpha\"!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Built built = Build(c.params);
        ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
        EXPECT_EQ(built.part->mColor, c.expected);
        EXPECT_EQ(built.captured.err, c.err);
        EXPECT_EQ(built.captured.out, "ClearScreen::ClearScreen()\n");
    }
}

TEST(ClearScreenTest, AttributesGoToThePartBaseOnlyAndCloneParsesAgain)
{
    const Params params = {{"color", "10 20 30"}, {"speed", "2"}};
    const Params attributes = {{"clearColor", "1 2 3"}, {"color", "junk"}};
    const Built built = Build(params, attributes);
    ASSERT_FALSE(built.captured.Threw()) << built.captured.err;
    EXPECT_EQ(built.part->mClassName, "ClearScreen");
    EXPECT_EQ(built.part->mClearColor, glm::vec4(1, 2, 3, 255));
    EXPECT_EQ(built.part->mColor, glm::vec4(10, 20, 30, 255));

    std::unique_ptr<DemoPart> copy;
    const auto cloned = Capture([&] { copy.reset(built.part->Clone()); });
    ASSERT_FALSE(cloned.Threw()) << cloned.err;
    EXPECT_EQ(cloned.out, built.captured.out);
    EXPECT_EQ(cloned.err, "Unknown key \"speed\"!");
    auto* clear = dynamic_cast<ClearScreen*>(copy.get());
    ASSERT_NE(clear, nullptr);
    EXPECT_NE(clear, built.part.get());
    EXPECT_EQ(clear->mColor, glm::vec4(10, 20, 30, 255));
    EXPECT_DOUBLE_EQ(clear->mStart, 1.0);
    EXPECT_DOUBLE_EQ(clear->mEnd, 4.0);
    EXPECT_EQ(clear->mPriority, 3u);
    EXPECT_EQ(clear->mName, "clear");
}
