#pragma once

#include "Halvorn/Animation.h"

#include <string>

namespace VexelTest {

// Reads keys in seconds for a part of the given class into animation; the
// problem, empty when the keys were taken.
inline std::string ParseKeys(Animation& animation, const char* className, const char* key, const char* times,
                             const char* values, const char* ease = nullptr)
{
    Animation::Source source;
    source.key = key;
    source.times = times;
    source.values = values;
    source.ease = ease;
    std::string problem;
    if (!Animation::Parse(source, className, "p", nullptr, animation, problem) && problem.empty()) {
        problem = "refused without a problem";
    }
    return problem;
}

} // namespace VexelTest
