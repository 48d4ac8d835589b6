#include "AssertException.h"
#include "OutputCapture.h"

#include <boost/ptr_container/ptr_list.hpp>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using VexelTest::Capture;
using Lines = std::vector<std::string>;

namespace {

int CheckedHalf(int value)
{
    BOOST_ASSERT(value % 2 == 0);
    return value / 2;
}

// The report of a check in this file, after what ASSERT_MSG writes first.
Lines Report(const std::string& expression, const std::string& function, int line, Lines lines = {})
{
    lines.insert(lines.end(), {"FATAL ERROR: Assertion (" + expression + ") failed!", "  at \"" + function + "\"",
                               "  in \"tests/AssertTest.cpp\"", "  at line " + std::to_string(line)});
    return lines;
}

} // namespace

TEST(AssertTest, FailedCheckWritesFourLineReportAndThrows)
{
    std::string function;
    int line = 0;
    const auto captured = Capture([&] {
        function = BOOST_CURRENT_FUNCTION;
        line = __LINE__ + 1;
        BOOST_ASSERT(1 + 1 == 3);
    });
    EXPECT_TRUE(captured.out.empty());
    // The file name is relative to the repository, not the build machine's.
    EXPECT_EQ(captured.ErrLines(), Report("1 + 1 == 3", function, line));
    ASSERT_TRUE(captured.Threw());
    try {
        std::rethrow_exception(captured.exception);
    } catch (const AssertException& e) {
        EXPECT_STREQ(e.expression, "1 + 1 == 3");
        EXPECT_EQ(e.function, function);
        EXPECT_STREQ(e.file, "tests/AssertTest.cpp");
        EXPECT_EQ(e.line, line);
    }
}

TEST(AssertTest, AssertMsgWritesMessageAndDetailFirstAndPassingChecksNothing)
{
    const auto passing = Capture([] {
        EXPECT_EQ(CheckedHalf(8), 4);
        ASSERT_MSG(2 > 1, "never shown", "");
    });
    EXPECT_FALSE(passing.Threw());
    EXPECT_TRUE(passing.err.empty());

    const std::string detail = "data/shaders/standard.330.vert";
    bool initialized = false;
    std::string function;
    int line = 0;
    const auto captured = Capture([&] {
        function = BOOST_CURRENT_FUNCTION;
        line = __LINE__ + 1;
        ASSERT_MSG(initialized == true, "ShaderProgram wasn't yet initialized!", detail);
    });
    EXPECT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines(), Report("initialized == true", function, line,
                                          {"Assertion failed!: ShaderProgram wasn't yet initialized!",
                                           "  data/shaders/standard.330.vert"}));
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
