#include "Halvorn/DemoParts/Viewport2d.h"

#include <gtest/gtest.h>

#include <glm/glm.hpp>

TEST(Viewport2dTest, MapsWindowPixelsToClipSpaceWithYDownwards)
{
    struct Case
    {
        float width, height, nearPlane, farPlane, distance;
    };
    const Case cases[] = {
        {1280.0f, 720.0f, -1000.0f, 1000.0f, 1000.0f},
        {640.0f, 480.0f, 1.0f, 101.0f, 50.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Viewport2d viewport;
        viewport.Setup(c.width, c.height, c.nearPlane, c.farPlane, c.distance);
        EXPECT_EQ(viewport.mWidth, c.width);
        EXPECT_EQ(viewport.mHeight, c.height);
        EXPECT_EQ(viewport.mNear, c.nearPlane);
        EXPECT_EQ(viewport.mFar, c.farPlane);
        EXPECT_EQ(viewport.mCameraDistance, c.distance);

        glm::mat4 expectedView(1.0f);
        expectedView[3][2] = -c.distance;
        EXPECT_EQ(viewport.mView, expectedView);

        glm::mat4 expectedProjection(0.0f);
        expectedProjection[0][0] = 2.0f / c.width;
        expectedProjection[1][1] = 2.0f / (0.0f - c.height);
        expectedProjection[2][2] = -2.0f / (c.farPlane - c.nearPlane);
        expectedProjection[3][0] = -1.0f;
        expectedProjection[3][1] = 1.0f;
        expectedProjection[3][2] = -(c.farPlane + c.nearPlane) / (c.farPlane - c.nearPlane);
        expectedProjection[3][3] = 1.0f;
        for (int column = 0; column < 4; ++column) {
            for (int row = 0; row < 4; ++row) {
                EXPECT_FLOAT_EQ(viewport.mProjection[column][row], expectedProjection[column][row])
                    << "[" << column << "][" << row << "]";
            }
        }

        // The top left corner lands at (-1, 1), the bottom right at (1, -1).
        const glm::mat4 both = viewport.mProjection * viewport.mView;
        const glm::vec4 topLeft = both * glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
        const glm::vec4 bottomRight = both * glm::vec4(c.width, c.height, 0.0f, 1.0f);
        EXPECT_FLOAT_EQ(topLeft.x, -1.0f);
        EXPECT_FLOAT_EQ(topLeft.y, 1.0f);
        EXPECT_FLOAT_EQ(bottomRight.x, 1.0f);
        EXPECT_FLOAT_EQ(bottomRight.y, -1.0f);
    }
}
