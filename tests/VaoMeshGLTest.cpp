#include "AssertException.h"
#include "GlTestFixture.h"
#include "OutputCapture.h"
#include "Rect.h"
#include "ShaderProgram.h"
#include "VaoMesh.h"

#include <gtest/gtest.h>
#include <glm/gtc/type_ptr.hpp>

#include <QDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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
        VaoVertex v{};
        v.position[0] = QuadPositions[i * 3];
        v.position[1] = QuadPositions[i * 3 + 1];
        v.normal[2] = 1.0f;
        v.texCoord[0] = QuadTexCoords[i * 2];
        v.texCoord[1] = QuadTexCoords[i * 2 + 1];
        v.color[0] = v.color[3] = 1.0f;
        records.push_back(v);
    }
    return records;
}

class InDemoFolder
{
public:
    InDemoFolder()
        : mPrevious(QDir::currentPath())
    {
        QDir::setCurrent(VEXEL_DEMO_DIR);
    }
    ~InDemoFolder() { QDir::setCurrent(mPrevious); }

private:
    QString mPrevious;
};

// Every live buffer and vertex array name up to a bound past the highest
// name in use, so leaked names are counted too.
struct NameCount
{
    int buffers = 0;
    int vertexArrays = 0;
};

NameCount CountNames(GLuint upTo)
{
    NameCount count;
    for (GLuint name = 1; name <= upTo; ++name) {
        count.buffers += glIsBuffer(name) == GL_TRUE ? 1 : 0;
        count.vertexArrays += glIsVertexArray(name) == GL_TRUE ? 1 : 0;
    }
    return count;
}

GLuint HighestName(const VaoMesh& mesh)
{
    GLuint highest = std::max(mesh.mVertexArray, mesh.mIndexBuffer);
    for (GLuint name : mesh.mBuffers) {
        highest = std::max(highest, name);
    }
    return highest;
}

} // namespace

class VaoMeshGLTest : public VexelTest::GlTestFixture
{
protected:
    void SetUp() override
    {
        VexelTest::GlTestFixture::SetUp();
        {
            InDemoFolder demo;
            VexelTest::Capture([this] {
                mProgram.Init();
                mProgram.CompileAndAddShaderFromFile(QString("data/shaders/") + StandardVertexShaderFile,
                                                     Shader::Vertex);
                mProgram.CompileAndAddShaderFromFile(QString("data/shaders/") + StandardFragmentShaderFile,
                                                     Shader::Fragment);
                mProgram.Link();
                mProgram.Use();
                mProgram.SetUniform1i("Tex1", 0);
                mProgram.SetUniform1f("Alpha", 1.0f);
                const glm::mat4 identity;
                mProgram.SetUniformMatrix4fv("MVP", 1, GL_FALSE, glm::value_ptr(identity));
            });
        }
        ASSERT_EQ(mProgram.mShaders.size(), 2u);

        // 2x2 texels: red, green on the bottom row (t = 0), blue, white on top.
        const unsigned char texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        glActiveTexture(GL_TEXTURE0);
        glGenTextures(1, &mTexture);
        glBindTexture(GL_TEXTURE_2D, mTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        Clear();
    }

    void TearDown() override
    {
        glBindVertexArray(0);
        glDeleteTextures(1, &mTexture);
        glUseProgram(0);
    }

    static void Clear()
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    static void ExpectQuadPicture(const std::string& what)
    {
        for (const Probe& p : QuadProbes) {
            EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(p.x, p.y), p.color)) << what << ", " << p.where;
        }
    }

    ShaderProgram mProgram;
    GLuint mTexture = 0;
};

TEST_F(VaoMeshGLTest, EveryLayoutDrawsTheTexturedQuad)
{
    // In each case the texture coordinates reach location 1, whichever slot holds them.
    struct Case { const char* name; std::function<void(VaoMesh&)> build; };
    const Case cases[] = {
        {"position and texcoord slots",
         [](VaoMesh& m) {
             m.AddBuffer(VaoMesh::Position, Expand(QuadPositions, 3), GL_STATIC_DRAW);
             m.AddBuffer(VaoMesh::TexCoord, Expand(QuadTexCoords, 2), GL_STATIC_DRAW);
             m.Setup();
         }},
        {"all four slots, added out of order",
         [](VaoMesh& m) {
             m.AddBuffer(VaoMesh::Position, Expand(QuadPositions, 3), GL_STATIC_DRAW);
             m.AddBuffer(VaoMesh::Normal, std::vector<float>(18, 0.3f), GL_STATIC_DRAW);
             m.AddBuffer(VaoMesh::TexCoord, Expand(QuadTexCoords, 2), GL_STATIC_DRAW);
             m.AddBuffer(VaoMesh::Color, std::vector<float>(18, 0.6f), GL_STATIC_DRAW);
             m.Setup();
         }},
        {"position and normal slots: normals feed location 1",
         [](VaoMesh& m) {
             std::vector<float> normals;
             for (int i = 0; i < 4; ++i) {
                 normals.insert(normals.end(), {QuadTexCoords[i * 2], QuadTexCoords[i * 2 + 1], 0.9f});
             }
             m.AddBuffer(VaoMesh::Position, Expand(QuadPositions, 3), GL_STATIC_DRAW);
             m.AddBuffer(VaoMesh::Normal, Expand(normals, 3), GL_STATIC_DRAW);
             m.Setup();
         }},
        {"interleaved with indices",
         [](VaoMesh& m) {
             m.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
             m.Setup();
             m.SetIndices(QuadIndices);
         }},
        {"centred quad", [](VaoMesh& m) { MakeCenteredQuad(m, {0.5f, 0.5f}, {0, 0, 1}); }},
        {"rect quad", [](VaoMesh& m) { MakeRectQuad(m, Rect<float>(-0.5f, -0.5f, 1.0f, 1.0f), {0, 0, 1}); }},
    };
    for (const Case& c : cases) {
        Clear();
        VaoMesh mesh;
        c.build(mesh);
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
        GLint enabled = 0, size = 0, stride = 0, buffer = 0;
        void* pointer = nullptr;
        glGetVertexAttribiv(r.location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        glGetVertexAttribiv(r.location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
        glGetVertexAttribiv(r.location, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
        glGetVertexAttribiv(r.location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
        glGetVertexAttribPointerv(r.location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
        EXPECT_EQ(enabled, GL_TRUE) << r.location;
        EXPECT_EQ(size, r.size) << r.location;
        EXPECT_EQ(stride, 48) << r.location;
        EXPECT_EQ(static_cast<GLuint>(buffer), mesh.mBuffers[VaoMesh::Interleaved]) << r.location;
        EXPECT_EQ(reinterpret_cast<std::size_t>(pointer), r.offset) << r.location;
    }
}

TEST_F(VaoMeshGLTest, IndicesDecideWhatIsDrawn)
{
    // Four records make a vertex count of 4: drawn as arrays that is the
    // triangle 0-1-2 only, so the upper left quarter stays empty.
    VaoMesh mesh;
    mesh.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
    mesh.Setup();
    EXPECT_EQ(mesh.mVertexCount, 4);
    mesh.Draw();
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(800, 450), Green));
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(480, 270), Black));

    Clear();
    mesh.SetIndices(QuadIndices);
    mesh.Draw();
    ExpectQuadPicture("with indices");
    GLint elementBuffer = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBuffer);
    EXPECT_NE(elementBuffer, 0);
    EXPECT_EQ(static_cast<GLuint>(elementBuffer), mesh.mIndexBuffer);

    // Indices may also come before Setup.
    Clear();
    VaoMesh early;
    early.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
    early.SetIndices({0, 2, 3});
    early.Setup();
    early.Draw();
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(480, 270), Blue));
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(800, 450), Black));
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
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(800, 450), Green));
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(480, 270), Black));
}

TEST_F(VaoMeshGLTest, MeshWithoutSetupDrawsNothing)
{
    VaoMesh empty;
    empty.Draw();
    VaoMesh notSetUp;
    notSetUp.AddInterleavedBuffer(QuadRecords(), GL_STATIC_DRAW);
    notSetUp.SetIndices(QuadIndices);
    notSetUp.Draw();
    for (const Probe& p : QuadProbes) {
        EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(p.x, p.y), Black)) << p.where;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(VaoMeshGLTest, VertexCountFollowsTheLastBuffer)
{
    VaoMesh mesh;
    EXPECT_EQ(mesh.mVertexCount, 0);
    struct Step { int slot; std::size_t floats; GLint count; };
    const Step steps[] = {
        {VaoMesh::Position, 18, 6}, {VaoMesh::TexCoord, 10, 5}, {VaoMesh::Color, 9, 3}, {VaoMesh::Normal, 7, 2}};
    for (const Step& s : steps) {
        mesh.AddBuffer(s.slot, std::vector<float>(s.floats, 0.5f), GL_STATIC_DRAW);
        EXPECT_EQ(mesh.mVertexCount, s.count) << "slot " << s.slot;
        EXPECT_TRUE(mesh.mBufferCreated[s.slot]);
        EXPECT_EQ(mesh.mSlotData[s.slot].size(), s.floats);
    }
    mesh.AddInterleavedBuffer(std::vector<VaoVertex>(7), GL_STATIC_DRAW);
    EXPECT_EQ(mesh.mVertexCount, 7);
    EXPECT_EQ(mesh.mInterleaved.size(), 7u);

    const auto captured = VexelTest::Capture([&] { mesh.AddBuffer(VaoMesh::Interleaved, {1, 2, 3}, GL_STATIC_DRAW); });
    ASSERT_TRUE(captured.Threw());
    EXPECT_EQ(captured.ErrLines().at(0),
              "FATAL ERROR: Assertion (slot >= Position && slot <= Color && \"=> VaoMesh::AddBuffer(): slot must "
              "be 0 to 3!\") failed!");
}

TEST_F(VaoMeshGLTest, QuadBuildersFillTheSlots)
{
    VaoMesh rect;
    MakeRectQuad(rect, Rect<float>(-50.0f, -25.0f, 100.0f, 50.0f), {0.0f, 0.0f, 1.0f});
    VaoMesh centred;
    MakeCenteredQuad(centred, {0.1495f, 0.13f}, {0.0f, 1.0f, 1.0f});

    struct Case { const VaoMesh& mesh; std::vector<float> positions; std::vector<float> normal; };
    const Case cases[] = {
        {rect, {50, 25, 0, 50, -25, 0, -50, -25, 0, -50, 25, 0}, {0, 0, 1}},
        {centred, {0.1495f, 0.13f, 0, 0.1495f, -0.13f, 0, -0.1495f, -0.13f, 0, -0.1495f, 0.13f, 0}, {0, 1, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.mesh.mSlotData[VaoMesh::Position], c.positions);
        std::vector<float> normals;
        for (int i = 0; i < 4; ++i) {
            normals.insert(normals.end(), c.normal.begin(), c.normal.end());
        }
        EXPECT_EQ(c.mesh.mSlotData[VaoMesh::Normal], normals);
        EXPECT_EQ(c.mesh.mSlotData[VaoMesh::TexCoord], QuadTexCoords);
        EXPECT_TRUE(c.mesh.mSlotData[VaoMesh::Color].empty());
        EXPECT_EQ(c.mesh.mIndices, QuadIndices);
        EXPECT_EQ(c.mesh.mVertexCount, 4);
        EXPECT_TRUE(c.mesh.mSetUp);
    }
}

TEST_F(VaoMeshGLTest, RebuildingKeepsTheNameCountAndDestructionFreesAll)
{
    auto mesh = std::make_unique<VaoMesh>();
    MakeRectQuad(*mesh, Rect<float>(-0.5f, -0.5f, 1.0f, 1.0f), {0, 0, 1});
    const GLuint bound = HighestName(*mesh) + 64;
    const NameCount first = CountNames(bound);
    // Position, normal, texcoord and index buffers; one vertex array.
    EXPECT_GE(first.buffers, 4);
    EXPECT_GE(first.vertexArrays, 1);

    GLuint highest = 0;
    for (int i = 0; i < 1000; ++i) {
        const float size = 0.5f + static_cast<float>(i % 10) * 0.01f;
        MakeRectQuad(*mesh, Rect<float>(-size, -size, 2 * size, 2 * size), {0, 0, 1});
        highest = std::max(highest, HighestName(*mesh));
    }
    const NameCount after = CountNames(std::max(bound, highest + 64));
    EXPECT_EQ(after.buffers, first.buffers);
    EXPECT_EQ(after.vertexArrays, first.vertexArrays);
    Clear();
    MakeRectQuad(*mesh, Rect<float>(-0.5f, -0.5f, 1.0f, 1.0f), {0, 0, 1});
    mesh->Draw();
    ExpectQuadPicture("after 1000 rebuilds");

    const VaoMesh& held = *mesh;
    std::vector<GLuint> buffers = {held.mBuffers[VaoMesh::Position], held.mBuffers[VaoMesh::TexCoord],
                                   held.mBuffers[VaoMesh::Normal], held.mIndexBuffer};
    const GLuint vertexArray = held.mVertexArray;
    mesh.reset();
    for (GLuint name : buffers) {
        EXPECT_EQ(glIsBuffer(name), GL_FALSE) << name;
    }
    EXPECT_EQ(glIsVertexArray(vertexArray), GL_FALSE);
    const NameCount end = CountNames(std::max(bound, highest + 64));
    EXPECT_EQ(end.buffers, first.buffers - 4);
    EXPECT_EQ(end.vertexArrays, first.vertexArrays - 1);
}

TEST_F(VaoMeshGLTest, AlphaScalesTheTextureAlpha)
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    VexelTest::Capture([this] { mProgram.SetUniform1f("Alpha", 0.5f); });
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    VaoMesh quad;
    MakeCenteredQuad(quad, {0.5f, 0.5f}, {0, 0, 1});
    quad.Draw();
    glDisable(GL_BLEND);
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(800, 270), {128, 128, 128, 255}, 3));
    EXPECT_TRUE(VexelTest::PixelNear(ReadPixel(480, 450), {128, 0, 0, 255}, 3));
}
