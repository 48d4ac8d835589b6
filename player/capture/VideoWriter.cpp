#include "VideoWriter.h"

#include "CaptureOptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// One output file (or, for image2, one numbered file per packet) with the
// encoders that feed it.
struct Output
{
    AVFormatContext* mFormat = nullptr;
    std::string mPath;
    bool mHeaderWritten = false;
    bool mFileOpened = false;
};

struct Encoder
{
    AVCodecContext* mCodec = nullptr;
    AVStream* mStream = nullptr;
    Output* mOutput = nullptr;
    AVFrame* mFrame = nullptr;
};

} // namespace

struct VideoWriter::Impl
{
    ~Impl() { Close(); }

    void Open(const std::string& out, int width, int height, int fps, int sampleRate,
              std::vector<std::int16_t> sound);
    void WriteFrame(const std::uint8_t* rgb);
    void Finish();
    [[noreturn]] void Fail(const std::string& what, int code);
    void Close();

    Output* NewOutput(const char* formatName, const std::string& path);
    void AddVideo(Output& output);
    void AddAudio(Output& output);
    void Encode(Encoder& encoder, AVFrame* frame);
    void WriteSoundUpTo(std::int64_t sampleEnd, bool last);

    std::string mOut;
    CaptureOutputKind mKind = CaptureOutputKind::Container;
    int mWidth = 0;
    int mHeight = 0;
    int mFps = 0;
    int mSampleRate = 0;
    std::vector<std::int16_t> mSound;
    std::int64_t mSamplesWritten = 0;
    long mFramesWritten = 0;
    bool mOpen = false;

    Output mOutputs[2];
    int mOutputCount = 0;
    Encoder mVideo;
    Encoder mAudio;
    SwsContext* mScaler = nullptr;
    AVFrame* mRgbFrame = nullptr;
    AVPacket* mPacket = nullptr;
};

Output* VideoWriter::Impl::NewOutput(const char* formatName, const std::string& path)
{
    Output& output = mOutputs[mOutputCount++];
    output.mPath = path;
    const int result = avformat_alloc_output_context2(&output.mFormat, nullptr, formatName, path.c_str());
    if (result < 0 || output.mFormat == nullptr) {
        Fail("cannot make a muxer for " + path, result);
    }
    return &output;
}

void VideoWriter::Impl::AddVideo(Output& output)
{
    const bool png = mKind == CaptureOutputKind::PngSequence;
    const AVCodec* codec = png ? avcodec_find_encoder(AV_CODEC_ID_PNG) : avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) {
        Fail(png ? "this FFmpeg has no PNG encoder" : "this FFmpeg has no H.264 encoder (libx264)", 0);
    }
    mVideo.mOutput = &output;
    mVideo.mCodec = avcodec_alloc_context3(codec);
    AVCodecContext* c = mVideo.mCodec;
    c->width = mWidth;
    c->height = mHeight;
    c->time_base = AVRational{1, mFps};
    c->framerate = AVRational{mFps, 1};
    c->pix_fmt = png ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_YUV420P;
    if (!png) {
        c->color_range = AVCOL_RANGE_MPEG;
        c->colorspace = AVCOL_SPC_BT709;
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_BT709;
    }
    if (output.mFormat->oformat->flags & AVFMT_GLOBALHEADER) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* options = nullptr;
    if (!png) {
        av_dict_set(&options, "crf", "18", 0);
        av_dict_set(&options, "preset", "medium", 0);
    }
    const int result = avcodec_open2(c, codec, &options);
    av_dict_free(&options);
    if (result < 0) {
        Fail(std::string("cannot start the ") + codec->name + " encoder", result);
    }

    mVideo.mStream = avformat_new_stream(output.mFormat, nullptr);
    avcodec_parameters_from_context(mVideo.mStream->codecpar, c);
    mVideo.mStream->time_base = c->time_base;
    mVideo.mStream->avg_frame_rate = c->framerate;
    mVideo.mStream->r_frame_rate = c->framerate;

    mVideo.mFrame = av_frame_alloc();
    mVideo.mFrame->format = c->pix_fmt;
    mVideo.mFrame->width = mWidth;
    mVideo.mFrame->height = mHeight;
    if (av_frame_get_buffer(mVideo.mFrame, 0) < 0) {
        Fail("out of memory for a frame", AVERROR(ENOMEM));
    }

    if (!png) {
        mScaler = sws_getContext(mWidth, mHeight, AV_PIX_FMT_RGB24, mWidth, mHeight, AV_PIX_FMT_YUV420P,
                                 SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
        mRgbFrame = av_frame_alloc();
        mRgbFrame->format = AV_PIX_FMT_RGB24;
        mRgbFrame->width = mWidth;
        mRgbFrame->height = mHeight;
        if (mScaler == nullptr || av_frame_get_buffer(mRgbFrame, 0) < 0) {
            Fail("cannot convert RGB to yuv420p", 0);
        }
        // Full-range RGB into the limited-range BT.709 the stream is tagged with.
        sws_setColorspaceDetails(mScaler, sws_getCoefficients(SWS_CS_ITU709), 1, sws_getCoefficients(SWS_CS_ITU709),
                                 0, 0, 1 << 16, 1 << 16);
    }
}

void VideoWriter::Impl::AddAudio(Output& output)
{
    const bool wav = mKind == CaptureOutputKind::PngSequence;
    const AVCodec* codec = avcodec_find_encoder(wav ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        Fail(wav ? "this FFmpeg has no PCM encoder" : "this FFmpeg has no AAC encoder", 0);
    }
    mAudio.mOutput = &output;
    mAudio.mCodec = avcodec_alloc_context3(codec);
    AVCodecContext* c = mAudio.mCodec;
    c->sample_fmt = wav ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLTP;
    c->sample_rate = mSampleRate;
    av_channel_layout_default(&c->ch_layout, Channels);
    c->time_base = AVRational{1, mSampleRate};
    if (!wav) {
        c->bit_rate = 192000;
    }
    if (output.mFormat->oformat->flags & AVFMT_GLOBALHEADER) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    const int result = avcodec_open2(c, codec, nullptr);
    if (result < 0) {
        Fail(std::string("cannot start the ") + codec->name + " encoder", result);
    }
    mAudio.mStream = avformat_new_stream(output.mFormat, nullptr);
    avcodec_parameters_from_context(mAudio.mStream->codecpar, c);
    mAudio.mStream->time_base = c->time_base;

    mAudio.mFrame = av_frame_alloc();
    mAudio.mFrame->format = c->sample_fmt;
    mAudio.mFrame->sample_rate = mSampleRate;
    av_channel_layout_copy(&mAudio.mFrame->ch_layout, &c->ch_layout);
    // PCM takes any frame size; a fixed one keeps the loop the same.
    mAudio.mFrame->nb_samples = c->frame_size > 0 ? c->frame_size : 1024;
    if (av_frame_get_buffer(mAudio.mFrame, 0) < 0) {
        Fail("out of memory for sound", AVERROR(ENOMEM));
    }
}

void VideoWriter::Impl::Open(const std::string& out, int width, int height, int fps, int sampleRate,
                             std::vector<std::int16_t> sound)
{
    std::string error;
    if (!ClassifyCaptureOutput(out, mKind, error)) {
        throw std::runtime_error(error);
    }
    // The encoders' statistics are not for the user; their warnings are.
    av_log_set_level(AV_LOG_WARNING);
    mOut = out;
    mWidth = width;
    mHeight = height;
    mFps = fps;
    mSampleRate = sampleRate;
    mSound = std::move(sound);
    mPacket = av_packet_alloc();

    if (mKind == CaptureOutputKind::Container) {
        Output* output = NewOutput(nullptr, out);
        AddVideo(*output);
        AddAudio(*output);
    } else {
        const std::filesystem::path folder = std::filesystem::path(out).parent_path();
        std::error_code ignored;
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, ignored);
        }
        Output* frames = NewOutput("image2", out);
        // File n holds frame n.
        av_opt_set_int(frames->mFormat->priv_data, "start_number", 0, 0);
        AddVideo(*frames);
        AddAudio(*NewOutput("wav", (folder / "audio.wav").string()));
    }

    for (int i = 0; i < mOutputCount; ++i) {
        Output& output = mOutputs[i];
        if (!(output.mFormat->oformat->flags & AVFMT_NOFILE)) {
            const int result = avio_open(&output.mFormat->pb, output.mPath.c_str(), AVIO_FLAG_WRITE);
            if (result < 0) {
                Fail("cannot write " + output.mPath, result);
            }
            output.mFileOpened = true;
        }
        const int result = avformat_write_header(output.mFormat, nullptr);
        if (result < 0) {
            Fail("cannot start " + output.mPath, result);
        }
        output.mHeaderWritten = true;
    }
    mOpen = true;
}

void VideoWriter::Impl::Encode(Encoder& encoder, AVFrame* frame)
{
    int result = avcodec_send_frame(encoder.mCodec, frame);
    if (result < 0) {
        Fail(std::string("the ") + encoder.mCodec->codec->name + " encoder failed", result);
    }
    while ((result = avcodec_receive_packet(encoder.mCodec, mPacket)) >= 0) {
        av_packet_rescale_ts(mPacket, encoder.mCodec->time_base, encoder.mStream->time_base);
        mPacket->stream_index = encoder.mStream->index;
        AVFormatContext* format = encoder.mOutput->mFormat;
        result = av_interleaved_write_frame(format, mPacket);
        if (result >= 0 && format->pb != nullptr && format->pb->error < 0) {
            result = format->pb->error;
        }
        if (result < 0) {
            Fail("cannot write " + encoder.mOutput->mPath, result);
        }
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF) {
        Fail(std::string("the ") + encoder.mCodec->codec->name + " encoder failed", result);
    }
}

void VideoWriter::Impl::WriteSoundUpTo(std::int64_t sampleEnd, bool last)
{
    AVFrame* frame = mAudio.mFrame;
    const int capacity = frame->nb_samples;
    const int frameSize = mAudio.mCodec->frame_size;
    const std::int64_t available = static_cast<std::int64_t>(mSound.size() / Channels);
    while (mSamplesWritten < sampleEnd) {
        const int count = static_cast<int>(std::min<std::int64_t>(capacity, sampleEnd - mSamplesWritten));
        // AAC takes whole frames; only the very last one may be short.
        if (frameSize > 0 && count < frameSize && !last) {
            return;
        }
        if (av_frame_make_writable(frame) < 0) {
            Fail("out of memory for sound", AVERROR(ENOMEM));
        }
        for (int i = 0; i < count; ++i) {
            const std::int64_t s = mSamplesWritten + i;
            for (int ch = 0; ch < Channels; ++ch) {
                // Past the end of the track: silence.
                const std::int16_t value = s < available ? mSound[static_cast<size_t>(s * Channels + ch)] : 0;
                if (frame->format == AV_SAMPLE_FMT_S16) {
                    reinterpret_cast<std::int16_t*>(frame->data[0])[i * Channels + ch] = value;
                } else {
                    reinterpret_cast<float*>(frame->data[ch])[i] = value / 32768.0f;
                }
            }
        }
        frame->nb_samples = count;
        frame->pts = mSamplesWritten;
        Encode(mAudio, frame);
        frame->nb_samples = capacity;
        mSamplesWritten += count;
    }
}

void VideoWriter::Impl::WriteFrame(const std::uint8_t* rgb)
{
    if (!mOpen) {
        throw std::runtime_error(mOut + ": the capture is not open");
    }
    AVFrame* frame = mVideo.mFrame;
    // For H.264 the rows go through a padded RGB frame first: the scaler
    // reads past the end of its input rows.
    AVFrame* rgbFrame = mScaler != nullptr ? mRgbFrame : frame;
    if (av_frame_make_writable(frame) < 0 || av_frame_make_writable(rgbFrame) < 0) {
        Fail("out of memory for a frame", AVERROR(ENOMEM));
    }
    const size_t rowBytes = static_cast<size_t>(mWidth) * 3;
    for (int y = 0; y < mHeight; ++y) {
        std::memcpy(rgbFrame->data[0] + static_cast<size_t>(y) * rgbFrame->linesize[0],
                    rgb + (static_cast<size_t>(mHeight - 1 - y)) * rowBytes, rowBytes);
    }
    if (mScaler != nullptr) {
        sws_scale(mScaler, rgbFrame->data, rgbFrame->linesize, 0, mHeight, frame->data, frame->linesize);
    }
    frame->pts = mFramesWritten;
    Encode(mVideo, frame);
    ++mFramesWritten;
    WriteSoundUpTo(static_cast<std::int64_t>(mFramesWritten) * mSampleRate / mFps, false);
}

void VideoWriter::Impl::Finish()
{
    if (!mOpen) {
        return;
    }
    WriteSoundUpTo(static_cast<std::int64_t>(mFramesWritten) * mSampleRate / mFps, true);
    Encode(mVideo, nullptr);
    Encode(mAudio, nullptr);
    for (int i = 0; i < mOutputCount; ++i) {
        Output& output = mOutputs[i];
        int result = av_write_trailer(output.mFormat);
        output.mHeaderWritten = false;
        if (result >= 0 && output.mFileOpened) {
            result = avio_closep(&output.mFormat->pb);
            output.mFileOpened = false;
        }
        if (result < 0) {
            Fail("cannot finish " + output.mPath, result);
        }
    }
    mOpen = false;
    Close();
}

void VideoWriter::Impl::Fail(const std::string& what, int code)
{
    std::string message = mOut + ": " + what;
    if (code < 0) {
        message += ": " + AvError(code);
    }
    const bool wasWriting = mOpen;
    mOpen = false;
    Close();
    // A container without its trailer is unplayable; whole PNGs are usable.
    if (mKind == CaptureOutputKind::Container && mOutputCount > 0) {
        std::error_code removeError;
        if (std::filesystem::remove(mOutputs[0].mPath, removeError)) {
            message += " (removed the incomplete file)";
        }
    } else if (wasWriting) {
        message += " (frames 0 to " + std::to_string(mFramesWritten - 1) + " are written)";
    }
    mOutputCount = 0;
    throw std::runtime_error(message);
}

void VideoWriter::Impl::Close()
{
    for (Encoder* encoder : {&mVideo, &mAudio}) {
        avcodec_free_context(&encoder->mCodec);
        av_frame_free(&encoder->mFrame);
        encoder->mStream = nullptr;
    }
    for (int i = 0; i < mOutputCount; ++i) {
        Output& output = mOutputs[i];
        if (output.mFileOpened) {
            avio_closep(&output.mFormat->pb);
            output.mFileOpened = false;
        }
        avformat_free_context(output.mFormat);
        output.mFormat = nullptr;
    }
    sws_freeContext(mScaler);
    mScaler = nullptr;
    av_frame_free(&mRgbFrame);
    av_packet_free(&mPacket);
}

VideoWriter::VideoWriter() = default;

VideoWriter::~VideoWriter()
{
    if (mImpl && mImpl->mOpen) {
        try {
            mImpl->Finish();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
    }
}

void VideoWriter::Open(const std::string& out, int width, int height, int fps, int sampleRate,
                       std::vector<std::int16_t> sound)
{
    mImpl = std::make_unique<Impl>();
    mImpl->Open(out, width, height, fps, sampleRate, std::move(sound));
}

void VideoWriter::WriteFrame(const std::uint8_t* rgb)
{
    if (!mImpl) {
        throw std::runtime_error("VideoWriter: not open");
    }
    mImpl->WriteFrame(rgb);
}

void VideoWriter::Finish()
{
    if (mImpl) {
        mImpl->Finish();
    }
}

long VideoWriter::FramesWritten() const
{
    return mImpl ? mImpl->mFramesWritten : 0;
}

bool VideoWriter::IsOpen() const
{
    return mImpl && mImpl->mOpen;
}
