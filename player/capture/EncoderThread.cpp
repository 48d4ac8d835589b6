#include "EncoderThread.h"

EncoderThread::EncoderThread(std::size_t frameBytes, int buffers, std::function<void(const std::uint8_t*)> encode)
    : mEncode(std::move(encode))
    , mBuffers(static_cast<std::size_t>(buffers), std::vector<std::uint8_t>(frameBytes))
{
    for (std::vector<std::uint8_t>& buffer : mBuffers) {
        mFree.push_back(buffer.data());
    }
    mThread = std::thread([this] { Work(); });
}

EncoderThread::~EncoderThread()
{
    try {
        Finish();
    } catch (...) {
        // Whoever wanted the failure asked Finish for it.
    }
}

std::uint8_t* EncoderThread::FreeBuffer()
{
    std::unique_lock<std::mutex> lock(mMutex);
    mChanged.wait(lock, [this] { return !mFree.empty() || mFailure; });
    if (mFailure) {
        return nullptr;
    }
    std::uint8_t* buffer = mFree.back();
    mFree.pop_back();
    return buffer;
}

void EncoderThread::Submit(std::uint8_t* buffer)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mQueue.push_back(buffer);
    }
    mChanged.notify_all();
}

void EncoderThread::Finish()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mClosing = true;
    }
    mChanged.notify_all();
    if (mThread.joinable()) {
        mThread.join();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    if (mFailure) {
        std::exception_ptr failure = mFailure;
        mFailure = nullptr;
        std::rethrow_exception(failure);
    }
}

long EncoderThread::Done() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mDone;
}

bool EncoderThread::Failed() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return static_cast<bool>(mFailure);
}

void EncoderThread::Work()
{
    for (;;) {
        std::uint8_t* buffer = nullptr;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mChanged.wait(lock, [this] { return !mQueue.empty() || mClosing; });
            if (mQueue.empty()) {
                return;
            }
            buffer = mQueue.front();
            mQueue.pop_front();
        }
        try {
            mEncode(buffer);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mMutex);
            mFailure = std::current_exception();
            mQueue.clear();
            mChanged.notify_all();
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mFree.push_back(buffer);
            ++mDone;
        }
        mChanged.notify_all();
    }
}
