#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The stretch from..to (seconds) of a sound file as interleaved stereo 16-bit
// samples at sampleRate: sample i is the sound at from + i / sampleRate, and
// there are exactly round(to * rate) - round(from * rate) samples, silence
// where the file has none. Throws std::runtime_error when the file cannot
// be read.
// With channels 1 the mix of all channels; with an infinite to, the samples
// up to the file's end. Decoding ends early, with what it has, once stop is set.
std::vector<std::int16_t> DecodeSoundtrack(const std::string& fileName, double from, double to, int sampleRate,
                                           int channels = 2, const std::atomic<bool>* stop = nullptr);
