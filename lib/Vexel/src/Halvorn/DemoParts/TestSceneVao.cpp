#include "Halvorn/DemoParts/TestSceneVao.h"

#include "CheckGlError.h"
#include "Sdl2OpenglWindow.h"
#include "VaoVertex.h"
#include "VexelApp.h"

#include <glm/gtc/constants.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <cmath>
#include <iostream>
#include <vector>

namespace {

const glm::vec3 Facing(0.0f, 0.0f, 1.0f);

// Positions, normals, texture coordinates and colours as separate buffers,
// uploaded in that order.
void BuildFromSeparateBuffers(VaoMesh& mesh, const std::vector<float>& positions, const std::vector<float>& normals,
                              const std::vector<float>& texCoords, const std::vector<float>& colors)
{
    mesh.AddBuffer(VaoMesh::Position, positions, GL_STATIC_DRAW);
    mesh.AddBuffer(VaoMesh::Normal, normals, GL_STATIC_DRAW);
    mesh.AddBuffer(VaoMesh::TexCoord, texCoords, GL_STATIC_DRAW);
    mesh.AddBuffer(VaoMesh::Color, colors, GL_STATIC_DRAW);
    mesh.Setup();
}

// Built element by element rather than with glm::perspective, whose float
// tangent may differ from the double one in the last bit.
glm::mat4 Perspective(float aspectRatio)
{
    const float halfFieldOfView = static_cast<float>(glm::pi<double>() / 8.0);
    const float tangent = static_cast<float>(std::tan(static_cast<double>(halfFieldOfView)));
    const float nearPlane = 0.1f;
    const float farPlane = 100.0f;
    glm::mat4 projection(0.0f);
    projection[0][0] = 1.0f / (tangent * aspectRatio);
    projection[1][1] = 1.0f / tangent;
    projection[2][2] = -(farPlane + nearPlane) / (farPlane - nearPlane);
    projection[2][3] = -1.0f;
    projection[3][2] = -(2.0f * farPlane * nearPlane) / (farPlane - nearPlane);
    return projection;
}

} // namespace

TestSceneVao::TestSceneVao(VexelApp* app)
    : SceneBase(app)
    , mMvp(1.0f)
{
    std::cout << "TestSceneVao::TestSceneVao()" << std::endl;

    const QString texturePath = mApp->GetTexturePath();
    mTestTexture.Load(texturePath + "test.png", false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    mBackgroundTexture.Load(texturePath + "bg.jpg", false, false, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);

    SetupStandardShaderProgram(mShaderProgram, mApp->GetShaderPath());

    // A triangle.
    BuildFromSeparateBuffers(mMesh1,
                             {-0.8f, -0.8f, 0.0f, 0.8f, -0.8f, 0.0f, 0.0f, 0.8f, 0.0f},
                             {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f},
                             {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f},
                             {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f});
    CHECK_GL_ERROR("", "mesh 1");

    // A square of two unindexed triangles.
    BuildFromSeparateBuffers(mMesh2,
                             {0.5f, 0.5f, 0.0f, 0.5f, -0.5f, 0.0f, -0.5f, -0.5f, 0.0f,
                              -0.5f, 0.5f, 0.0f, 0.5f, 0.5f, 0.0f, -0.5f, -0.5f, 0.0f},
                             {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f,
                              0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f},
                             {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f},
                             {1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f,
                              1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f});
    CHECK_GL_ERROR("", "mesh 2");

    // A small square from interleaved records and an index list.
    const std::vector<VaoVertex> vertices = {
        {{0.15f, 0.15f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f, 1.0f, 1.0f}},
        {{0.15f, -0.15f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f}, {1.0f, 1.0f, 0.0f, 1.0f}},
        {{-0.15f, -0.15f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f}, {0.0f, 1.0f, 1.0f, 1.0f}},
        {{-0.15f, 0.15f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f}, {1.0f, 0.0f, 1.0f, 1.0f}},
    };
    mMesh4.AddInterleavedBuffer(vertices, GL_STATIC_DRAW);
    mMesh4.Setup();
    mMesh4.SetIndices({0, 1, 2, 0, 2, 3});
    CHECK_GL_ERROR("", "mesh 4");

    MakeCenteredQuad(mMesh5, glm::vec2(0.05f, 0.05f), Facing);
    CHECK_GL_ERROR("", "mesh 5");
}

TestSceneVao::~TestSceneVao()
{
    std::cout << "TestSceneVao::~TestSceneVao()" << std::endl;
}

void TestSceneVao::DeActivate()
{
    std::cout << "TestSceneVao::DeActivate()" << std::endl;
}

void TestSceneVao::Activate()
{
    std::cout << "TestSceneVao::Activate()" << std::endl;
}

void TestSceneVao::KeyUp(int key)
{
    std::cout << "TestSceneVao::KeyUp(): Key code " << key << " released." << std::endl;
}

void TestSceneVao::KeyDown(int key)
{
    std::cout << "TestSceneVao::KeyDown(): Key code " << key << " pressed down." << std::endl;
}

void TestSceneVao::Update(double /*delta*/, double time)
{
    const float angle = static_cast<float>(time * 30.0);

    const glm::mat4 projection = Perspective(mApp->mWindow->mAspectRatio);
    const glm::mat4 view =
        glm::lookAt(glm::vec3(1.3f, 1.0f, 2.0f), glm::vec3(0.0f, 0.0f, 0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    const glm::mat4 model = glm::rotate(glm::mat4(1.0f), glm::radians(angle), Facing);
    mMvp = projection * view * model;

    const float size = static_cast<float>(std::fabs(std::sin(time)) * static_cast<double>(0.2f) +
                                          static_cast<double>(0.13f));
    MakeCenteredQuad(mMesh3, glm::vec2(size * 1.15f, size), Facing);
    CHECK_GL_ERROR("", "mesh 3");
}

void TestSceneVao::Render(double /*delta*/, double /*time*/)
{
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    mShaderProgram.Use();
    mShaderProgram.SetUniformMatrix4fv("MVP", 1, GL_FALSE, glm::value_ptr(mMvp));

    mTestTexture.Bind();
    mMesh1.Draw();
    mBackgroundTexture.Bind();
    mMesh2.Draw();
    mTestTexture.Bind();
    mMesh3.Draw();
    mBackgroundTexture.Bind();
    mMesh4.Draw();
    mBackgroundTexture.Bind();
    mShaderProgram.Use();
    mMesh5.Draw();
    CHECK_GL_ERROR("", "TestSceneVao");
}
