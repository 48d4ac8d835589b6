#include "PlayerCheck.h"

#include "Halvorn/Animation.h"
#include "Halvorn/Reaction.h"
#include "Halvorn/ShaderPartProgram.h"
#include "Halvorn/ShaderPartSettings.h"
#include "Halvorn/XmlElement.h"
#include "ShaderCheck.h"
#include "TimelineBuilder.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <ostream>
#include <string>

namespace {

// Which attribute a problem of Animation::Parse is about, to point at it.
// The part's name and the key are skipped: they may hold any text.
const char* AnimateAttributeOf(const std::string& partName, std::string problem)
{
    problem.erase(0, std::min(problem.size(), partName.size() + 9));
    if (problem.rfind("animate \"", 0) == 0) {
        problem.erase(0, std::min(problem.size(), problem.find("\" ", 9)));
    }
    struct Clue
    {
        const char* text;
        const char* attribute;
    };
    static const Clue clues[] = {
        {"cannot animate", "key"},   {"unknown ease", "ease"},        {"both times and beats", "beats"},
        {"gives beats but", "beats"}, {"beat \"", "beats"},            {"beats do not", "beats"},
        {"time \"", "times"},         {"times do not", "times"},       {"value \"", "values"},
        {" values", "values"},        {"needs times or beats", nullptr}, {"has no key", nullptr},
    };
    for (const Clue& clue : clues) {
        if (problem.find(clue.text) != std::string::npos) {
            return clue.attribute;
        }
    }
    return nullptr;
}

// The numbers a lib.Shader part may animate; false when its shader cannot be read.
bool ShaderUniforms(const SettingsCheck& check, const XmlElement& part, std::vector<Animation::Uniform>& uniforms)
{
    const std::vector<DemoPartParam> params = DemoPartParam::OfPart(part);
    std::vector<ShaderPartSettings::Problem> ignored;
    const ShaderPartSettings settings = ShaderPartSettings::Read(QString(), params, nullptr, ignored);
    std::string text;
    std::string error;
    if (settings.mShader.isEmpty() ||
        !ShaderSource::ReadFile(check.Resolve(QStringLiteral("data/shaders/") + settings.mShader), text, error)) {
        return false;
    }
    uniforms = ShaderPartSettings::AnimatableUniforms(ShaderSource(text));
    return true;
}

// A hidden window with a 3.3 core context, for the shader and texture facts.
class HiddenContext
{
public:
    HiddenContext()
    {
        // Without a display SDL would try its other drivers, which only complain.
        const char* x11 = SDL_getenv("DISPLAY");
        const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
        if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) {
            return;
        }
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            return;
        }
        mVideo = true;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        mWindow = SDL_CreateWindow("vexel-player --check", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (mWindow == nullptr) {
            return;
        }
        mContext = SDL_GL_CreateContext(mWindow);
        if (mContext == nullptr) {
            return;
        }
        glewExperimental = GL_TRUE;
        mUsable = glewInit() == GLEW_OK;
        // GLEW may leave an error behind from a core context.
        glGetError();
    }
    ~HiddenContext()
    {
        if (mContext != nullptr) {
            SDL_GL_DeleteContext(mContext);
        }
        if (mWindow != nullptr) {
            SDL_DestroyWindow(mWindow);
        }
        if (mVideo) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }
    HiddenContext(const HiddenContext&) = delete;
    HiddenContext& operator=(const HiddenContext&) = delete;

    bool Usable() const { return mUsable; }

private:
    bool mVideo = false;
    SDL_Window* mWindow = nullptr;
    SDL_GLContext mContext = nullptr;
    bool mUsable = false;
};

} // namespace

PlayerCheck::PlayerCheck(bool withGl, bool withSoundtrack)
{
    mCheck.SetSoundtrackChecked(withSoundtrack);
    if (withGl) {
        SettingsCheck::GlFacts facts;
        GLint maxTextureSize = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
        facts.maxTextureSize = maxTextureSize;
        facts.checkShaders = &ShaderCheck::Run;
        facts.checkShaderPart = &ShaderPartProgram::Check;
        mCheck.SetGlFacts(facts);
    }
    mCheck.AddChildCheck("animate", [this](SettingsCheck& check, const XmlElement& part, const XmlElement& child) {
        const Animation::Source source = Animation::Source::Of(child);
        const char* className = part.Attribute("class");
        const char* partName = part.Attribute("name");
        // An unknown class has its own error; what it animates is moot.
        const std::string known = className ? className : "";
        if (known != "lib.Image" && known != "lib.ClearScreen" && known != "lib.TestPartVao" &&
            known != "lib.Text" && known != "lib.Shader") {
            return;
        }
        // A shader part animates its shader's numbers; without a shader to
        // read, its own check says why.
        std::vector<Animation::Uniform> uniforms;
        if (known == "lib.Shader" && !ShaderUniforms(check, part, uniforms)) {
            return;
        }
        Animation animation;
        std::string problem;
        if (!Animation::Parse(source, QString::fromUtf8(className ? className : ""),
                              QString::fromUtf8(partName ? partName : ""), mHasTempo ? &mTempo : nullptr, uniforms,
                              animation, problem)) {
            const char* attribute = AnimateAttributeOf(partName ? partName : "", problem);
            if (attribute != nullptr) {
                check.Report(Diagnostic::Severity::Error, child, attribute, problem);
            } else {
                check.Report(Diagnostic::Severity::Error, child, problem);
            }
        }
    });
    mCheck.AddChildCheck("react", &PlayerCheck::CheckReaction);
}

void PlayerCheck::CheckReaction(SettingsCheck& check, const XmlElement& part, const XmlElement& react)
{
    const char* className = part.Attribute("class");
    const char* partName = part.Attribute("name");
    const std::string known = className ? className : "";
    if (known != "lib.Image" && known != "lib.ClearScreen" && known != "lib.TestPartVao" && known != "lib.Text" &&
        known != "lib.Shader") {
        return;
    }
    std::vector<Animation::Uniform> uniforms;
    if (known == "lib.Shader" && !ShaderUniforms(check, part, uniforms)) {
        return;
    }
    const QString name = QString::fromUtf8(partName ? partName : "");
    Reaction reaction;
    std::string problem;
    const char* attribute = nullptr;
    if (!Reaction::Parse(Reaction::Source::Of(react), QString::fromUtf8(className), name, uniforms, reaction, problem,
                         attribute)) {
        if (attribute != nullptr) {
            check.Report(Diagnostic::Severity::Error, react, attribute, problem);
        } else {
            check.Report(Diagnostic::Severity::Error, react, problem);
        }
        return;
    }
    for (const XmlElement& animate : part.Children("animate")) {
        const char* key = animate.Attribute("key");
        if (key != nullptr && reaction.mKey == key) {
            check.Report(Diagnostic::Severity::Error, react, "key", Reaction::AnimatedToo(name, reaction.mKey));
            return;
        }
    }
}

std::vector<Diagnostic> PlayerCheck::Run(const QString& settingsFile)
{
    QString ignored;
    if (!TimelineBuilder::Check(settingsFile, mTempo, mHasTempo, ignored)) {
        mHasTempo = false;
    }
    return mCheck.Run(settingsFile);
}

QStringList PlayerCheck::Blocking(const QString& settingsFile, std::ostream* warnings)
{
    QStringList errors;
    for (const Diagnostic& diagnostic : Run(settingsFile)) {
        if (diagnostic.mSeverity == Diagnostic::Severity::Error) {
            errors << QString::fromStdString(diagnostic.Format());
        } else if (diagnostic.mSeverity == Diagnostic::Severity::Warning && warnings != nullptr) {
            *warnings << diagnostic.Format() << std::endl;
        }
    }
    return errors;
}

int PlayerCheck::Command(const QString& settingsFile, std::ostream& out)
{
    const HiddenContext context;
    PlayerCheck check(context.Usable());
    const std::vector<Diagnostic> diagnostics = check.Run(settingsFile);
    bool anyError = false;
    for (const Diagnostic& diagnostic : diagnostics) {
        out << diagnostic.Format() << '\n';
        anyError = anyError || diagnostic.mSeverity == Diagnostic::Severity::Error;
    }
    out << Diagnostic::Summary(diagnostics) << std::endl;
    return anyError ? 1 : 0;
}
