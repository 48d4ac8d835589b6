#include "Halvorn/DemoParts/Viewport2d.h"

#include <glm/gtc/matrix_transform.hpp>

void Viewport2d::Setup(float width, float height, float nearPlane, float farPlane, float cameraDistance)
{
    mWidth = width;
    mHeight = height;
    mNear = nearPlane;
    mFar = farPlane;
    mCameraDistance = cameraDistance;

    mView = glm::lookAt(glm::vec3(0.0f, 0.0f, cameraDistance), glm::vec3(0.0f, 0.0f, 0.0f),
                        glm::vec3(0.0f, 1.0f, 0.0f));
    // Bottom is the height and top 0, which turns y downwards.
    mProjection = glm::ortho(0.0f, width, height, 0.0f, nearPlane, farPlane);
}
