#include "FatalExit.h"

#include <gtest/gtest.h>

TEST(FatalExitTest, ReportNamesMessageLocationAndFunction)
{
    const struct
    {
        const char* file;
        int line;
        const char* function;
        std::string message;
        std::string expected;
    } cases[] = {
        {"src/main.cpp", 18, "int main(int, char**)", "ERROR: Could not create window: x",
         "FATAL: ERROR: Could not create window: x (src/main.cpp:18, int main(int, char**))"},
        {"a.cpp", 0, "f", "", "FATAL:  (a.cpp:0, f)"},
        {nullptr, 3, nullptr, "m", "FATAL: m (?:3, ?)"},
        // Further lines of a message follow the place.
        {"b.cpp", 2, "g", "Music could not be loaded.\n  why\n", "FATAL: Music could not be loaded. (b.cpp:2, g)\n  why\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Vexel::FatalText(c.file, c.line, c.function, c.message), c.expected);
    }
}

TEST(FatalExitTest, EndsTheProcessWithStatusOneAfterTheReport)
{
    EXPECT_EXIT(VEXEL_FATAL("Aborting! Unknown exception!"), ::testing::ExitedWithCode(1),
                "^FATAL: Aborting! Unknown exception! \\(tests/FatalExitTest\\.cpp:[0-9]+, "
                "virtual void FatalExitTest_EndsTheProcessWithStatusOneAfterTheReport_Test::TestBody\\(\\)\\)\n$");
}
