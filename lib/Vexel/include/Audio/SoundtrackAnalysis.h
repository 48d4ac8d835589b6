#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>

class MusicAnalysis;
class MusicFrames;

// The analysis of one soundtrack file, made on a worker thread from the
// moment this is made, so loading goes on meanwhile. Whoever needs it waits
// for it at first use; the overlay only looks whether it is there.
class SoundtrackAnalysis
{
public:
    explicit SoundtrackAnalysis(std::string fileName);
    // Stops the work in hand and waits for the thread.
    ~SoundtrackAnalysis();
    SoundtrackAnalysis(const SoundtrackAnalysis&) = delete;
    SoundtrackAnalysis& operator=(const SoundtrackAnalysis&) = delete;

    const std::string& FileName() const { return mFileName; }
    // Waits for the analysis; throws std::runtime_error saying why there is none.
    std::shared_ptr<const MusicAnalysis> Get() const;
    // Without waiting: the analysis when done, else null (also when it failed).
    std::shared_ptr<const MusicAnalysis> IfReady() const;
    // Without waiting: why it failed, empty while at work or once done.
    std::string Failure() const;
    // The values at a time, shared by all who read them on the main thread;
    // waits for the analysis and throws as Get does.
    MusicFrames& Frames();

private:
    // Takes the result once the worker is done; false before.
    bool Settle() const;

    std::string mFileName;
    std::atomic<bool> mStop{false};
    std::shared_future<std::shared_ptr<const MusicAnalysis>> mResult;
    std::thread mWorker;
    mutable bool mSettled = false;
    mutable std::shared_ptr<const MusicAnalysis> mAnalysis;
    mutable std::string mFailure;
    std::unique_ptr<MusicFrames> mFrames;
};
