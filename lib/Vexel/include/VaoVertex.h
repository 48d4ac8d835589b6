#pragma once

#include <cstddef>

// One interleaved vertex record as uploaded to the GPU: 48 bytes, no gaps.
struct VaoVertex
{
    float position[3];
    float normal[3];
    float texCoord[2];
    // Red, green, blue, alpha; the alpha is not fed to the shaders.
    float color[4];
};

static_assert(sizeof(VaoVertex) == 48, "VaoVertex must be 48 bytes, as the attribute offsets assume");
static_assert(offsetof(VaoVertex, position) == 0, "position at byte 0");
static_assert(offsetof(VaoVertex, normal) == 12, "normal at byte 12");
static_assert(offsetof(VaoVertex, texCoord) == 24, "texCoord at byte 24");
static_assert(offsetof(VaoVertex, color) == 32, "color at byte 32");
