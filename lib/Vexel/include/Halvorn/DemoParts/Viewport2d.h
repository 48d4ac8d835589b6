#pragma once

#include <glm/mat4x4.hpp>

// A 2-D camera for screen space: x to the right from 0 to the width, y
// downwards from 0 to the height, (0, 0) at the top left corner.
class Viewport2d
{
public:
    Viewport2d() = default;
    virtual ~Viewport2d() = default;

    // Stores the five numbers and recomputes both matrices.
    void Setup(float width, float height, float nearPlane, float farPlane, float cameraDistance);

    float mWidth = 0.0f;
    float mHeight = 0.0f;
    float mNear = 0.0f;
    float mFar = 0.0f;
    float mCameraDistance = 0.0f;
    glm::mat4 mView{1.0f};
    glm::mat4 mProjection{1.0f};
};
