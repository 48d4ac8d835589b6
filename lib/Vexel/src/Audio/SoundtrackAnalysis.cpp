#include "Audio/SoundtrackAnalysis.h"

#include "Audio/MusicAnalysis.h"
#include "Audio/MusicFrames.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <system_error>

SoundtrackAnalysis::SoundtrackAnalysis(std::string fileName)
    : mFileName(std::move(fileName))
{
    std::promise<std::shared_ptr<const MusicAnalysis>> promise;
    mResult = promise.get_future().share();
    // A pipe or a device would keep the worker reading for ever.
    std::error_code error;
    if (std::filesystem::exists(mFileName, error) && !std::filesystem::is_regular_file(mFileName, error)) {
        promise.set_exception(std::make_exception_ptr(
            std::runtime_error("cannot read the soundtrack " + mFileName + ": it is not a regular file")));
        return;
    }
    mWorker = std::thread(
        [this](std::promise<std::shared_ptr<const MusicAnalysis>> result) {
            try {
                result.set_value(MusicAnalysis::FromFile(mFileName, &mStop));
            } catch (...) {
                result.set_exception(std::current_exception());
            }
        },
        std::move(promise));
}

SoundtrackAnalysis::~SoundtrackAnalysis()
{
    mStop = true;
    if (mWorker.joinable()) {
        mWorker.join();
    }
}

std::shared_ptr<const MusicAnalysis> SoundtrackAnalysis::Get() const
{
    mResult.wait();
    Settle();
    if (!mAnalysis) {
        throw std::runtime_error(mFailure);
    }
    return mAnalysis;
}

std::shared_ptr<const MusicAnalysis> SoundtrackAnalysis::IfReady() const
{
    Settle();
    return mAnalysis;
}

std::string SoundtrackAnalysis::Failure() const
{
    Settle();
    return mFailure;
}

MusicFrames& SoundtrackAnalysis::Frames()
{
    if (!mFrames) {
        mFrames = std::make_unique<MusicFrames>(Get());
    }
    return *mFrames;
}

bool SoundtrackAnalysis::Settle() const
{
    if (mSettled) {
        return true;
    }
    if (mResult.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return false;
    }
    mSettled = true;
    try {
        mAnalysis = mResult.get();
    } catch (const std::exception& failure) {
        mFailure = failure.what();
    } catch (...) {
        mFailure = "cannot analyse the soundtrack " + mFileName;
    }
    return true;
}
