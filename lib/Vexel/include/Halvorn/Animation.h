#pragma once

#include "Halvorn/Tempo.h"

#include <glm/vec3.hpp>

#include <QString>

#include <string>
#include <vector>

// One parameter of a part moving along keys over the part's running time:
// the value of an `animate` element of the settings file.
class XmlElement;

class Animation
{
public:
    // What a part changes; each part class animates only its own.
    enum class Target
    {
        Alpha,
        Rotate,
        RelativeWidth,
        RelativeHeight,
        RelativeX,
        RelativeY,
        Color,
        Size,
        ScrollOffset
    };

    enum class Ease
    {
        Step,
        Linear,
        Smooth,
        In,
        Out
    };

    // The attributes of one element as written; a null pointer is an
    // attribute that is not there.
    struct Source
    {
        const char* key = nullptr;
        const char* times = nullptr;
        const char* beats = nullptr;
        const char* values = nullptr;
        const char* ease = nullptr;

        // The attributes of an animate element; the texts live as long as it does.
        static Source Of(const XmlElement& element);
    };

    // Checks and reads one element of a part of the given factory class
    // ("lib.Image"). tempo may be null (no tempo in the file). On a bad
    // element returns false and puts a message naming the part and the
    // problem into problem; animation is then left alone.
    static bool Parse(const Source& source, const QString& className, const QString& partName, const Tempo* tempo,
                      Animation& animation, std::string& problem);

    // The keys a part class animates, as written in the file; empty for a
    // class that animates nothing.
    static std::vector<std::string> AnimatedKeys(const QString& className);

    // The value at a running time in seconds: the first value before the
    // first key, the last after the last. A number is in x.
    glm::vec3 Evaluate(double time) const;

    // How far along a span (0 to 1) the value is, for a span fraction u.
    static double EaseFraction(Ease ease, double u);

    Target mTarget = Target::Alpha;
    Ease mEase = Ease::Linear;
    // Seconds from the part's start, strictly increasing.
    std::vector<double> mTimes;
    std::vector<glm::vec3> mValues;
};
