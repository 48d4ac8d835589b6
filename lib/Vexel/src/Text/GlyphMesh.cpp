#include "Text/GlyphMesh.h"

#include "CheckGlError.h"

#include <cstdint>

GlyphMesh::~GlyphMesh()
{
    if (mVertexArray == 0) {
        return;
    }
    glDeleteBuffers(1, &mVertexBuffer);
    glDeleteBuffers(1, &mIndexBuffer);
    glDeleteVertexArrays(1, &mVertexArray);
}

void GlyphMesh::Upload(const std::vector<float>& vertices)
{
    if (mVertexArray == 0) {
        glGenVertexArrays(1, &mVertexArray);
        glGenBuffers(1, &mVertexBuffer);
        glGenBuffers(1, &mIndexBuffer);
    }
    mQuadCount = static_cast<int>(vertices.size() / (4 * FloatsPerVertex));
    std::vector<GLuint> indices;
    indices.reserve(static_cast<size_t>(mQuadCount) * 6);
    for (GLuint quad = 0; quad < static_cast<GLuint>(mQuadCount); ++quad) {
        const GLuint corner = quad * 4;
        for (const GLuint index : {corner, corner + 1, corner + 2, corner, corner + 2, corner + 3}) {
            indices.push_back(index);
        }
    }
    glBindVertexArray(mVertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, mVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mIndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)), indices.data(),
                 GL_STATIC_DRAW);
    const GLsizei stride = FloatsPerVertex * sizeof(float);
    const struct
    {
        GLuint location;
        GLint size;
        std::uintptr_t offset;
    } attributes[] = {{0, 2, 0}, {1, 2, 2 * sizeof(float)}, {2, 1, 4 * sizeof(float)}};
    for (const auto& attribute : attributes) {
        glEnableVertexAttribArray(attribute.location);
        glVertexAttribPointer(attribute.location, attribute.size, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(attribute.offset));
    }
    glBindVertexArray(0);
    CHECK_GL_ERROR("", "glyph mesh");
}

void GlyphMesh::Draw(int firstQuad, int quadCount) const
{
    if (mVertexArray == 0 || quadCount <= 0) {
        return;
    }
    glBindVertexArray(mVertexArray);
    glDrawElements(GL_TRIANGLES, quadCount * 6, GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(static_cast<std::uintptr_t>(firstQuad) * 6 * sizeof(GLuint)));
}
