#include "Halvorn/DemoParts/TextPart.h"

#include "AssertException.h"
#include "CheckGlError.h"
#include "Gl.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoParts/PartParams.h"
#include "Sdl2OpenglWindow.h"
#include "Text/FontFace.h"
#include "Text/GlyphAtlasTexture.h"
#include "Text/TextProgram.h"

#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <set>
#include <stdexcept>

namespace {

// Sizes are given for a picture this many pixels high.
constexpr float ReferenceHeight = 720.0f;
// Larger glyphs are scaled up from this size rather than rendered.
constexpr float LargestAtlasPixels = 512.0f;
constexpr double TwoPi = 6.283185307179586;

} // namespace

TextPart::TextPart(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
                   const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params)
    : DemoPart(app, start, end, priority, name, attributeParams, params, "Text")
{
    std::cout << "TextPart::TextPart()" << std::endl;
    std::vector<TextSettings::Issue> issues;
    for (const DemoPartParam& param : params) {
        if (param.mName == QLatin1String(PartParams::TargetKey)) {
            continue;
        }
        issues.clear();
        mSettings.Apply(param.mName, param.mValue, issues);
        const bool outlineColor = param.mName == QLatin1String("outlineColor");
        for (const TextSettings::Issue& issue : issues) {
            switch (issue.problem) {
            case TextSettings::Problem::UnknownKey:
                PartParams::ReportUnknownKey(param.mName);
                break;
            case TextSettings::Problem::AlignWord:
                std::cerr << "Error: Unknown value (\"" << issue.detail << "\") for key \"align\"" << std::endl;
                break;
            case TextSettings::Problem::NotFinite:
                PartParams::ReadFloat(param.mName, QString::fromStdString(issue.detail));
                break;
            case TextSettings::Problem::NumberCount:
                break;
            // A bad colour stops the demo, as in the other parts.
            case TextSettings::Problem::ColorRed:
                if (outlineColor) {
                    BOOST_ASSERT(
                        0 != 0 &&
                        "=> outlineColor-attribute has unknown red value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.");
                }
                BOOST_ASSERT(
                    0 != 0 &&
                    "=> color-attribute has unknown red value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.");
                break;
            case TextSettings::Problem::ColorGreen:
                if (outlineColor) {
                    BOOST_ASSERT(
                        0 != 0 &&
                        "=> outlineColor-attribute has unknown green value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.");
                }
                BOOST_ASSERT(
                    0 != 0 &&
                    "=> color-attribute has unknown green value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.");
                break;
            case TextSettings::Problem::ColorBlue:
                if (outlineColor) {
                    BOOST_ASSERT(
                        0 != 0 &&
                        "=> outlineColor-attribute has unknown blue value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.");
                }
                BOOST_ASSERT(
                    0 != 0 &&
                    "=> color-attribute has unknown blue value n <Halvorn-demo-settings>::<demoparts>::<part>::<param>! Must be in the form 'r g b' where values are 0-255.");
                break;
            }
        }
    }

    std::string reason;
    const QString fontFile =
        mSettings.mHasFont ? mDemoApp->GetDataPath() + QStringLiteral("fonts/") + mSettings.mFont : QString();
    mFace = FontFace::Open(fontFile, reason);
    if (!mFace) {
        throw std::runtime_error("Text part \"" + mName.toStdString() + "\": font \"" +
                                 TextSettings::FontPath(mSettings.mFont).toStdString() + "\" " + reason + "!");
    }
    const std::vector<char32_t> missing = mFace->MissingCharacters(mSettings.mText);
    if (!missing.empty()) {
        std::cerr << "Warning: Text part \"" << mName.toStdString() << "\": " << mFace->DescribeMissing(missing)
                  << std::endl;
    }
    mAlpha = mSettings.mAlpha;
    mColor = mSettings.mColor;
    mSize = mSettings.mSize;
    mRotate = mSettings.mRotate;
}

TextPart::~TextPart() = default;

void TextPart::Prepare()
{
    if (mPrepared) {
        return;
    }
    mPrepared = true;
    // The atlas holds the largest size the part shows; smaller ones scale down.
    float largest = mSettings.mSize;
    for (const Animation& animation : mAnimations) {
        if (animation.mTarget == Animation::Target::Size) {
            for (const glm::vec4& value : animation.mValues) {
                largest = std::max(largest, value.x);
            }
        }
        mScrollAnimated = mScrollAnimated || animation.mTarget == Animation::Target::ScrollOffset;
    }
    mReferenceSize = mSettings.mSize > 0.0f ? mSettings.mSize : largest;
    // The atlas keeps a face of its own; the file's bytes are not held twice.
    const std::shared_ptr<FontFace> face = std::move(mFace);
    if (!(largest > 0.0f) || mSettings.mText.isEmpty()) {
        return;
    }
    const glm::vec2 area = AreaSize();
    mAtlasPixels = static_cast<int>(std::lround(std::min(LargestAtlasPixels, largest * area.y / ReferenceHeight)));
    mAtlasPixels = std::max(1, mAtlasPixels);
    const float outline = std::max(0.0f, mSettings.mOutline) * static_cast<float>(mAtlasPixels) / mReferenceSize;
    mHasOutline = outline > 0.0f;
    mAtlas = GlyphAtlasTexture::Acquire(face, mAtlasPixels, outline);

    const TextLayout::LineAlign align =
        mSettings.mHorizontalAlignment == TextSettings::LeftOrTop       ? TextLayout::LineAlign::Left
        : mSettings.mHorizontalAlignment == TextSettings::RightOrBottom ? TextLayout::LineAlign::Right
                                                                        : TextLayout::LineAlign::Center;
    mLayout.Build(mSettings.mText, mAtlas->Atlas().Face(), mSettings.mLineSpacing, align);
    if (mSettings.mScroll != 0.0f || mScrollAnimated) {
        mScroll = mLayout.mLines.size() > 1 ? Scroll::Upwards : Scroll::Leftwards;
    }

    std::set<unsigned> unique;
    for (const TextLayout::Glyph& glyph : mLayout.mGlyphs) {
        unique.insert(glyph.glyph);
    }
    mAtlas->Ensure(std::vector<unsigned>(unique.begin(), unique.end()));
    const GlyphAtlas& atlas = mAtlas->Atlas();

    // The fill quads of every glyph, then their outlines; texture
    // coordinates in atlas pixels, as the atlas may grow for other parts.
    const size_t count = mLayout.mGlyphs.size();
    std::vector<float> vertices;
    vertices.reserve(count * 4 * GlyphMesh::FloatsPerVertex * (mHasOutline ? 2 : 1));
    for (const bool outlines : {false, true}) {
        if (outlines && !mHasOutline) {
            break;
        }
        for (const TextLayout::Glyph& glyph : mLayout.mGlyphs) {
            const GlyphAtlas::Entry* entry = outlines ? atlas.Outline(glyph.glyph) : atlas.Fill(glyph.glyph);
            BOOST_ASSERT(entry != nullptr && "=> every glyph of the text is in the atlas");
            const float x = std::round(glyph.x) + static_cast<float>(entry->left);
            const float y = std::round(glyph.y) - static_cast<float>(entry->top);
            const float w = static_cast<float>(entry->width);
            const float h = static_cast<float>(entry->height);
            const float u = static_cast<float>(entry->x);
            const float v = static_cast<float>(entry->y);
            const float letter = static_cast<float>(glyph.letter);
            const float quad[4][4] = {
                {x, y, u, v}, {x + w, y, u + w, v}, {x + w, y + h, u + w, v + h}, {x, y + h, u, v + h}};
            for (const auto& corner : quad) {
                vertices.insert(vertices.end(), {corner[0], corner[1], corner[2], corner[3], letter});
            }
        }
    }
    mMesh.Upload(vertices);
    mGlyphX.resize(count);
    for (size_t g = 0; g < count; ++g) {
        mGlyphX[g] = mLayout.mGlyphs[g].x;
    }
    mVisible.reserve(mLayout.mLines.size());
    mProgram = TextProgram::Acquire();
}

void TextPart::UpdateDemoPart(double /*step*/, double runningTime, double /*time*/)
{
    Prepare();
    mAlpha = mSettings.mAlpha;
    mColor = mSettings.mColor;
    mSize = mSettings.mSize;
    mRotate = mSettings.mRotate;
    mScrolled = mSettings.mScroll * static_cast<float>(runningTime);
    if (!mAnimations.empty()) {
        ApplyAnimations(runningTime);
    }
    mVisible.clear();
    if (!mAtlas || !(mSize > 0.0f)) {
        return;
    }
    mArea = AreaSize();
    PlaceBlock(mArea, runningTime);
    FindVisible(mArea);
}

void TextPart::RenderDemoPart(double /*step*/, double /*runningTime*/, double /*time*/)
{
    if (mVisible.empty()) {
        return;
    }
    const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    Gl::Blend(Gl::Translucent);
    mAtlas->Bind();
    mProgram->Use();
    const float localPerReference = static_cast<float>(mAtlasPixels) / mReferenceSize;
    mProgram->SetWave(mSettings.mWave.x * localPerReference, mWavePhase, mSettings.mWave.z);
    mProgram->SetShownLetters(mShownLetters);
    const glm::mat4 projection = glm::ortho(0.0f, mArea.x, mArea.y, 0.0f, -1.0f, 1.0f);
    const float alpha = std::min(1.0f, std::max(0.0f, mAlpha));
    const int quads = static_cast<int>(mLayout.mGlyphs.size());

    struct Pass
    {
        bool draw;
        bool outlines;
        glm::vec2 offset;
        glm::vec4 color;
    };
    const bool shadow = mShadowOffset != glm::vec2(0.0f);
    const Pass passes[] = {
        {shadow, mHasOutline, mShadowOffset, glm::vec4(0.0f, 0.0f, 0.0f, alpha)},
        {mHasOutline, true, glm::vec2(0.0f), glm::vec4(mSettings.mOutlineColor / 255.0f, alpha)},
        {true, false, glm::vec2(0.0f), glm::vec4(mColor / 255.0f, alpha)},
    };
    for (const Pass& pass : passes) {
        if (!pass.draw) {
            continue;
        }
        mProgram->SetMvp(projection * glm::translate(glm::mat4(1.0f), glm::vec3(pass.offset, 0.0f)) * mModel);
        mProgram->SetColor(pass.color);
        for (const glm::ivec2& run : mVisible) {
            mMesh.Draw(run.x + (pass.outlines ? quads : 0), run.y);
        }
    }

    glBindVertexArray(0);
    Gl::Blend(Gl::Opaque);
    if (depthTest == GL_TRUE) {
        glEnable(GL_DEPTH_TEST);
    }
    CHECK_GL_ERROR("", mName.toStdString());
}

DemoPart* TextPart::Clone()
{
    return new TextPart(mDemoApp, mStart, mEnd, mPriority, mName, mAttributeParams, mParams);
}

glm::vec2 TextPart::AreaSize() const
{
    return glm::vec2(static_cast<float>(mDemoApp->mWindow->mWidth), static_cast<float>(mDemoApp->mWindow->mHeight));
}

void TextPart::ApplyAnimations(double runningTime)
{
    for (const Animation& animation : mAnimations) {
        const glm::vec3 value = animation.Evaluate(runningTime);
        switch (animation.mTarget) {
        case Animation::Target::Alpha:
            mAlpha = value.x;
            break;
        case Animation::Target::Color:
            mColor = value;
            break;
        case Animation::Target::RelativeX:
            mSettings.mRelativeX = value.x;
            mSettings.mHorizontalAlignment = TextSettings::Free;
            break;
        case Animation::Target::RelativeY:
            mSettings.mRelativeY = value.x;
            mSettings.mVerticalAlignment = TextSettings::Free;
            break;
        case Animation::Target::Rotate:
            mRotate = value.x;
            break;
        case Animation::Target::Size:
            mSize = value.x;
            break;
        case Animation::Target::ScrollOffset:
            mScrolled += value.x;
            break;
        case Animation::Target::RelativeWidth:
        case Animation::Target::RelativeHeight:
        case Animation::Target::Time:
        case Animation::Target::Uniform:
            break;
        }
    }
}

void TextPart::PlaceBlock(const glm::vec2& area, double runningTime)
{
    const float unit = area.y / ReferenceHeight;
    mScale = mSize * unit / static_cast<float>(mAtlasPixels);
    const glm::vec2 block(mLayout.mWidth, mLayout.mHeight);
    const glm::vec2 shown = block * mScale;

    // The block's centre, or for a scroller the middle of its lane, as
    // lib.Image places a picture's centre.
    const int alignments[2] = {mSettings.mHorizontalAlignment, mSettings.mVerticalAlignment};
    const float relative[2] = {mSettings.mRelativeX, mSettings.mRelativeY};
    glm::vec2 place(0.0f);
    glm::vec2 anchor = block * 0.5f;
    glm::vec2 shift(0.0f);
    for (int axis = 0; axis < 2; ++axis) {
        const bool scrolls = (axis == 0 && mScroll == Scroll::Leftwards) || (axis == 1 && mScroll == Scroll::Upwards);
        switch (scrolls && alignments[axis] != TextSettings::Free ? TextSettings::Centered : alignments[axis]) {
        case TextSettings::Free:
            place[axis] = relative[axis] * area[axis];
            break;
        case TextSettings::LeftOrTop:
            place[axis] = shown[axis] * 0.5f;
            break;
        case TextSettings::Centered:
            place[axis] = area[axis] * 0.5f;
            break;
        case TextSettings::RightOrBottom:
            place[axis] = area[axis] - shown[axis] * 0.5f;
            break;
        default:
            break;
        }
        if (scrolls) {
            // It starts just beyond the right (or bottom) edge and moves in;
            // backwards, beyond the left (or top) edge.
            const bool backwards = mSettings.mScroll < 0.0f;
            anchor[axis] = backwards ? block[axis] : 0.0f;
            shift[axis] = (backwards ? -0.5f : 0.5f) * area[axis] - mScrolled * unit;
        }
    }

    if (mRotate == 0.0f) {
        // Whole pixels, so that text at its own size stays sharp.
        const glm::vec2 origin = glm::round(place + shift - anchor * mScale);
        mModel = glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(origin, 0.0f)), glm::vec3(mScale, mScale, 1.0f));
    } else {
        glm::mat4 model = glm::translate(glm::mat4(1.0f), glm::vec3(place, 0.0f));
        model = glm::rotate(model, glm::radians(mRotate), glm::vec3(0.0f, 0.0f, 1.0f));
        model = glm::translate(model, glm::vec3(shift, 0.0f));
        model = glm::scale(model, glm::vec3(mScale, mScale, 1.0f));
        mModel = glm::translate(model, glm::vec3(-anchor, 0.0f));
    }

    const float sizeRatio = mSize / mReferenceSize;
    mShadowOffset = mSettings.mShadow * unit * sizeRatio;
    mWavePhase = static_cast<float>(std::fmod(TwoPi * mSettings.mWave.y * runningTime, TwoPi));
    mShownLetters = mSettings.mTypewriter > 0.0f ? static_cast<float>(std::floor(mSettings.mTypewriter * runningTime))
                                                 : std::numeric_limits<float>::max();
}

void TextPart::FindVisible(const glm::vec2& area)
{
    // The window in the layout's own pixels, widened by what may reach in
    // from outside it: a wave, an outline, a shadow and glyphs wider than
    // their pen step.
    const glm::mat4 inverse = glm::inverse(mModel);
    glm::vec2 low(std::numeric_limits<float>::max());
    glm::vec2 high(std::numeric_limits<float>::lowest());
    for (const glm::vec2& corner : {glm::vec2(0.0f), glm::vec2(area.x, 0.0f), glm::vec2(0.0f, area.y), area}) {
        const glm::vec2 local(inverse * glm::vec4(corner, 0.0f, 1.0f));
        low = glm::min(low, local);
        high = glm::max(high, local);
    }
    const float localPerReference = static_cast<float>(mAtlasPixels) / mReferenceSize;
    const float margin = static_cast<float>(mAtlasPixels) * 2.0f + std::fabs(mSettings.mWave.x) * localPerReference +
                         std::max(0.0f, mSettings.mOutline) * localPerReference +
                         glm::length(mShadowOffset) / std::max(mScale, 1e-6f);
    low -= margin;
    high += margin;
    for (const TextLayout::Line& line : mLayout.mLines) {
        if (line.count == 0 || line.baseline - mLayout.mAscender > high.y ||
            line.baseline - mLayout.mDescender < low.y) {
            continue;
        }
        const auto begin = mGlyphX.begin() + line.first;
        const auto end = begin + line.count;
        const int first = static_cast<int>(std::lower_bound(begin, end, low.x) - mGlyphX.begin());
        const int last = static_cast<int>(std::upper_bound(begin, end, high.x) - mGlyphX.begin());
        if (last > first) {
            mVisible.emplace_back(first, last - first);
        }
    }
}
