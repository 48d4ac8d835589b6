#include "Halvorn/PartChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

TEST(PartChecksTest, TimesMustBeFiniteAlsoAsFloats)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        double seconds;
        bool problem;
    } cases[] = {
        {0.0, false}, {-2.5, false}, {3.4e38, false}, {-3.4e38, false},
        {std::nan(""), true}, {inf, true}, {-inf, true}, {1e39, true}, {-1e39, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(PartChecks::NonFiniteTime("intro", "end", "text", c.seconds),
                  c.problem ? "Part \"intro\": end \"text\" is not a finite time in seconds!" : "");
    }
}

TEST(PartChecksTest, OnlyAnEndBeforeTheStartIsReported)
{
    const struct
    {
        double start;
        double end;
        std::string warning;
    } cases[] = {
        {1.5, 0.5, "Warning: part \"p\" ends (0.5) before it starts (1.5) and will not be shown."},
        {0.0, -0.25, "Warning: part \"p\" ends (-0.25) before it starts (0) and will not be shown."},
        {2.0, 2.0, ""},
        {0.5, 1.5, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warning);
        EXPECT_EQ(PartChecks::EndsBeforeStart("p", c.start, c.end), c.warning);
    }
}

TEST(PartChecksTest, TheLastImageParameterMustNameAFile)
{
    const std::string none = "Image part \"p\" has no \"image\" parameter!";
    const std::string empty = "Image part \"p\" has an empty \"image\" parameter!";
    const struct
    {
        std::vector<DemoPartParam> params;
        std::string problem;
    } cases[] = {
        {{}, none},
        {{{"Image", "a.png"}, {"alpha", "1"}}, none},
        {{{"image", ""}}, empty},
        {{{"image", "a.png"}, {"image", ""}}, empty},
        {{{"image", ""}, {"alpha", "1"}, {"image", "a.png"}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        EXPECT_EQ(PartChecks::MissingImage("p", c.params), c.problem);
    }
}
