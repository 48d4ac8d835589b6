#include "KorvaneApp.h"

#include "Audio/Audio2d.h"
#include "CheckGlError.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoSettingsLoaderXml.h"

#include <iostream>

KorvaneApp::KorvaneApp(int argc, char** argv, const QString& title, const QString& version)
    : DemoApp(argc, argv, title, version, 1280, 720, 16.0f / 9.0f, false, 3, 3)
{
    std::cout << "KorvaneApp::KorvaneApp()" << std::endl;
    CHECK_GL_ERROR("", "");

    QString settingsFile = mSettingsFile;
    if (settingsFile.isEmpty()) {
        settingsFile = QStringLiteral("morvelin.xml");
    }
    const DemoSettingsLoaderXml loader;
    loader.Load(settingsFile, mModel, this);

    mAudio->LoadMusic(QStringLiteral("main"), mModel->mSoundtrackFile);
    mAudio->PlayMusic(QStringLiteral("main"), 0);
}

KorvaneApp::~KorvaneApp()
{
    std::cout << "KorvaneApp::~KorvaneApp()" << std::endl;
}

int KorvaneApp::ParseArgument(int argc, const QStringList& arguments, int index)
{
    return VexelApp::ParseArgument(argc, arguments, index);
}

DemoPart* KorvaneApp::GetDemoPart(float start, float end, unsigned int priority, const QString& name,
                                  const std::vector<DemoPartParam>& attributeParams,
                                  const std::vector<DemoPartParam>& params, const QString& className)
{
    std::cout << "KorvaneApp::GetDemoPart()" << std::endl;
    return DemoApp::GetDemoPart(start, end, priority, name, attributeParams, params, className);
}
