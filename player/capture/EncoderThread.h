#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Encodes frames on a thread of its own while the next ones are drawn. The
// frames go through a fixed set of buffers: the drawing side takes a free
// one, fills it and hands it over; encode(frame) runs on the thread, in the
// order the frames came, and the buffer is free again.
class EncoderThread
{
public:
    // frameBytes: the size of one frame; buffers: how many may wait at once.
    EncoderThread(std::size_t frameBytes, int buffers, std::function<void(const std::uint8_t*)> encode);
    // Stops after the frames handed over (see Finish).
    ~EncoderThread();

    EncoderThread(const EncoderThread&) = delete;
    EncoderThread& operator=(const EncoderThread&) = delete;

    // A buffer to fill; waits while every one is busy. nullptr once encoding
    // has failed (Finish then says why).
    std::uint8_t* FreeBuffer();
    // Queues a buffer from FreeBuffer, filled.
    void Submit(std::uint8_t* buffer);
    // Waits for every frame handed over; rethrows the encoder's failure.
    void Finish();
    // Frames encoded so far.
    long Done() const;
    bool Failed() const;

private:
    void Work();

    std::function<void(const std::uint8_t*)> mEncode;
    std::vector<std::vector<std::uint8_t>> mBuffers;
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    std::vector<std::uint8_t*> mFree;
    std::deque<std::uint8_t*> mQueue;
    bool mClosing = false;
    std::exception_ptr mFailure;
    long mDone = 0;
    std::thread mThread;
};
