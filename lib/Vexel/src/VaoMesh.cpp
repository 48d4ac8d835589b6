#include "VaoMesh.h"

#include "AssertException.h"

#include <cstddef>

VaoMesh::VaoMesh()
    : mVertexArray(0)
    , mSetUp(false)
    , mVertexCount(0)
    , mIndexBuffer(0)
{
    mBuffers.fill(0);
    mBufferCreated.fill(false);
}

VaoMesh::~VaoMesh()
{
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (mBufferCreated[slot]) {
            glDeleteBuffers(1, &mBuffers[slot]);
        }
    }
    if (mIndexBuffer != 0) {
        glDeleteBuffers(1, &mIndexBuffer);
    }
    if (mSetUp) {
        glDeleteVertexArrays(1, &mVertexArray);
    }
}

void VaoMesh::AddBuffer(int slot, const std::vector<float>& data, GLenum usage)
{
    BOOST_ASSERT(slot >= Position && slot <= Color && "=> VaoMesh::AddBuffer(): slot must be 0 to 3!");
    if (mBufferCreated[slot]) {
        glDeleteBuffers(1, &mBuffers[slot]);
    }
    glGenBuffers(1, &mBuffers[slot]);
    glBindBuffer(GL_ARRAY_BUFFER, mBuffers[slot]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(), usage);
    mBufferCreated[slot] = true;
    mVertexCount = static_cast<GLint>(data.size() / (slot == TexCoord ? 2 : 3));
    mSlotData[slot] = data;
}

void VaoMesh::UpdateBuffer(int slot, const std::vector<float>& data)
{
    BOOST_ASSERT(slot >= Position && slot <= Color && "=> VaoMesh::UpdateBuffer(): slot must be 0 to 3!");
    if (!mBufferCreated[slot] || mSlotData[slot].size() != data.size()) {
        AddBuffer(slot, data, GL_DYNAMIC_DRAW);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, mBuffers[slot]);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data());
    mSlotData[slot] = data;
}

void VaoMesh::AddInterleavedBuffer(const std::vector<VaoVertex>& vertices, GLenum usage)
{
    if (mBufferCreated[Interleaved]) {
        glDeleteBuffers(1, &mBuffers[Interleaved]);
    }
    glGenBuffers(1, &mBuffers[Interleaved]);
    glBindBuffer(GL_ARRAY_BUFFER, mBuffers[Interleaved]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(VaoVertex)), vertices.data(),
                 usage);
    mBufferCreated[Interleaved] = true;
    mVertexCount = static_cast<GLint>(vertices.size());
    mInterleaved = vertices;
}

void VaoMesh::Setup()
{
    if (mSetUp) {
        glDeleteVertexArrays(1, &mVertexArray);
    }
    glGenVertexArrays(1, &mVertexArray);
    glBindVertexArray(mVertexArray);

    if (!mInterleaved.empty()) {
        struct Attribute { GLuint location; GLint size; std::size_t offset; };
        const Attribute attributes[] = {
            {0, 3, offsetof(VaoVertex, position)},
            {1, 2, offsetof(VaoVertex, texCoord)},
            {2, 3, offsetof(VaoVertex, normal)},
            {3, 3, offsetof(VaoVertex, color)},
        };
        glBindBuffer(GL_ARRAY_BUFFER, mBuffers[Interleaved]);
        for (const Attribute& attribute : attributes) {
            glEnableVertexAttribArray(attribute.location);
            glVertexAttribPointer(attribute.location, attribute.size, GL_FLOAT, GL_FALSE, sizeof(VaoVertex),
                                  reinterpret_cast<const void*>(attribute.offset));
        }
    } else {
        GLuint location = 0;
        for (int slot = 0; slot < SlotCount; ++slot) {
            if (!mBufferCreated[slot]) {
                continue;
            }
            glEnableVertexAttribArray(location);
            glBindBuffer(GL_ARRAY_BUFFER, mBuffers[slot]);
            glVertexAttribPointer(location, slot == TexCoord ? 2 : 3, GL_FLOAT, GL_FALSE, 0, nullptr);
            ++location;
        }
    }

    // The element binding belongs to the vertex array, so a new one needs it again.
    if (mIndexBuffer != 0) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mIndexBuffer);
    }
    mSetUp = true;
}

void VaoMesh::SetIndices(const std::vector<GLuint>& indices)
{
    mIndices = indices;
    if (mIndexBuffer == 0) {
        glGenBuffers(1, &mIndexBuffer);
    }
    // Uploaded through the array target: binding an element buffer changes
    // whichever vertex array is bound, which may be another mesh's.
    glBindBuffer(GL_ARRAY_BUFFER, mIndexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(mIndices.size() * sizeof(GLuint)), mIndices.data(),
                 GL_STATIC_DRAW);
    if (mSetUp) {
        glBindVertexArray(mVertexArray);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mIndexBuffer);
    }
}

void VaoMesh::Draw() const
{
    if (!mSetUp) {
        return;
    }
    glBindVertexArray(mVertexArray);
    if (!mIndices.empty()) {
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mIndices.size()), GL_UNSIGNED_INT, nullptr);
    } else {
        glDrawArrays(GL_TRIANGLES, 0, mVertexCount);
    }
}

namespace {

std::vector<float> QuadPositions(float left, float bottom, float right, float top)
{
    return {
        right, top, 0.0f,
        right, bottom, 0.0f,
        left, bottom, 0.0f,
        left, top, 0.0f,
    };
}

std::vector<float> QuadNormals(const glm::vec3& normal)
{
    std::vector<float> normals;
    for (int i = 0; i < 4; ++i) {
        normals.insert(normals.end(), {normal.x, normal.y, normal.z});
    }
    return normals;
}

void MakeQuad(VaoMesh& mesh, float left, float bottom, float right, float top, const glm::vec3& normal)
{
    const std::vector<float> positions = QuadPositions(left, bottom, right, top);
    const std::vector<float> normals = QuadNormals(normal);
    const std::vector<float> texCoords = {
        1.0f, 1.0f,
        1.0f, 0.0f,
        0.0f, 0.0f,
        0.0f, 1.0f,
    };
    mesh.AddBuffer(VaoMesh::Position, positions, GL_STATIC_DRAW);
    mesh.AddBuffer(VaoMesh::Normal, normals, GL_STATIC_DRAW);
    mesh.AddBuffer(VaoMesh::TexCoord, texCoords, GL_STATIC_DRAW);
    mesh.Setup();
    mesh.SetIndices({0, 1, 2, 0, 2, 3});
}

} // namespace

void MakeCenteredQuad(VaoMesh& mesh, const glm::vec2& halfSize, const glm::vec3& normal)
{
    MakeQuad(mesh, -halfSize.x, -halfSize.y, halfSize.x, halfSize.y, normal);
}

void MakeRectQuad(VaoMesh& mesh, const Rect<float>& rect, const glm::vec3& normal)
{
    MakeQuad(mesh, rect.mX, rect.mY, rect.mX + rect.mWidth, rect.mY + rect.mHeight, normal);
}

void UpdateRectQuad(VaoMesh& mesh, const Rect<float>& rect, const glm::vec3& normal)
{
    // What MakeQuad leaves: three slots of four vertices and six indices.
    const bool holdsQuad = mesh.mSetUp && mesh.mInterleaved.empty() && mesh.mIndices.size() == 6 &&
                           mesh.mBufferCreated[VaoMesh::Position] && mesh.mSlotData[VaoMesh::Position].size() == 12 &&
                           mesh.mBufferCreated[VaoMesh::Normal] && mesh.mSlotData[VaoMesh::Normal].size() == 12 &&
                           mesh.mBufferCreated[VaoMesh::TexCoord] && !mesh.mBufferCreated[VaoMesh::Color];
    if (!holdsQuad) {
        MakeRectQuad(mesh, rect, normal);
        return;
    }
    mesh.UpdateBuffer(VaoMesh::Position,
                      QuadPositions(rect.mX, rect.mY, rect.mX + rect.mWidth, rect.mY + rect.mHeight));
    mesh.UpdateBuffer(VaoMesh::Normal, QuadNormals(normal));
}
