#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "Rect.h"
#include "ShaderProgram.h"
#include "VaoMesh.h"

#include <gtest/gtest.h>
#include <glm/gtc/type_ptr.hpp>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using VexelTest::PixelNear;
using VexelTest::Rgba;

namespace {

const Rgba Black{0, 0, 0, 255};
const Rgba Red{255, 0, 0, 255};
const Rgba Green{0, 255, 0, 255};
const Rgba Blue{0, 0, 255, 255};
const Rgba White{255, 255, 255, 255};

// The square (-0.5, -0.5)..(0.5, 0.5) in clip space, drawn with an identity
// MVP, covers window pixels 320..960 across and 180..540 down. Points inside
// each quarter of it and one outside:
struct Probe { int x; int y; Rgba color; const char* where; };
const Probe QuadProbes[] = {
    {480, 450, Red, "lower left"},  {800, 450, Green, "lower right"},
    {480, 270, Blue, "upper left"}, {800, 270, White, "upper right"},
    {100, 100, Black, "outside"},   {1200, 650, Black, "outside"},
};

// Corners in the quad builders' order: (+,+), (+,-), (-,-), (-,+).
const std::vector<float> QuadPositions = {0.5f, 0.5f, 0.0f, 0.5f, -0.5f, 0.0f, -0.5f, -0.5f, 0.0f, -0.5f, 0.5f, 0.0f};
const std::vector<float> QuadTexCoords = {1, 1, 1, 0, 0, 0, 0, 1};
const std::vector<GLuint> QuadIndices = {0, 1, 2, 0, 2, 3};

// The four corners expanded to two triangles, for meshes without indices.
std::vector<float> Expand(const std::vector<float>& perCorner, int floats)
{
    std::vector<float> out;
    for (GLuint index : QuadIndices) {
        out.insert(out.end(), perCorner.begin() + index * floats, perCorner.begin() + (index + 1) * floats);
    }
    return out;
}

std::vector<VaoVertex> QuadRecords()
{
    std::vector<VaoVertex> records;
    for (int i = 0; i < 4; ++i) {
        records.push_back({{QuadPositions[i * 3], QuadPositions[i * 3 + 1], 0.0f}, {0.0f, 0.0f, 1.0f},
                           {QuadTexCoords[i * 2], QuadTexCoords[i * 2 + 1]}, {1.0f, 0.0f, 0.0f, 1.0f}});
    }
    return records;
}

// Live buffer and vertex array names; each rebuild makes at most five, so
// even a leak in every one of a thousand rebuilds stays below the bound.
std::pair<int, int> CountNames()
{
    std::pair<int, int> count;
    for (GLuint name = 1; name <= 8000; ++name) {
        count.first += glIsBuffer(name) == GL_TRUE ? 1 : 0;
        count.second += glIsVertexArray(name) == GL_TRUE ? 1 : 0;
    }
    return count;
}

} // namespace

class VaoMeshGLTest : public VexelTest::GlTestFixture
{
protected:
    void SetUp() override
    {
        VexelTest::GlTestFixture::SetUp();
        VexelTest::Capture([this] {
            SetupStandardShaderProgram(mProgram, VEXEL_DEMO_DIR "/data/shaders/");
            mProgram.SetUniform1f("Alpha", 1.0f);
            mProgram.SetUniformMatrix4fv("MVP", 1, GL_FALSE, glm::value_ptr(glm::mat4()));
        });
        ASSERT_EQ(mProgram.mShaders.size(), 2u);

        // 2x2 texels: red, green on the bottom row (t = 0), blue, white on top.
        const unsigned char texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        Clear();
    }

    static void Clear()
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    static void ExpectQuadPicture(const std::string& what)
    {
        for (const Probe& p : QuadProbes) {
            EXPECT_TRUE(PixelNear(ReadPixel(p.x, p.y), p.color)) << what << ", " << p.where;
        }
    }

    ShaderProgram mProgram;
};

TEST_F(VaoMeshGLTest, SlotsGetLocationsInSlotOrder)
{
    // Either way the texture coordinates reach location 1. The last buffer
    // added sets the count drawn: six corners of two or three floats.
    const std::vector<float> positions = Expand(QuadPositions, 3);
    std::vector<float> normals;
    for (int i = 0; i < 4; ++i) {
        normals.insert(normals.end(), {QuadTexCoords[i * 2], QuadTexCoords[i * 2 + 1], 0.9f});
    }
    struct Case { const char* name; std::vector<std::pair<int, std::vector<float>>> buffers; };
    const Case cases[] = {
        {"all four slots, added out of order",
         {{VaoMesh::Position, positions}, {VaoMesh::Color, std::vector<float>(18, 0.6f)},
          {VaoMesh::Normal, std::vector<float>(18, 0.3f)}, {VaoMesh::TexCoord, Expand(QuadTexCoords, 2)}}},
        {"position and normal slots: normals feed location 1",
         {{VaoMesh::Position, positions}, {VaoMesh::Normal, Expand(normals, 3)}}},
    };
    for (const Case& c : cases) {
        Clear();
        VaoMesh mesh;
        for (const auto& buffer : c.buffers) {
            mesh.AddBuffer(buffer.first, buffer.second, GL_STATIC_DRAW);
        }
        mesh.Setup();
        mesh.Draw();
        ExpectQuadPicture(c.name);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(VaoMeshGLTest, InterleavedAttributesFollowTheRecordLayout)
{
    VaoMesh mesh;
    mesh.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
    mesh.Setup();
    struct Row { GLuint location; GLint size; std::size_t offset; };
    const Row rows[] = {{0, 3, 0}, {1, 2, 24}, {2, 3, 12}, {3, 3, 32}};
    for (const Row& r : rows) {
        const auto attribute = [&r](GLenum what) {
            GLint value = 0;
            glGetVertexAttribiv(r.location, what, &value);
            return value;
        };
        void* pointer = nullptr;
        glGetVertexAttribPointerv(r.location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
        EXPECT_EQ(attribute(GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE) << r.location;
        EXPECT_EQ(attribute(GL_VERTEX_ATTRIB_ARRAY_SIZE), r.size) << r.location;
        EXPECT_EQ(attribute(GL_VERTEX_ATTRIB_ARRAY_STRIDE), 48) << r.location;
        EXPECT_EQ(reinterpret_cast<std::size_t>(pointer), r.offset) << r.location;
    }
}

TEST_F(VaoMeshGLTest, IndicesDecideWhatIsDrawn)
{
    // Nothing is drawn before Setup, with or without data.
    VaoMesh().Draw();
    VaoMesh mesh;
    mesh.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
    mesh.Draw();
    EXPECT_TRUE(PixelNear(ReadPixel(800, 450), Black));

    // Drawn as arrays, four records make only the triangle 0-1-2.
    mesh.Setup();
    mesh.Draw();
    EXPECT_TRUE(PixelNear(ReadPixel(800, 450), Green));
    EXPECT_TRUE(PixelNear(ReadPixel(480, 270), Black));

    Clear();
    mesh.SetIndices(QuadIndices);
    mesh.Draw();
    ExpectQuadPicture("with indices");

    // Indices may also come before Setup.
    Clear();
    VaoMesh early;
    early.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
    early.SetIndices({0, 2, 3});
    early.Setup();
    early.Draw();
    EXPECT_TRUE(PixelNear(ReadPixel(480, 270), Blue));
    EXPECT_TRUE(PixelNear(ReadPixel(800, 450), Black));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(VaoMeshGLTest, MeshesSetUpOnceShowOnEveryDraw)
{
    VaoMesh quad;
    MakeCenteredQuad(quad, {0.5f, 0.5f}, {0, 0, 1});
    VaoMesh other;
    other.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
    other.Setup();
    for (int frame = 0; frame < 3; ++frame) {
        Clear();
        quad.Draw();
        ExpectQuadPicture("frame " + std::to_string(frame));
        // Giving another mesh its indices while this one's vertex array is
        // still bound must not change this one.
        other.SetIndices({0, 1, 2});
    }
    Clear();
    other.Draw();
    EXPECT_TRUE(PixelNear(ReadPixel(800, 450), Green));
    EXPECT_TRUE(PixelNear(ReadPixel(480, 270), Black));
}

TEST_F(VaoMeshGLTest, QuadBuildersFillTheSlotsAndAddBufferChecksTheSlot)
{
    VaoMesh rect;
    MakeRectQuad(rect, Rect<float>(10.0f, 20.0f, 30.0f, 40.0f), {0.0f, 0.0f, 1.0f});
    EXPECT_EQ(rect.mSlotData[VaoMesh::Position], (std::vector<float>{40, 60, 0, 40, 20, 0, 10, 20, 0, 10, 60, 0}));
    VaoMesh centred;
    MakeCenteredQuad(centred, {0.25f, 0.125f}, {0.0f, 1.0f, 0.5f});
    EXPECT_EQ(centred.mSlotData[VaoMesh::Position],
              (std::vector<float>{0.25f, 0.125f, 0, 0.25f, -0.125f, 0, -0.25f, -0.125f, 0, -0.25f, 0.125f, 0}));
    EXPECT_EQ(centred.mSlotData[VaoMesh::Normal], (std::vector<float>{0, 1, 0.5f, 0, 1, 0.5f, 0, 1, 0.5f, 0, 1, 0.5f}));

    const auto captured =
        VexelTest::Capture([&] { rect.AddBuffer(VaoMesh::Interleaved, {1, 2, 3}, GL_STATIC_DRAW); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines().at(0),
              "FATAL ERROR: Assertion (slot >= Position && slot <= Color && \"=> VaoMesh::AddBuffer(): slot must "
              "be 0 to 3!\") failed!");
}

TEST_F(VaoMeshGLTest, RebuildingKeepsTheNameCountAndDestructionFreesAll)
{
    auto mesh = std::make_unique<VaoMesh>();
    MakeRectQuad(*mesh, Rect<float>(-0.5f, -0.5f, 1.0f, 1.0f), {0, 0, 1});
    const auto first = CountNames();
    for (int i = 0; i < 1000; ++i) {
        const float size = 0.5f + static_cast<float>(i % 10) * 0.01f;
        MakeRectQuad(*mesh, Rect<float>(-size, -size, 2 * size, 2 * size), {0, 0, 1});
    }
    EXPECT_EQ(CountNames(), first);
    Clear();
    MakeRectQuad(*mesh, Rect<float>(-0.5f, -0.5f, 1.0f, 1.0f), {0, 0, 1});
    mesh->Draw();
    ExpectQuadPicture("after 1000 rebuilds");

    // Position, normal, texcoord and index buffers; one vertex array.
    mesh.reset();
    EXPECT_EQ(CountNames(), std::make_pair(first.first - 4, first.second - 1));
}
