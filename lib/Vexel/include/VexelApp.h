#pragma once

#include "WindowPlacement.h"

#include <QString>
#include <QStringList>

class Audio2d;
class Sdl2OpenglWindow;

// Application base: opens the window, brings up audio and runs the one main
// loop, handing every frame and event to the virtual operations below.
class VexelApp
{
public:
    VexelApp(int argc, char** argv, const QString& title, const QString& version, int width, int height,
             float aspectRatio, bool noSound, int glMajorVersion, int glMinorVersion,
             const WindowPlacement& placement = WindowPlacement());
    virtual ~VexelApp();

    VexelApp(const VexelApp&) = delete;
    VexelApp& operator=(const VexelApp&) = delete;

    virtual int ParseArgument(int argc, const QStringList& arguments, int index);
    virtual bool Run();
    virtual void Update(double dt, double time);
    virtual void Render(double dt, double time) const;
    virtual void KeyUp(int key);
    virtual void KeyDown(int key);
    virtual void MouseMotion(unsigned int state, int xrel, int yrel, int x, int y);
    virtual void OperatingSystemQuitEvent();
    virtual void HandleEvents(double dt, double time);

    // Where shader sources and pictures are found: below the data root, which
    // is the working folder while it is empty.
    QString GetDataPath() const;
    QString GetShaderPath() const;
    QString GetTexturePath() const;
    // A folder, with or without a trailing slash; empty for the working folder.
    void SetDataRoot(const QString& folder);
    const QString& GetDataRoot() const { return mDataRoot; }

    Sdl2OpenglWindow* mWindow = nullptr;
    // Created here and deliberately never destroyed: it lives until the process ends.
    Audio2d* mAudio = nullptr;
    bool mQuit = false;
    float mFps = 0.0f;
    float mFpsUpdateInterval = 1.0f;
    bool mFpsUpdated = false;

private:
    QString mDataRoot;
};

// Driver information; needs a current GL context.
void PrintOpenGlInfo(bool printExtensions);
