#include "Audio/SoundtrackDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Frees what the decoding made, however it ends.
struct Decoding
{
    ~Decoding()
    {
        swr_free(&mResampler);
        av_frame_free(&mFrame);
        av_packet_free(&mPacket);
        avcodec_free_context(&mCodec);
        avformat_close_input(&mFormat);
    }

    AVFormatContext* mFormat = nullptr;
    AVCodecContext* mCodec = nullptr;
    SwrContext* mResampler = nullptr;
    AVPacket* mPacket = nullptr;
    AVFrame* mFrame = nullptr;
};

// Keeps the resampled samples that fall into [mFirst, mEnd) of the whole
// track's sample positions.
struct Window
{
    void Add(const std::int16_t* samples, std::int64_t count)
    {
        const std::int64_t begin = std::max(mPosition, mFirst);
        const std::int64_t end = std::min(mPosition + count, mEnd);
        for (std::int64_t s = begin; s < end; ++s) {
            const std::int16_t* sample = samples + (s - mPosition) * mChannels;
            mOut.insert(mOut.end(), sample, sample + mChannels);
        }
        mPosition += count;
    }
    bool Full() const { return mPosition >= mEnd; }

    std::int64_t mFirst = 0;
    std::int64_t mEnd = 0;
    std::int64_t mPosition = 0;
    int mChannels = 2;
    std::vector<std::int16_t> mOut;
};

} // namespace

// What the engine's loader looks up in this module.
extern "C" __attribute__((visibility("default"))) void* VexelSoundtrackDecoder()
{
    return reinterpret_cast<void*>(&DecodeSoundtrack);
}

std::vector<std::int16_t> DecodeSoundtrack(const std::string& fileName, double from, double to, int sampleRate,
                                           int channels, const std::atomic<bool>* stop)
{
    const auto fail = [&fileName](const std::string& why, int code) {
        throw std::runtime_error("cannot read the soundtrack " + fileName + ": " + why +
                                 (code < 0 ? ": " + AvError(code) : std::string()));
    };

    const bool toTheEnd = std::isinf(to);
    Window window;
    window.mChannels = channels;
    window.mFirst = std::llround(from * sampleRate);
    window.mEnd = toTheEnd ? std::numeric_limits<std::int64_t>::max()
                           : std::max(window.mFirst, static_cast<std::int64_t>(std::llround(to * sampleRate)));

    // The decoders' notes on timestamps are not the maker's concern; errors are.
    av_log_set_level(AV_LOG_ERROR);
    Decoding d;
    int result = avformat_open_input(&d.mFormat, fileName.c_str(), nullptr, nullptr);
    if (result < 0) {
        fail("cannot open it", result);
    }
    result = avformat_find_stream_info(d.mFormat, nullptr);
    if (result < 0) {
        fail("cannot find its streams", result);
    }
    const AVCodec* codec = nullptr;
    const int streamIndex = av_find_best_stream(d.mFormat, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex < 0 || codec == nullptr) {
        fail("it holds no sound this FFmpeg can decode", streamIndex);
    }
    const AVStream* stream = d.mFormat->streams[streamIndex];
    d.mCodec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(d.mCodec, stream->codecpar);
    result = avcodec_open2(d.mCodec, codec, nullptr);
    if (result < 0) {
        fail("cannot start its decoder", result);
    }
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    result = swr_alloc_set_opts2(&d.mResampler, &layout, AV_SAMPLE_FMT_S16, sampleRate, &d.mCodec->ch_layout,
                                 d.mCodec->sample_fmt, d.mCodec->sample_rate, 0, nullptr);
    if (result >= 0) {
        result = swr_init(d.mResampler);
    }
    if (result < 0) {
        fail("cannot convert its sound", result);
    }
    d.mPacket = av_packet_alloc();
    d.mFrame = av_frame_alloc();
    if (toTheEnd && d.mFormat->duration > 0) {
        // A whole track grows to its known length without copies on the way.
        window.mOut.reserve(
            static_cast<size_t>(av_rescale(d.mFormat->duration, sampleRate, AV_TIME_BASE) + sampleRate) * channels);
    }

    std::vector<std::int16_t> buffer;
    bool first = true;
    // input == nullptr drains the resampler.
    const auto convert = [&](const AVFrame* input) {
        const int inSamples = input != nullptr ? input->nb_samples : 0;
        const int capacity = swr_get_out_samples(d.mResampler, inSamples) + 16;
        buffer.resize(static_cast<size_t>(capacity) * channels);
        std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(buffer.data())};
        const int converted = swr_convert(d.mResampler, out, capacity,
                                          input != nullptr ? const_cast<const std::uint8_t**>(input->extended_data)
                                                           : nullptr,
                                          inSamples);
        if (converted < 0) {
            fail("cannot convert its sound", converted);
        }
        window.Add(buffer.data(), converted);
    };
    const auto receive = [&]() {
        while (avcodec_receive_frame(d.mCodec, d.mFrame) >= 0) {
            if (first) {
                first = false;
                // A track whose sound starts late: silence before it.
                const std::int64_t start = d.mFrame->best_effort_timestamp;
                if (start != AV_NOPTS_VALUE && start > 0) {
                    const std::int64_t lead = av_rescale_q(start, stream->time_base, AVRational{1, sampleRate});
                    const std::vector<std::int16_t> silence(static_cast<size_t>(lead) * channels, 0);
                    window.Add(silence.data(), lead);
                }
            }
            convert(d.mFrame);
            av_frame_unref(d.mFrame);
        }
    };

    const auto stopped = [stop]() { return stop != nullptr && stop->load(); };
    while (!window.Full() && !stopped() && av_read_frame(d.mFormat, d.mPacket) >= 0) {
        if (d.mPacket->stream_index == streamIndex) {
            result = avcodec_send_packet(d.mCodec, d.mPacket);
            // A damaged packet loses its sound, not the whole track.
            if (result < 0 && result != AVERROR_INVALIDDATA) {
                av_packet_unref(d.mPacket);
                fail("cannot decode it", result);
            }
            receive();
        }
        av_packet_unref(d.mPacket);
    }
    if (!window.Full() && !stopped()) {
        avcodec_send_packet(d.mCodec, nullptr);
        receive();
        convert(nullptr);
    }

    std::vector<std::int16_t> sound = std::move(window.mOut);
    if (!toTheEnd) {
        sound.resize(static_cast<size_t>(window.mEnd - window.mFirst) * channels, 0);
    }
    return sound;
}
