#pragma once

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <QString>

#include <string>
#include <vector>

// The parameters of a text part as it reads them, with their defaults. Both
// the part and the settings check read through here, so they agree on every
// value; each says what is wrong in its own way.
class TextSettings
{
public:
    enum class Problem
    {
        UnknownKey,
        // detail: the word.
        AlignWord,
        // detail: the number's text; 0 is used.
        NotFinite,
        ColorRed,
        ColorGreen,
        ColorBlue,
        // More or fewer numbers than the key takes; the missing ones are 0.
        NumberCount
    };
    struct Issue
    {
        Problem problem;
        std::string detail;
    };

    // As lib.Image's alignments.
    enum Alignment
    {
        Free = 0,
        LeftOrTop = 1,
        Centered = 2,
        RightOrBottom = 3
    };

    // Applies one parameter; what is wrong with it is added to issues, in order.
    void Apply(const QString& key, const QString& value, std::vector<Issue>& issues);

    static bool IsKey(const std::string& key);
    // "data/fonts/NAME": where a font parameter's file is, from the demo
    // folder, as messages name it.
    static QString FontPath(const QString& fontName);
    // How many numbers a key of several takes (shadow 2, wave 3), else 1.
    static int NumberCount(const std::string& key);

    // Line breaks are real: "\n" as written in the file is one too.
    QString mText;
    bool mHasText = false;
    // A file name in data/fonts/; the built-in font when not given.
    QString mFont;
    bool mHasFont = false;
    // Pixels of a 720-line picture.
    float mSize = 48.0f;
    // 0-255.
    glm::vec3 mColor{255.0f, 255.0f, 255.0f};
    float mAlpha = 1.0f;
    int mHorizontalAlignment = Centered;
    int mVerticalAlignment = Centered;
    float mRelativeX = 0.0f;
    float mRelativeY = 0.0f;
    // Degrees, clockwise on screen.
    float mRotate = 0.0f;
    float mOutline = 0.0f;
    glm::vec3 mOutlineColor{0.0f, 0.0f, 0.0f};
    glm::vec2 mShadow{0.0f, 0.0f};
    float mLineSpacing = 1.0f;
    // Pixels per second.
    float mScroll = 0.0f;
    // Amplitude in pixels, waves per second, phase step per letter in radians.
    glm::vec3 mWave{0.0f, 0.0f, 0.0f};
    // Letters per second; 0 shows all at once.
    float mTypewriter = 0.0f;

private:
    void ReadColor(const QString& value, glm::vec3& color, std::vector<Issue>& issues);
    // The numbers of value into numbers[0..count).
    static void ReadNumbers(const QString& value, float* numbers, int count, std::vector<Issue>& issues);
};
