#pragma once

#include "Gl.h"
#include "Halvorn/DemoPart.h"
#include "Halvorn/DemoParts/Viewport2d.h"
#include "ShaderProgram.h"
#include "Texture.h"
#include "VaoMesh.h"

#include <glm/vec4.hpp>

#include <QString>

#include <memory>
#include <vector>

// Shows one picture as a textured rectangle in screen space: sized relative to
// the window, aligned or placed freely, turned about its centre and blended.
// The picture is a file, or a buffer the timeline draws ("@NAME").
class Image : public virtual DemoPart
{
public:
    // Loads the picture and the standard shaders; a picture that cannot be
    // loaded throws out of here.
    Image(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
          const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params);
    ~Image() override;

    // Recomputes the position, and the quad when its size changed, from the
    // window's current size.
    void UpdateDemoPart(double step, double runningTime, double time) override;
    void RenderDemoPart(double step, double runningTime, double time) override;
    DemoPart* Clone() override;

    // Alignment values: free places the centre at the relative x or y.
    enum Alignment
    {
        Free = 0,
        LeftOrTop = 1,
        Centered = 2,
        RightOrBottom = 3
    };

    ShaderProgram mShaderProgram;
    // Shared with every part that shows the same file; null for a buffer.
    std::shared_ptr<const Texture> mTexture;
    VaoMesh mQuad;
    // Read on the 0-255 scale, alpha 255 once given; not used for drawing.
    glm::vec4 mColor;
    int mHorizontalAlignment;
    int mVerticalAlignment;
    // Fractions of the window size; 0 means derive from the picture.
    float mRelativeWidth;
    float mRelativeHeight;
    float mRelativeX;
    float mRelativeY;
    // Degrees, clockwise on screen.
    float mRotation;
    Gl::BlendMode mBlendMode;
    float mAlpha;
    // Centre in window pixels, y downwards.
    float mPositionX;
    float mPositionY;
    Viewport2d mViewport;
    // The size the quad holds now; negative before the first update.
    float mQuadWidth;
    float mQuadHeight;

private:
    void ApplyAlign(const QString& value);
    void ApplyBlending(const QString& value);
    void CompleteRelativeSize(float windowWidth, float windowHeight);
    void ApplyAnimations(double runningTime, float windowWidth, float windowHeight);
    // The picture's size; a buffer has the window's shape.
    float PictureWidth() const;
    float PictureHeight() const;

    // The buffer shown, by index; -1 for a file.
    int mBuffer = -1;

    // Which sides the parameters gave; the others follow an animated size.
    bool mWidthGiven = false;
    bool mHeightGiven = false;
};
