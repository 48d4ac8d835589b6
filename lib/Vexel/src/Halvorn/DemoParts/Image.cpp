#include "Halvorn/DemoParts/Image.h"

#include "AssertException.h"
#include "CheckGlError.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoBuffers.h"
#include "Halvorn/DemoParts/PartParams.h"
#include "Halvorn/PartChecks.h"
#include "PictureCache.h"
#include "Rect.h"
#include "Sdl2OpenglWindow.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <QStringList>

#include <iostream>
#include <stdexcept>
#include <string>

Image::Image(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
             const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params)
    : DemoPart(app, start, end, priority, name, attributeParams, params, "Image")
    , mColor(0.0f, 0.0f, 0.0f, 0.0f)
    , mHorizontalAlignment(Centered)
    , mVerticalAlignment(Centered)
    , mRelativeWidth(0.0f)
    , mRelativeHeight(0.0f)
    , mRelativeX(0.0f)
    , mRelativeY(0.0f)
    , mRotation(0.0f)
    , mBlendMode(Gl::Opaque)
    , mAlpha(1.0f)
    , mPositionX(0.0f)
    , mPositionY(0.0f)
    , mQuadWidth(-1.0f)
    , mQuadHeight(-1.0f)
{
    const float windowWidth = static_cast<float>(mDemoApp->mWindow->mWidth);
    const float windowHeight = static_cast<float>(mDemoApp->mWindow->mHeight);
    mViewport.Setup(windowWidth, windowHeight, -1000.0f, 1000.0f, 1000.0f);

    std::cout << "Image::Image()" << std::endl;

    QString imageFile;
    for (const DemoPartParam& param : params) {
        const QString& key = param.mName;
        const QString& value = param.mValue;
        if (key == QLatin1String("image")) {
            imageFile = value;
        } else if (key == QLatin1String("color")) {
            VEXEL_READ_COLOR_PARAM(value, mColor);
        } else if (key == QLatin1String("align")) {
            ApplyAlign(value);
        } else if (key == QLatin1String("relativeWidth")) {
            mRelativeWidth = PartParams::ReadFloat(key, value);
        } else if (key == QLatin1String("relativeHeight")) {
            mRelativeHeight = PartParams::ReadFloat(key, value);
        } else if (key == QLatin1String("relativeX")) {
            // Giving a position asks for it to be used; a later "align" word
            // takes the side back to an alignment.
            mRelativeX = PartParams::ReadFloat(key, value);
            mHorizontalAlignment = Free;
        } else if (key == QLatin1String("relativeY")) {
            mRelativeY = PartParams::ReadFloat(key, value);
            mVerticalAlignment = Free;
        } else if (key == QLatin1String("rotate")) {
            mRotation = PartParams::ReadFloat(key, value);
        } else if (key == QLatin1String("blending")) {
            ApplyBlending(value);
        } else if (key == QLatin1String("alpha")) {
            mAlpha = PartParams::ReadFloat(key, value);
        } else if (key != QLatin1String(PartParams::TargetKey)) {
            PartParams::ReportUnknownKey(key);
        }
    }

    const std::string missingImage = PartChecks::MissingImage(mName, params);
    if (!missingImage.empty()) {
        throw std::runtime_error(missingImage);
    }
    if (imageFile.startsWith(QLatin1Char('@'))) {
        const QString buffer = imageFile.mid(1);
        mBuffer = BufferSettings::IndexOf(mDemoApp->DeclaredBuffers(), buffer);
        if (mBuffer < 0) {
            throw std::runtime_error(BufferSettings::UnknownBuffer(mName, buffer, mDemoApp->DeclaredBuffers()));
        }
        mReadBuffers.push_back(mBuffer);
        std::cout << "Image buffer = " << buffer.toStdString() << std::endl;
    } else {
        mTexture = PictureCache::Acquire(mDemoApp->GetTexturePath() + imageFile, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
        std::cout << "Image real size = " << mTexture->GetWidth() << "x" << mTexture->GetHeight() << std::endl;
    }

    mWidthGiven = mRelativeWidth != 0.0f;
    mHeightGiven = mRelativeHeight != 0.0f;
    CompleteRelativeSize(windowWidth, windowHeight);
    std::cout << "Image relative size = " << mRelativeWidth << "x" << mRelativeHeight << std::endl;

    ShareStandardShaderProgram(mShaderProgram, mDemoApp->GetShaderPath());
}

Image::~Image() = default;

void Image::UpdateDemoPart(double /*step*/, double runningTime, double /*time*/)
{
    const float windowWidth = static_cast<float>(mDemoApp->mWindow->mWidth);
    const float windowHeight = static_cast<float>(mDemoApp->mWindow->mHeight);
    if (!mAnimations.empty()) {
        ApplyAnimations(runningTime, windowWidth, windowHeight);
    }
    const float pixelWidth = mRelativeWidth * windowWidth;
    const float pixelHeight = mRelativeHeight * windowHeight;

    switch (mHorizontalAlignment) {
    case Free:
        mPositionX = mRelativeX * windowWidth;
        break;
    case LeftOrTop:
        mPositionX = pixelWidth * 0.5f;
        break;
    case Centered:
        mPositionX = windowWidth * 0.5f;
        break;
    case RightOrBottom:
        mPositionX = windowWidth - pixelWidth * 0.5f;
        break;
    default:
        mPositionX = 0.0f;
        break;
    }
    switch (mVerticalAlignment) {
    case Free:
        mPositionY = mRelativeY * windowHeight;
        break;
    case LeftOrTop:
        mPositionY = pixelHeight * 0.5f;
        break;
    case Centered:
        mPositionY = windowHeight * 0.5f;
        break;
    case RightOrBottom:
        mPositionY = windowHeight - pixelHeight * 0.5f;
        break;
    default:
        mPositionY = 0.0f;
        break;
    }

    if (pixelWidth == mQuadWidth && pixelHeight == mQuadHeight) {
        return;
    }
    // Centred on the origin, so the model matrix turns it about its own centre.
    UpdateRectQuad(mQuad, Rect<float>(pixelWidth * -0.5f, pixelHeight * -0.5f, pixelWidth, pixelHeight),
                   glm::vec3(0.0f, 0.0f, 1.0f));
    mQuadWidth = pixelWidth;
    mQuadHeight = pixelHeight;
    CHECK_GL_ERROR("", mName.toStdString());
}

void Image::RenderDemoPart(double /*step*/, double /*runningTime*/, double /*time*/)
{
    Gl::Blend(mBlendMode);
    if (mBuffer < 0) {
        mTexture->Bind();
    } else {
        const DemoBuffers* buffers = mDemoApp->Buffers();
        glBindTexture(GL_TEXTURE_2D, buffers != nullptr ? buffers->Texture(mBuffer, mTarget) : 0);
    }
    mShaderProgram.Use();

    glm::mat4 model(1.0f);
    model = glm::translate(model, glm::vec3(mPositionX, mPositionY, 0.0f));
    model = glm::rotate(model, glm::radians(mRotation), glm::vec3(0.0f, 0.0f, 1.0f));
    if (mBuffer >= 0) {
        // A buffer's first row is its bottom one, a picture file's its top.
        model = glm::scale(model, glm::vec3(1.0f, -1.0f, 1.0f));
    }
    const glm::mat4 mvp = mViewport.mProjection * mViewport.mView * model;
    mShaderProgram.SetUniformMatrix4fv("MVP", 1, GL_FALSE, glm::value_ptr(mvp));
    mShaderProgram.SetUniform1f("Alpha", mAlpha);
    // The quad lies on the far plane, which a driver may clip by rounding:
    // clamping depth instead keeps the matrices as they are.
    const GLboolean depthClamp = glIsEnabled(GL_DEPTH_CLAMP);
    glEnable(GL_DEPTH_CLAMP);
    mQuad.Draw();
    if (depthClamp == GL_FALSE) {
        glDisable(GL_DEPTH_CLAMP);
    }

    // The next part starts from the opaque state whatever this one used.
    glDisable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    CHECK_GL_ERROR("", mName.toStdString());
}

DemoPart* Image::Clone()
{
    return new Image(mDemoApp, mStart, mEnd, mPriority, mName, mAttributeParams, mParams);
}

void Image::ApplyAlign(const QString& value)
{
    // Single spaces only: two in a row give an empty word, which is reported.
    const QStringList words = value.split(QLatin1Char(' '));
    for (const QString& word : words) {
        bool horizontal = false;
        int alignment = 0;
        if (PartParams::ReadAlignWord(word, horizontal, alignment)) {
            (horizontal ? mHorizontalAlignment : mVerticalAlignment) = static_cast<Alignment>(alignment);
        } else {
            std::cerr << "Error: Unknown value (\"" << word.toStdString() << "\") for key \"align\"" << std::endl;
        }
    }
}

void Image::ApplyBlending(const QString& value)
{
    // "transcluent" is how the settings files have always spelt it.
    if (value == QLatin1String("opaque")) {
        mBlendMode = Gl::Opaque;
    } else if (value == QLatin1String("transcluent")) {
        mBlendMode = Gl::Translucent;
    } else if (value == QLatin1String("additive")) {
        mBlendMode = Gl::Additive;
    } else if (value == QLatin1String("subtractive")) {
        mBlendMode = Gl::Subtractive;
    } else if (value == QLatin1String("reversesubtractive")) {
        mBlendMode = Gl::ReverseSubtractive;
    } else {
        std::cerr << "Unknown value for key \"blending\"!" << std::flush;
    }
}

void Image::CompleteRelativeSize(float windowWidth, float windowHeight)
{
    const float textureWidth = PictureWidth();
    const float textureHeight = PictureHeight();
    // Only an exact 0 counts as missing; the side given keeps the picture's aspect.
    if (mRelativeWidth == 0.0f && mRelativeHeight == 0.0f) {
        mRelativeHeight = 1.0f;
        mRelativeWidth = (textureWidth * windowHeight) / (textureHeight * windowWidth);
    } else if (mRelativeWidth == 0.0f) {
        mRelativeWidth = (windowHeight * mRelativeHeight * textureWidth) / (textureHeight * windowWidth);
    } else if (mRelativeHeight == 0.0f) {
        mRelativeHeight = (mRelativeWidth * windowWidth * textureHeight) / (textureWidth * windowHeight);
    }
}

void Image::ApplyAnimations(double runningTime, float windowWidth, float windowHeight)
{
    bool widthGiven = mWidthGiven;
    bool heightGiven = mHeightGiven;
    bool sizeAnimated = false;
    for (const Animation& animation : mAnimations) {
        const float value = animation.Evaluate(runningTime).x;
        switch (animation.mTarget) {
        case Animation::Target::Alpha:
            mAlpha = value;
            break;
        case Animation::Target::Rotate:
            mRotation = value;
            break;
        case Animation::Target::RelativeWidth:
            mRelativeWidth = value;
            widthGiven = sizeAnimated = true;
            break;
        case Animation::Target::RelativeHeight:
            mRelativeHeight = value;
            heightGiven = sizeAnimated = true;
            break;
        case Animation::Target::RelativeX:
            // As the parameter does: a given position means free placement.
            mRelativeX = value;
            mHorizontalAlignment = Free;
            break;
        case Animation::Target::RelativeY:
            mRelativeY = value;
            mVerticalAlignment = Free;
            break;
        case Animation::Target::Color:
        case Animation::Target::Size:
        case Animation::Target::ScrollOffset:
        case Animation::Target::Time:
        case Animation::Target::Uniform:
            break;
        }
    }
    if (!sizeAnimated) {
        return;
    }
    // The side that was derived at construction follows the animated one, by
    // the picture's aspect; with both sides given the picture may stretch.
    const float textureWidth = PictureWidth();
    const float textureHeight = PictureHeight();
    if (widthGiven && !heightGiven) {
        mRelativeHeight = (mRelativeWidth * windowWidth * textureHeight) / (textureWidth * windowHeight);
    } else if (heightGiven && !widthGiven) {
        mRelativeWidth = (windowHeight * mRelativeHeight * textureWidth) / (textureHeight * windowWidth);
    }
}

float Image::PictureWidth() const
{
    return mTexture ? static_cast<float>(mTexture->GetWidth()) : static_cast<float>(mDemoApp->mWindow->mWidth);
}

float Image::PictureHeight() const
{
    return mTexture ? static_cast<float>(mTexture->GetHeight()) : static_cast<float>(mDemoApp->mWindow->mHeight);
}
