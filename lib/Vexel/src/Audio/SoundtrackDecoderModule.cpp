#include "Audio/SoundtrackDecoder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <stdexcept>
#include <string>

// The decoder itself lives in a module of its own, with FFmpeg: loading
// FFmpeg's ninety-odd libraries at start would slow every program down,
// also a demo that never decodes its music. The module is looked for beside
// the program, then in the installed lib/vexel/ beside its bin/, then where
// the build put it.
namespace {

using Decoder = std::vector<std::int16_t> (*)(const std::string&, double, double, int, int, const std::atomic<bool>*);

const char* const ModuleName = "libvexel_soundtrack.so";

std::string ProgramFolder()
{
    char path[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string program(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    return program.substr(0, program.rfind('/') + 1);
}

Decoder LoadDecoder(std::string& error)
{
    void* module = nullptr;
    for (const std::string& path : {ProgramFolder() + ModuleName, ProgramFolder() + "../lib/vexel/" + ModuleName,
                                     std::string(VEXEL_SOUNDTRACK_MODULE)}) {
        module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module != nullptr) {
            break;
        }
        error = ::dlerror();
    }
    if (module == nullptr) {
        return nullptr;
    }
    using Entry = void* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, "VexelSoundtrackDecoder"));
    if (entry == nullptr) {
        error = ::dlerror();
        return nullptr;
    }
    return reinterpret_cast<Decoder>(entry());
}

} // namespace

std::vector<std::int16_t> DecodeSoundtrack(const std::string& fileName, double from, double to, int sampleRate,
                                           int channels, const std::atomic<bool>* stop)
{
    static std::mutex sLoading;
    static Decoder sDecoder = nullptr;
    static std::string sError;
    {
        const std::lock_guard<std::mutex> lock(sLoading);
        if (sDecoder == nullptr && sError.empty()) {
            sDecoder = LoadDecoder(sError);
        }
    }
    if (sDecoder == nullptr) {
        throw std::runtime_error("cannot read the soundtrack " + fileName + ": no decoder: " + sError);
    }
    return sDecoder(fileName, from, to, sampleRate, channels, stop);
}
