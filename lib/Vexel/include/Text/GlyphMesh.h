#pragma once

#include <GL/glew.h>

#include <vector>

// Quads of glyphs on the GPU, four vertices each: position (x, y), texture
// coordinate (u, v) and the glyph's letter number, at locations 0, 1 and 2.
// Any run of consecutive quads can be drawn on its own.
class GlyphMesh
{
public:
    static constexpr int FloatsPerVertex = 5;

    GlyphMesh() = default;
    ~GlyphMesh();

    GlyphMesh(const GlyphMesh&) = delete;
    GlyphMesh& operator=(const GlyphMesh&) = delete;

    // vertices: FloatsPerVertex floats per vertex, four vertices per quad, in
    // the order top left, top right, bottom right, bottom left.
    void Upload(const std::vector<float>& vertices);
    // Leaves the mesh's vertex array bound.
    void Draw(int firstQuad, int quadCount) const;
    int QuadCount() const { return mQuadCount; }

private:
    GLuint mVertexArray = 0;
    GLuint mVertexBuffer = 0;
    GLuint mIndexBuffer = 0;
    int mQuadCount = 0;
};
