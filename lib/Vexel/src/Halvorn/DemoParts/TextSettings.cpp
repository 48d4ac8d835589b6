#include "Halvorn/DemoParts/TextSettings.h"

#include "Halvorn/DemoParts/PartParams.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const char* const Keys[] = {"text",        "font",      "size",   "color",     "alpha",        "align",
                            "relativeX",   "relativeY", "rotate", "outline",   "outlineColor", "shadow",
                            "lineSpacing", "scroll",    "wave",   "typewriter"};

} // namespace

bool TextSettings::IsKey(const std::string& key)
{
    return std::find(std::begin(Keys), std::end(Keys), key) != std::end(Keys);
}

QString TextSettings::FontPath(const QString& fontName)
{
    return QStringLiteral("data/fonts/") + fontName;
}

int TextSettings::NumberCount(const std::string& key)
{
    return key == "shadow" ? 2 : key == "wave" ? 3 : 1;
}

void TextSettings::Apply(const QString& key, const QString& value, std::vector<Issue>& issues)
{
    const std::string name = key.toStdString();
    if (key == QLatin1String("text")) {
        mText = value;
        mText.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        mText.replace(QLatin1String("\\n"), QLatin1String("\n"));
        mHasText = true;
    } else if (key == QLatin1String("font")) {
        mFont = value;
        mHasFont = true;
    } else if (key == QLatin1String("color")) {
        ReadColor(value, mColor, issues);
    } else if (key == QLatin1String("outlineColor")) {
        ReadColor(value, mOutlineColor, issues);
    } else if (key == QLatin1String("align")) {
        // Single spaces only, as lib.Image reads it: two in a row give an empty word.
        const QStringList words = value.split(QLatin1Char(' '));
        for (int i = 0; i < words.size(); ++i) {
            const QString& word = words[i];
            bool horizontal = false;
            int alignment = 0;
            if (word == QLatin1String("center")) {
                // "center center", "center top", "left center": the first word
                // is the horizontal side, any later one the vertical.
                (i == 0 ? mHorizontalAlignment : mVerticalAlignment) = Centered;
            } else if (PartParams::ReadAlignWord(word, horizontal, alignment)) {
                (horizontal ? mHorizontalAlignment : mVerticalAlignment) = static_cast<Alignment>(alignment);
            } else {
                issues.push_back(Issue{Problem::AlignWord, word.toStdString()});
            }
        }
    } else if (key == QLatin1String("shadow")) {
        float numbers[2] = {0.0f, 0.0f};
        ReadNumbers(value, numbers, 2, issues);
        mShadow = glm::vec2(numbers[0], numbers[1]);
    } else if (key == QLatin1String("wave")) {
        float numbers[3] = {0.0f, 0.0f, 0.0f};
        ReadNumbers(value, numbers, 3, issues);
        mWave = glm::vec3(numbers[0], numbers[1], numbers[2]);
    } else if (IsKey(name)) {
        float number = 0.0f;
        ReadNumbers(value, &number, 1, issues);
        if (key == QLatin1String("size")) {
            mSize = number;
        } else if (key == QLatin1String("alpha")) {
            mAlpha = number;
        } else if (key == QLatin1String("relativeX")) {
            // As lib.Image: a place given is used; a later align word takes the side back.
            mRelativeX = number;
            mHorizontalAlignment = Free;
        } else if (key == QLatin1String("relativeY")) {
            mRelativeY = number;
            mVerticalAlignment = Free;
        } else if (key == QLatin1String("rotate")) {
            mRotate = number;
        } else if (key == QLatin1String("outline")) {
            mOutline = number;
        } else if (key == QLatin1String("lineSpacing")) {
            mLineSpacing = number;
        } else if (key == QLatin1String("scroll")) {
            mScroll = number;
        } else if (key == QLatin1String("typewriter")) {
            mTypewriter = number;
        }
    } else {
        issues.push_back(Issue{Problem::UnknownKey, name});
    }
}

void TextSettings::ReadColor(const QString& value, glm::vec3& color, std::vector<Issue>& issues)
{
    glm::vec4 read;
    switch (PartParams::ReadColor(value, read)) {
    case PartParams::ColorChannel::None:
        color = glm::vec3(read);
        break;
    case PartParams::ColorChannel::Red:
        issues.push_back(Issue{Problem::ColorRed, {}});
        break;
    case PartParams::ColorChannel::Green:
        issues.push_back(Issue{Problem::ColorGreen, {}});
        break;
    case PartParams::ColorChannel::Blue:
        issues.push_back(Issue{Problem::ColorBlue, {}});
        break;
    }
}

void TextSettings::ReadNumbers(const QString& value, float* numbers, int count, std::vector<Issue>& issues)
{
    // A single number is read whole, as every part reads one; several are
    // separated by spaces. Text that is no number is 0, as everywhere.
    const QStringList words = count == 1 ? QStringList{value} : value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < count && i < words.size(); ++i) {
        numbers[i] = words[i].toFloat();
        if (!std::isfinite(numbers[i])) {
            issues.push_back(Issue{Problem::NotFinite, words[i].toStdString()});
            numbers[i] = 0.0f;
        }
    }
    if (count > 1 && words.size() != count) {
        issues.push_back(Issue{Problem::NumberCount, value.toStdString()});
    }
}
