#include "ShaderCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ShaderCheckTest, DriverLogsBecomeErrorsAtTheShaderFileAndLine)
{
    struct Case
    {
        std::string log;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        // Mesa, two errors and a warning that is left out.
        {"0:5(12): error: `colr' undeclared\n0:7(3): warning: unused\n0:9(1): error: syntax error\n",
         {"s.frag:5:12: error: `colr' undeclared", "s.frag:9:1: error: syntax error"}},
        // NVIDIA, and the "ERROR:" form of other drivers, without a column.
        {"0(14) : error C1008: undefined variable \"x\"", {"s.frag:14:1: error: undefined variable \"x\""}},
        {"ERROR: 0:3: 'foo' : undeclared identifier\r\n", {"s.frag:3:1: error: 'foo' : undeclared identifier"}},
        // A line without a position still counts, at the top of the file.
        {"error: too many uniforms", {"s.frag:1:1: error: too many uniforms"}},
        {"0:2(1): warning: only a warning\n", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines;
        for (const Diagnostic& diagnostic : ShaderCheck::ParseLog("s.frag", c.log)) {
            lines.push_back(diagnostic.Format());
        }
        EXPECT_EQ(lines, c.lines) << c.log;
    }
}
