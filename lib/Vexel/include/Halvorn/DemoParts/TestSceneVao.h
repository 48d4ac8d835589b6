#pragma once

#include "Halvorn/SceneBase.h"
#include "ShaderProgram.h"
#include "Texture.h"
#include "VaoMesh.h"

#include <glm/mat4x4.hpp>

// A scene that feeds geometry to GL every way the meshes allow (separate
// buffers, interleaved records with indices, both quad builders), spinning at
// 30 degrees per second with one quad pulsing in size.
class TestSceneVao : public SceneBase
{
public:
    // Loads "test.png", "bg.jpg" and the standard shaders; a picture that
    // cannot be loaded throws out of here.
    explicit TestSceneVao(VexelApp* app);
    ~TestSceneVao() override;

    void DeActivate() override;
    void Activate() override;
    void KeyUp(int key) override;
    void KeyDown(int key) override;
    // time sets the turn and the pulse; delta is not used.
    void Update(double delta, double time) override;
    void Render(double delta, double time) override;

    ShaderProgram mShaderProgram;
    Texture mTestTexture;
    Texture mBackgroundTexture;
    VaoMesh mMesh1;
    VaoMesh mMesh2;
    // Rebuilt by every update; empty until the first.
    VaoMesh mMesh3;
    VaoMesh mMesh4;
    VaoMesh mMesh5;
    // Projection x view x model of the last update.
    glm::mat4 mMvp;
};
