#pragma once

#include "Halvorn/DemoPart.h"
#include "Halvorn/DemoParts/TextSettings.h"
#include "Text/GlyphMesh.h"
#include "Text/TextLayout.h"

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <QString>

#include <memory>
#include <vector>

class FontFace;
class GlyphAtlasTexture;
class TextProgram;

// Draws text from a font file: lines shaped by HarfBuzz, glyphs from an atlas
// shared per font and size, placed like lib.Image's pictures, with outline,
// shadow, a scroller, a wave and a typewriter. What it shows at a running
// time depends on that time alone.
class TextPart : public virtual DemoPart
{
public:
    // Opens the font; a font file that cannot be used throws out of here.
    TextPart(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
             const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params);
    ~TextPart() override;

    // Lays the text out and fills the atlas, at the largest size the part
    // will show; done at the first update if not before.
    void Prepare() override;
    void UpdateDemoPart(double step, double runningTime, double time) override;
    void RenderDemoPart(double step, double runningTime, double time) override;
    DemoPart* Clone() override;

    TextSettings mSettings;
    TextLayout mLayout;
    // The glyphs' size in the atlas, in pixels.
    int mAtlasPixels = 0;

    // The values of the latest update.
    float mAlpha = 1.0f;
    glm::vec3 mColor{255.0f};
    float mSize = 0.0f;
    float mRotate = 0.0f;
    // How far a scroller has moved, in pixels of a 720-line picture.
    float mScrolled = 0.0f;
    // Local pixels of the layout to window pixels.
    glm::mat4 mModel{1.0f};
    // Glyph runs of the lines in view: first glyph and count.
    std::vector<glm::ivec2> mVisible;

private:
    enum class Scroll
    {
        None,
        Leftwards,
        Upwards
    };

    // The size of what the part draws into, in pixels.
    glm::vec2 AreaSize() const;
    void ApplyAnimations(double runningTime);
    void PlaceBlock(const glm::vec2& area, double runningTime);
    void FindVisible(const glm::vec2& area);

    // The font as opened, until Prepare hands it to the atlas.
    std::shared_ptr<FontFace> mFace;
    std::shared_ptr<GlyphAtlasTexture> mAtlas;
    std::shared_ptr<TextProgram> mProgram;
    GlyphMesh mMesh;
    bool mPrepared = false;
    bool mHasOutline = false;
    Scroll mScroll = Scroll::None;
    // The parameter size, or the largest animated one without it: outline,
    // shadow and wave are given for it and follow the animated size.
    float mReferenceSize = 0.0f;
    // Every glyph's pen x, for finding the ones in view.
    std::vector<float> mGlyphX;
    bool mScrollAnimated = false;
    // Per-frame values for rendering.
    float mScale = 1.0f;
    glm::vec2 mShadowOffset{0.0f};
    float mWavePhase = 0.0f;
    float mShownLetters = 0.0f;
    glm::vec2 mArea{0.0f};
};
