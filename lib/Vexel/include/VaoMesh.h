#pragma once

#include "Rect.h"
#include "VaoVertex.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <array>
#include <vector>

// A triangle mesh on the GPU: per-attribute buffers ("slots") or one buffer of
// interleaved VaoVertex records, the vertex array binding them to the
// standard shader locations, and optional indices in an element buffer.
class VaoMesh
{
public:
    enum Slot
    {
        Position = 0,
        TexCoord = 1,
        Normal = 2,
        Color = 3,
        Interleaved = 4
    };
    static constexpr int SlotCount = 5;

    VaoMesh();
    ~VaoMesh();

    VaoMesh(const VaoMesh&) = delete;
    VaoMesh& operator=(const VaoMesh&) = delete;

    // slot 0 to 3; replaces the slot's previous buffer.
    void AddBuffer(int slot, const std::vector<float>& data, GLenum usage);
    // Rewrites a slot's buffer in place when the data has the slot's size;
    // otherwise as AddBuffer, which needs a Setup after it.
    void UpdateBuffer(int slot, const std::vector<float>& data);
    void AddInterleavedBuffer(const std::vector<VaoVertex>& vertices, GLenum usage);
    // Interleaved layout when interleaved records were added, otherwise the
    // created slots get locations 0, 1, ... in slot order with no gaps.
    void Setup();
    void SetIndices(const std::vector<GLuint>& indices);
    // Leaves the mesh's vertex array bound.
    void Draw() const;

    std::array<GLuint, SlotCount> mBuffers;
    std::array<bool, SlotCount> mBufferCreated;
    GLuint mVertexArray;
    bool mSetUp;
    GLint mVertexCount;
    // Copies of what was uploaded to slots 0 to 3; slot 4's is mInterleaved.
    std::array<std::vector<float>, 4> mSlotData;
    std::vector<GLuint> mIndices;
    std::vector<VaoVertex> mInterleaved;
    // A core context draws indices only from a buffer bound to the vertex array.
    GLuint mIndexBuffer;
};

// Four vertices (hx, hy), (hx, -hy), (-hx, -hy), (-hx, hy) with texture
// coordinates (1, 1), (1, 0), (0, 0), (0, 1), two indexed triangles.
void MakeCenteredQuad(VaoMesh& mesh, const glm::vec2& halfSize, const glm::vec3& normal);
// The same corners order for the rectangle (x + w, y + h) ... (x, y + h).
void MakeRectQuad(VaoMesh& mesh, const Rect<float>& rect, const glm::vec3& normal);
// The same quad, written into the buffers of a mesh that MakeRectQuad or
// MakeCenteredQuad filled before instead of new ones; a mesh that holds no
// such quad is made as by MakeRectQuad.
void UpdateRectQuad(VaoMesh& mesh, const Rect<float>& rect, const glm::vec3& normal);
