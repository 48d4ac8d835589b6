// The whole settings check as vexel-player --check runs it without a GL
// context (XML, parts, parameters, animate, tempo, pictures and the
// soundtrack), over arbitrary settings files beside the example demos' data.
// Besides the sanitizers it checks what must hold for any input: every
// diagnostic has a place and a message, and those in the settings file come in
// file order. Element kinds the check learns are covered as PlayerCheck
// registers them; their names go into settings.dict.
#include "Halvorn/Diagnostic.h"
#include "PlayerCheck.h"

#include <SDL.h>

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

std::string sSettingsFile;
fs::path sFolder;
PlayerCheck* sCheck = nullptr;

void RemoveFolder()
{
    std::error_code ignored;
    fs::remove_all(sFolder, ignored);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The examples' pictures, shaders and music, so that names in the seeds
    // lead to files that decode.
    // In memory where there is such a folder: every input is written out.
    const fs::path memory = "/dev/shm";
    sFolder =
        (fs::is_directory(memory) ? memory : fs::temp_directory_path()) / ("vexel-fuzz-" + std::to_string(getpid()));
    fs::create_directories(sFolder);
    fs::copy(VEXEL_SOURCE_DIR "/docs/examples/data", sFolder / "data", fs::copy_options::recursive);
    std::atexit(RemoveFolder);
    sSettingsFile = (sFolder / "fuzz.xml").string();
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    // One check for every input, as the player keeps one from reload to reload.
    sCheck = new PlayerCheck(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(sSettingsFile.c_str(), "wb");
    Check(file != nullptr);
    Check(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);

    const std::vector<Diagnostic> diagnostics = sCheck->Run(QString::fromStdString(sSettingsFile));
    int line = 0;
    int column = 0;
    for (const Diagnostic& diagnostic : diagnostics) {
        Check(diagnostic.mLine >= 1 && diagnostic.mColumn >= 1 && !diagnostic.mMessage.empty());
        Check(diagnostic.Format().find('\n') == std::string::npos);
        if (diagnostic.mFile == sSettingsFile) {
            Check(diagnostic.mLine > line || (diagnostic.mLine == line && diagnostic.mColumn >= column));
            line = diagnostic.mLine;
            column = diagnostic.mColumn;
        }
    }
    Diagnostic::Summary(diagnostics);
    return 0;
}
