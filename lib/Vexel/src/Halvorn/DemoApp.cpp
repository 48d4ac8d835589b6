#include "Halvorn/DemoApp.h"

#include "Audio/Audio2d.h"
#include "Audio/SoundtrackAnalysis.h"
#include "Halvorn/DemoBuffers.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoParts/ClearScreen.h"
#include "Halvorn/DemoParts/Image.h"
#include "Halvorn/DemoParts/ShaderPart.h"
#include "Halvorn/DemoParts/TestPartVao.h"
#include "Halvorn/DemoParts/TextPart.h"

#include <QDir>
#include "Sdl2OpenglWindow.h"

#include <SDL_keycode.h>

#include <iostream>

DemoApp::DemoApp(int argc, char** argv, const QString& title, const QString& version, int width, int height,
                 float aspectRatio, bool noSound, int glMajorVersion, int glMinorVersion,
                 const WindowPlacement& placement)
    : VexelApp(argc, argv, title, version, width, height, aspectRatio, noSound, glMajorVersion, glMinorVersion,
               placement)
    , mSettingsFile()
    , mModel(new DemoModel())
{
    mDrawTarget.mArea = Rect<int>(0, 0, mWindow->mWidth, mWindow->mHeight);
}

DemoApp::~DemoApp()
{
    // Parts may still hold GL objects, so they go while the window and its context live.
    delete mModel;
    mModel = nullptr;
    mBuffers.reset();
}

int DemoApp::ParseArgument(int argc, const QStringList& arguments, int index)
{
    // Counted on the list itself: argc cannot be trusted to match it.
    const int count = arguments.size();
    if (index >= 0 && index < count && arguments.at(index) == QLatin1String("--settings")) {
        if (index + 1 < count) {
            mSettingsFile = arguments.at(index + 1);
            return index + 2;
        }
        std::cerr << "You must define a XML-file where to load demo settings! Eg. \"--settings mysettings.xml\""
                  << std::endl;
        return index + 1;
    }
    return VexelApp::ParseArgument(argc, arguments, index);
}

void DemoApp::Update(double delta, double /*total*/)
{
    // The frame rate is not shown, so its update is simply taken note of.
    if (mFpsUpdated) {
        mFpsUpdated = false;
    }
    if (mAudio != nullptr) {
        mAudio->Update();
    }
    if (!mModel->Update(delta)) {
        mQuit = true;
    }
}

void DemoApp::Render(double delta, double /*total*/) const
{
    RenderParts(delta);
}

void DemoApp::RenderParts(double delta) const
{
    // A timeline without buffers draws as it always has.
    if (!mBuffers && mModel->mBuffers.empty()) {
        mModel->Render(delta);
        return;
    }
    if (!mBuffers) {
        mBuffers = std::make_unique<DemoBuffers>();
    }
    mBuffers->BeginFrame(*mModel, mDrawTarget);
    mModel->Render(delta);
    mBuffers->EndFrame(mDrawTarget);
}

void DemoApp::DrawPartInto(int buffer) const
{
    if (mBuffers) {
        mBuffers->DrawInto(buffer, mDrawTarget);
    }
}

const std::vector<BufferSettings>& DemoApp::DeclaredBuffers() const
{
    return mLoadingBuffers != nullptr ? *mLoadingBuffers : mModel->mBuffers;
}

void DemoApp::KeyUp(int /*key*/)
{
}

void DemoApp::KeyDown(int key)
{
    if (key == SDLK_RIGHT || key == SDLK_LEFT) {
        // Only the plain modes are remembered, so a second press does not lose the first.
        if (mModel->mPlayMode >= 0 && mModel->mPlayMode <= 2) {
            mModel->mPreviousPlayMode = mModel->mPlayMode;
        }
        mModel->mPlayMode = key == SDLK_RIGHT ? 3 : 4;
        return;
    }
    VexelApp::KeyDown(key);
}

DemoPart* DemoApp::GetDemoPart(float start, float end, unsigned int priority, const QString& name,
                               const std::vector<DemoPartParam>& attributeParams,
                               const std::vector<DemoPartParam>& params, const QString& className)
{
    std::cout << "DemoApp::GetDemoPart()" << std::endl;
    if (className == QLatin1String("lib.Image")) {
        return new Image(this, start, end, priority, name, attributeParams, params);
    }
    if (className == QLatin1String("lib.ClearScreen")) {
        return new ClearScreen(this, start, end, priority, name, attributeParams, params);
    }
    if (className == QLatin1String("lib.TestPartVao")) {
        return new TestPartVao(this, start, end, priority, name, attributeParams, params);
    }
    if (className == QLatin1String("lib.Text")) {
        return new TextPart(this, start, end, priority, name, attributeParams, params);
    }
    if (className == QLatin1String("lib.Shader")) {
        return new ShaderPart(this, start, end, priority, name, attributeParams, params);
    }
    return nullptr;
}

std::shared_ptr<SoundtrackAnalysis> DemoApp::GetSoundtrackAnalysis()
{
    QString path = mModel->mSoundtrackFile;
    if (!QDir::isAbsolutePath(path)) {
        path = GetDataRoot() + path;
    }
    const std::string fileName = path.toLocal8Bit().toStdString();
    // A reload may name another soundtrack; the parts made before keep theirs.
    if (!mSoundtrackAnalysis || mSoundtrackAnalysis->FileName() != fileName) {
        mSoundtrackAnalysis = std::make_shared<SoundtrackAnalysis>(fileName);
    }
    return mSoundtrackAnalysis;
}

std::shared_ptr<SoundtrackAnalysis> DemoApp::GetAnalysedSoundtrack()
{
    std::shared_ptr<SoundtrackAnalysis> music = GetSoundtrackAnalysis();
    try {
        music->Get();
        return music;
    } catch (const std::exception& failure) {
        if (mReportedFailure != music.get()) {
            mReportedFailure = music.get();
            std::cerr << "Warning: the music inputs stay silent: " << failure.what() << std::endl;
        }
    }
    return nullptr;
}
