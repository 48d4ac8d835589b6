#include "AssertException.h"
#include "OutputCapture.h"

#include <boost/ptr_container/ptr_list.hpp>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using VexelTest::Capture;

namespace {

int CheckedHalf(int value)
{
    BOOST_ASSERT(value % 2 == 0);
    return value / 2;
}

std::string ThisFile()
{
    return __FILE__;
}

} // namespace

TEST(AssertTest, FailedCheckWritesFourLineReportAndThrows)
{
    int line = 0;
    const auto captured = Capture([&] {
        line = __LINE__ + 1;
        BOOST_ASSERT(1 + 1 == 3);
    });
    ASSERT_TRUE(captured.Threw());
    EXPECT_TRUE(captured.out.empty());
    const auto lines = captured.ErrLines();
    ASSERT_EQ(lines.size(), 4u) << captured.err;
    EXPECT_EQ(lines[0], "FATAL ERROR: Assertion (1 + 1 == 3) failed!");
    EXPECT_EQ(lines[1].rfind("  at \"", 0), 0u);
    EXPECT_NE(lines[1].find("AssertTest_FailedCheckWritesFourLineReportAndThrows"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "  in \"tests/AssertTest.cpp\"");
    EXPECT_EQ(lines[3], "  at line " + std::to_string(line));

    try {
        std::rethrow_exception(captured.exception);
    } catch (const AssertException& e) {
        EXPECT_STREQ(e.expression, "1 + 1 == 3");
        EXPECT_EQ(std::string(e.file), ThisFile());
        EXPECT_EQ(e.line, line);
    }
}

TEST(AssertTest, FileNamesAreRelativeToTheRepository)
{
    EXPECT_EQ(ThisFile(), "tests/AssertTest.cpp");
}

TEST(AssertTest, PassingCheckIsSilent)
{
    const auto captured = Capture([] { EXPECT_EQ(CheckedHalf(8), 4); });
    EXPECT_FALSE(captured.Threw());
    EXPECT_TRUE(captured.err.empty());
}

TEST(AssertTest, AssertMsgWritesSixLinesInOrder)
{
    const std::string detail = "data/shaders/standard.330.vert";
    bool initialized = false;
    const auto captured = Capture([&] { ASSERT_MSG(initialized == true, "ShaderProgram wasn't yet initialized!", detail); });
    ASSERT_TRUE(captured.Threw());
    const auto lines = captured.ErrLines();
    ASSERT_EQ(lines.size(), 6u) << captured.err;
    EXPECT_EQ(lines[0], "Assertion failed!: ShaderProgram wasn't yet initialized!");
    EXPECT_EQ(lines[1], "  data/shaders/standard.330.vert");
    EXPECT_EQ(lines[2], "FATAL ERROR: Assertion (initialized == true) failed!");
    EXPECT_EQ(lines[4], "  in \"tests/AssertTest.cpp\"");
}

TEST(AssertTest, AssertMsgWithTrueExpressionWritesNothing)
{
    const auto captured = Capture([] { ASSERT_MSG(2 > 1, "never shown", ""); });
    EXPECT_FALSE(captured.Threw());
    EXPECT_TRUE(captured.err.empty());
}

TEST(AssertTest, NotImplementedCarriesItsExplanation)
{
    const auto captured = Capture([] { ASSERT_NOT_IMPLEMENTED(); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines().at(0),
              "FATAL ERROR: Assertion (\"Not implemented / executed invalid code block\" && true==false) failed!");
}

TEST(AssertTest, StandardExceptionHandlerDoesNotStopIt)
{
    bool caughtAsStandard = false;
    bool caughtAsAssert = false;
    const auto captured = Capture([&] {
        try {
            try {
                CheckedHalf(3);
            } catch (const std::exception&) {
                caughtAsStandard = true;
            }
        } catch (const AssertException&) {
            caughtAsAssert = true;
        }
    });
    EXPECT_FALSE(caughtAsStandard);
    EXPECT_TRUE(caughtAsAssert);
    // Written once, where the exception was made, not again where caught.
    EXPECT_EQ(captured.ErrLines().size(), 4u);
}

TEST(AssertTest, CheckInsideBoostPointerContainerReachesTheSameReport)
{
    boost::ptr_list<int> empty;
    const auto captured = Capture([&] { empty.pop_front(); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_THROW(std::rethrow_exception(captured.exception), AssertException);
    const auto lines = captured.ErrLines();
    ASSERT_EQ(lines.size(), 4u) << captured.err;
    EXPECT_EQ(lines[0], "FATAL ERROR: Assertion (!this->empty() && \"'pop_front()' on empty container\") failed!");
    EXPECT_NE(lines[1].find("pop_front"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("boost/ptr_container/ptr_sequence_adapter.hpp"), std::string::npos) << lines[2];
}
