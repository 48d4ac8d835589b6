#pragma once

class VexelApp;

// Anything that is updated and drawn once per frame and may react to
// activation, keys and the mouse.
class SceneBase
{
public:
    explicit SceneBase(VexelApp* app) : mApp(app) {}
    virtual ~SceneBase() = default;

    SceneBase(const SceneBase&) = delete;
    SceneBase& operator=(const SceneBase&) = delete;

    virtual void DeActivate() {}
    virtual void Activate() {}
    virtual void KeyUp(int /*key*/) {}
    virtual void KeyDown(int /*key*/) {}
    virtual void MouseMotion(unsigned int /*state*/, int /*xrel*/, int /*yrel*/, int /*x*/, int /*y*/) {}
    virtual void Update(double delta, double time) = 0;
    virtual void Render(double delta, double time) = 0;

    VexelApp* mApp;
};
