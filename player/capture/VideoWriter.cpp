#include "VideoWriter.h"

#include "ClipPalette.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

using Options = std::vector<std::pair<const char*, const char*>>;

// The encoders and muxer of one kind of output at one quality.
struct Encoding
{
    const char* mVideoEncoder;
    AVPixelFormat mPixels;
    Options mVideoOptions;
    // nullptr: no sound.
    const char* mAudioEncoder;
    std::int64_t mAudioBitRate;
    // nullptr: one PNG per frame, no muxer.
    const char* mMuxer;
    Options mMuxerOptions;
};

Encoding ChooseEncoding(CaptureOutputKind kind, CaptureQuality quality)
{
    const int q = static_cast<int>(quality);
    switch (kind) {
    case CaptureOutputKind::Mp4:
    case CaptureOutputKind::Matroska: {
        static const Options H264[] = {{{"preset", "veryfast"}, {"crf", "20"}},
                                       {{"preset", "medium"}, {"crf", "18"}},
                                       {{"preset", "slow"}, {"crf", "10"}}};
        // Fragments cut by WriteFrame every second: a killed capture loses at most the last one.
        const Options fragments = {{"movflags", "+frag_custom+empty_moov+default_base_moof"}};
        const bool mp4 = kind == CaptureOutputKind::Mp4;
        return {"libx264",
                AV_PIX_FMT_YUV420P,
                H264[q],
                "aac",
                192000,
                mp4 ? "mp4" : "matroska",
                mp4 ? fragments : Options{}};
    }
    case CaptureOutputKind::WebM: {
        static const Options Vp9[] = {{{"deadline", "realtime"}, {"cpu-used", "8"}, {"crf", "36"}, {"row-mt", "1"}},
                                      {{"deadline", "good"}, {"cpu-used", "4"}, {"crf", "31"}, {"row-mt", "1"}},
                                      {{"deadline", "good"}, {"cpu-used", "2"}, {"crf", "18"}, {"row-mt", "1"}}};
        return {"libvpx-vp9", AV_PIX_FMT_YUV420P, Vp9[q], "libopus", 160000, "webm", {}};
    }
    case CaptureOutputKind::QuickTime:
        return {"prores_ks", AV_PIX_FMT_YUV422P10LE, {{"profile", "hq"}}, "pcm_s16le", 0, "mov", {}};
    case CaptureOutputKind::Gif:
        return {"gif", AV_PIX_FMT_PAL8, {}, nullptr, 0, "gif", {}};
    case CaptureOutputKind::PngSequence:
        break;
    }
    return {"png", AV_PIX_FMT_RGB24, {}, "pcm_s16le", 0, nullptr, {}};
}

// One output file with the encoders that feed it.
struct Output
{
    AVFormatContext* mFormat = nullptr;
    // The name in messages, and the file written (a temporary one for a video).
    std::string mPath;
    std::string mFile;
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

std::string Errno()
{
    return std::strerror(errno);
}

} // namespace

struct VideoWriter::Impl
{
    explicit Impl(std::atomic<std::int64_t>& bytes)
        : mBytes(bytes)
    {
    }
    ~Impl() { Close(); }

    void Open(const std::string& out, int width, int height, int fps, int sampleRate, std::vector<std::int16_t> sound,
              CaptureQuality quality);
    void WriteFrame(const std::uint8_t* frame);
    void Finish();
    [[noreturn]] void Fail(const std::string& what, int code);
    [[noreturn]] void FailErrno(const std::string& what);
    void Close();

    void PrepareTarget();
    Output* NewOutput(const char* formatName, const std::string& path, const std::string& file);
    void AddVideo(Output* output);
    void AddAudio(Output& output);
    void Encode(Encoder& encoder, AVFrame* frame);
    void WritePng(const AVPacket& packet);
    void WriteSoundUpTo(std::int64_t sampleEnd, bool last);
    void CutFragment();
    void CountBytes();

    std::atomic<std::int64_t>& mBytes;
    std::string mOut;
    CaptureOutputKind mKind = CaptureOutputKind::Mp4;
    Encoding mEncoding = ChooseEncoding(CaptureOutputKind::Mp4, CaptureQuality::Final);
    FrameLayout mLayout{FrameLayout::Yuv420, 0, 0};
    int mFps = 0;
    int mSampleRate = 0;
    std::vector<std::int16_t> mSound;
    std::int64_t mSamplesWritten = 0;
    long mFramesWritten = 0;
    std::int64_t mPngBytes = 0;
    bool mOpen = false;

    // Where the finished video goes (OUT, or the file a link at OUT names),
    // and the temporary file it is written to until then.
    std::string mTarget;
    std::string mTemporary;

    Output mOutputs[2];
    int mOutputCount = 0;
    Encoder mVideo;
    Encoder mAudio;
    std::unique_ptr<ClipPalette> mPalette;
    AVPacket* mPacket = nullptr;
};

void VideoWriter::Impl::PrepareTarget()
{
    // A link is followed, so the file it names gets the video and the link stays.
    std::error_code error;
    const fs::path target = fs::is_symlink(mOut, error) ? fs::weakly_canonical(mOut, error) : fs::path(mOut);
    mTarget = target.string();
    struct stat info = {};
    if (::stat(mTarget.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            throw std::runtime_error(mOut + ": is a folder; it is left as it is");
        }
        if (!S_ISREG(info.st_mode)) {
            throw std::runtime_error(mOut + ": is not a regular file; it is left as it is");
        }
        // Root may write anything: the mode says what the owner meant.
        if ((info.st_mode & S_IWUSR) == 0 || ::access(mTarget.c_str(), W_OK) != 0) {
            throw std::runtime_error(mOut + ": is read-only; it is left as it is");
        }
    }

    const fs::path folder = target.parent_path();
    const std::string name = target.stem().string() + ".capturing-XXXXXX" + target.extension().string();
    std::string pattern = (folder / name).string();
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(target.extension().string().size()));
    if (fd < 0) {
        FailErrno("cannot write " + mOut);
    }
    mTemporary = pattern;
    // A new file gets the mode any other program's would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
}

Output* VideoWriter::Impl::NewOutput(const char* formatName, const std::string& path, const std::string& file)
{
    Output& output = mOutputs[mOutputCount++];
    output.mPath = path;
    output.mFile = file;
    const int result = avformat_alloc_output_context2(&output.mFormat, nullptr, formatName, file.c_str());
    if (result < 0 || output.mFormat == nullptr) {
        Fail("cannot make a muxer for " + path, result);
    }
    // No time of day or random identifiers: the same capture gives the same bytes.
    output.mFormat->flags |= AVFMT_FLAG_BITEXACT;
    return &output;
}

void VideoWriter::Impl::AddVideo(Output* output)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(mEncoding.mVideoEncoder);
    if (codec == nullptr) {
        Fail(std::string("this FFmpeg has no ") + mEncoding.mVideoEncoder + " encoder", 0);
    }
    mVideo.mOutput = output;
    mVideo.mCodec = avcodec_alloc_context3(codec);
    AVCodecContext* c = mVideo.mCodec;
    c->width = mLayout.GetWidth();
    c->height = mLayout.GetHeight();
    c->time_base = AVRational{1, mFps};
    c->framerate = AVRational{mFps, 1};
    c->pix_fmt = mEncoding.mPixels;
    if (mLayout.IsYuv()) {
        c->color_range = AVCOL_RANGE_MPEG;
        c->colorspace = AVCOL_SPC_BT709;
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_BT709;
        // The encoders' own threads; each gives the same bytes on every run.
        c->thread_count = 0;
    }
    if (std::strcmp(mEncoding.mVideoEncoder, "libvpx-vp9") == 0) {
        c->bit_rate = 0;
    }
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (output != nullptr && (output->mFormat->oformat->flags & AVFMT_GLOBALHEADER)) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* options = nullptr;
    for (const auto& [key, value] : mEncoding.mVideoOptions) {
        av_dict_set(&options, key, value, 0);
    }
    const int result = avcodec_open2(c, codec, &options);
    av_dict_free(&options);
    if (result < 0) {
        Fail(std::string("cannot start the ") + codec->name + " encoder", result);
    }
    if (output != nullptr) {
        mVideo.mStream = avformat_new_stream(output->mFormat, nullptr);
        avcodec_parameters_from_context(mVideo.mStream->codecpar, c);
        mVideo.mStream->time_base = c->time_base;
        mVideo.mStream->avg_frame_rate = c->framerate;
        mVideo.mStream->r_frame_rate = c->framerate;
    }
    mVideo.mFrame = av_frame_alloc();
    if (mVideo.mFrame == nullptr) {
        Fail("out of memory for a frame", AVERROR(ENOMEM));
    }
}

void VideoWriter::Impl::AddAudio(Output& output)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(mEncoding.mAudioEncoder);
    if (codec == nullptr) {
        Fail(std::string("this FFmpeg has no ") + mEncoding.mAudioEncoder + " encoder", 0);
    }
    mAudio.mOutput = &output;
    mAudio.mCodec = avcodec_alloc_context3(codec);
    AVCodecContext* c = mAudio.mCodec;
    // 16-bit samples where the encoder takes them, else its own float layout.
    c->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* format = codec->sample_fmts; format != nullptr && *format != AV_SAMPLE_FMT_NONE;
         ++format) {
        if (*format == AV_SAMPLE_FMT_S16) {
            c->sample_fmt = AV_SAMPLE_FMT_S16;
        }
    }
    c->sample_rate = mSampleRate;
    av_channel_layout_default(&c->ch_layout, Channels);
    c->time_base = AVRational{1, mSampleRate};
    c->bit_rate = mEncoding.mAudioBitRate;
    c->flags |= AV_CODEC_FLAG_BITEXACT;
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
                             std::vector<std::int16_t> sound, CaptureQuality quality)
{
    std::string error;
    if (!ClassifyCaptureOutput(out, mKind, error)) {
        throw std::runtime_error(error);
    }
    // The encoders' statistics are not for the user; their warnings are.
    av_log_set_level(AV_LOG_WARNING);
    mOut = out;
    mEncoding = ChooseEncoding(mKind, quality);
    mLayout = FrameLayout(FrameLayout::For(mKind), width, height);
    mFps = fps;
    mSampleRate = sampleRate;
    mSound = std::move(sound);
    mPacket = av_packet_alloc();

    if (mKind == CaptureOutputKind::PngSequence) {
        const fs::path folder = fs::path(out).parent_path();
        std::error_code ignored;
        if (!folder.empty()) {
            fs::create_directories(folder, ignored);
        }
        AddVideo(nullptr);
        const std::string wav = (folder / "audio.wav").string();
        AddAudio(*NewOutput("wav", wav, wav));
    } else {
        PrepareTarget();
        Output* output = NewOutput(mEncoding.mMuxer, out, mTemporary);
        AddVideo(output);
        if (mEncoding.mAudioEncoder != nullptr) {
            AddAudio(*output);
        }
        if (mKind == CaptureOutputKind::Gif) {
            try {
                mPalette = std::make_unique<ClipPalette>(width, height, fps, fs::path(mTarget).parent_path().string());
            } catch (const std::exception& e) {
                Fail(e.what(), 0);
            }
        }
    }

    for (int i = 0; i < mOutputCount; ++i) {
        Output& output = mOutputs[i];
        if (!(output.mFormat->oformat->flags & AVFMT_NOFILE)) {
            const int result = avio_open(&output.mFormat->pb, output.mFile.c_str(), AVIO_FLAG_WRITE);
            if (result < 0) {
                Fail("cannot write " + output.mPath, result);
            }
            output.mFileOpened = true;
        }
        AVDictionary* options = nullptr;
        if (i == 0) {
            for (const auto& [key, value] : mEncoding.mMuxerOptions) {
                av_dict_set(&options, key, value, 0);
            }
        }
        const int result = avformat_write_header(output.mFormat, &options);
        av_dict_free(&options);
        if (result < 0) {
            Fail("cannot start " + output.mPath, result);
        }
        output.mHeaderWritten = true;
    }
    mOpen = true;
    CountBytes();
}

void VideoWriter::Impl::WritePng(const AVPacket& packet)
{
    char name[4096];
    if (av_get_frame_filename2(name, sizeof name, mOut.c_str(), static_cast<int>(packet.pts), 0) < 0) {
        Fail("cannot number the file of frame " + std::to_string(packet.pts), 0);
    }
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) {
        FailErrno(std::string("cannot write ") + name);
    }
    const bool written =
        std::fwrite(packet.data, 1, static_cast<size_t>(packet.size), file) == static_cast<size_t>(packet.size);
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        if (!written) {
            errno = writeErrno;
        }
        FailErrno(std::string("cannot write ") + name);
    }
    mPngBytes += packet.size;
}

void VideoWriter::Impl::Encode(Encoder& encoder, AVFrame* frame)
{
    int result = avcodec_send_frame(encoder.mCodec, frame);
    if (result < 0) {
        Fail(std::string("the ") + encoder.mCodec->codec->name + " encoder failed", result);
    }
    while ((result = avcodec_receive_packet(encoder.mCodec, mPacket)) >= 0) {
        if (mPacket->duration == 0 && &encoder == &mVideo) {
            mPacket->duration = 1;
        }
        if (encoder.mOutput == nullptr) {
            WritePng(*mPacket);
            av_packet_unref(mPacket);
            continue;
        }
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
    if (mAudio.mCodec == nullptr) {
        return;
    }
    AVFrame* frame = mAudio.mFrame;
    const int capacity = frame->nb_samples;
    const int frameSize = mAudio.mCodec->frame_size;
    const std::int64_t available = static_cast<std::int64_t>(mSound.size() / Channels);
    while (mSamplesWritten < sampleEnd) {
        const int count = static_cast<int>(std::min<std::int64_t>(capacity, sampleEnd - mSamplesWritten));
        // AAC and Opus take whole frames; only the very last one may be short.
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
                switch (frame->format) {
                case AV_SAMPLE_FMT_S16:
                    reinterpret_cast<std::int16_t*>(frame->data[0])[i * Channels + ch] = value;
                    break;
                case AV_SAMPLE_FMT_FLT:
                    reinterpret_cast<float*>(frame->data[0])[i * Channels + ch] = value / 32768.0f;
                    break;
                default:
                    reinterpret_cast<float*>(frame->data[ch])[i] = value / 32768.0f;
                    break;
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

void VideoWriter::Impl::CountBytes()
{
    std::int64_t bytes = mPngBytes;
    for (int i = 0; i < mOutputCount; ++i) {
        if (mOutputs[i].mFormat != nullptr && mOutputs[i].mFormat->pb != nullptr) {
            bytes += avio_tell(mOutputs[i].mFormat->pb);
        }
    }
    mBytes.store(bytes);
}

void VideoWriter::Impl::WriteFrame(const std::uint8_t* picture)
{
    if (!mOpen) {
        throw std::runtime_error(mOut + ": the capture is not open");
    }
    if (mPalette) {
        try {
            mPalette->Add(picture);
        } catch (const std::exception& e) {
            Fail(e.what(), 0);
        }
        ++mFramesWritten;
        return;
    }
    // The encoder copies a frame that has no buffers of its own.
    AVFrame* frame = mVideo.mFrame;
    av_frame_unref(frame);
    frame->format = mEncoding.mPixels;
    frame->width = mLayout.GetWidth();
    frame->height = mLayout.GetHeight();
    std::uint8_t* const base = const_cast<std::uint8_t*>(picture);
    frame->data[0] = base;
    frame->linesize[0] = mLayout.LumaRowBytes();
    if (mLayout.IsYuv()) {
        frame->data[1] = base + mLayout.LumaBytes();
        frame->data[2] = frame->data[1] + mLayout.ChromaRowBytes() / 2;
        frame->linesize[1] = mLayout.ChromaRowBytes();
        frame->linesize[2] = mLayout.ChromaRowBytes();
        frame->color_range = AVCOL_RANGE_MPEG;
        frame->colorspace = AVCOL_SPC_BT709;
    }
    frame->pts = mFramesWritten;
    Encode(mVideo, frame);
    ++mFramesWritten;
    WriteSoundUpTo(static_cast<std::int64_t>(mFramesWritten) * mSampleRate / mFps, false);
    if (mFramesWritten % mFps == 0) {
        CutFragment();
    }
    CountBytes();
}

void VideoWriter::Impl::CutFragment()
{
    // Once a second what the muxer has finished goes to the disk, so a killed
    // capture keeps it: for an .mp4 a whole fragment, for Matroska its
    // clusters as it makes them.
    AVFormatContext* format = mOutputs[0].mFormat;
    int result = mKind == CaptureOutputKind::Mp4 ? av_write_frame(format, nullptr) : 0;
    if (result >= 0 && format->pb != nullptr) {
        avio_flush(format->pb);
        result = format->pb->error;
    }
    if (result < 0) {
        Fail("cannot write " + mOutputs[0].mPath, result);
    }
}

void VideoWriter::Impl::Finish()
{
    if (!mOpen) {
        return;
    }
    if (mPalette) {
        try {
            mPalette->MapAll([this](AVFrame* frame) { Encode(mVideo, frame); });
        } catch (const std::runtime_error& e) {
            // A failure of the encoder or the file has already closed the output.
            if (!mOpen) {
                throw;
            }
            Fail(e.what(), 0);
        }
        mPalette.reset();
    }
    WriteSoundUpTo(static_cast<std::int64_t>(mFramesWritten) * mSampleRate / mFps, true);
    Encode(mVideo, nullptr);
    if (mAudio.mCodec != nullptr) {
        Encode(mAudio, nullptr);
    }
    for (int i = 0; i < mOutputCount; ++i) {
        Output& output = mOutputs[i];
        int result = av_write_trailer(output.mFormat);
        output.mHeaderWritten = false;
        CountBytes();
        if (result >= 0 && output.mFileOpened) {
            result = avio_closep(&output.mFormat->pb);
            output.mFileOpened = false;
        }
        if (result < 0) {
            Fail("cannot finish " + output.mPath, result);
        }
    }
    if (!mTemporary.empty()) {
        if (std::rename(mTemporary.c_str(), mTarget.c_str()) != 0) {
            FailErrno("cannot put the video at " + mOut);
        }
        mTemporary.clear();
    }
    mOpen = false;
    Close();
}

void VideoWriter::Impl::FailErrno(const std::string& what)
{
    Fail(what + ": " + Errno(), 0);
}

void VideoWriter::Impl::Fail(const std::string& what, int code)
{
    std::string message = what.rfind(mOut + ": ", 0) == 0 ? what : mOut + ": " + what;
    if (code < 0) {
        message += ": " + AvError(code);
    }
    mOpen = false;
    Close();
    // Only what this capture made is removed.
    if (!mTemporary.empty()) {
        std::error_code removeError;
        if (fs::remove(mTemporary, removeError)) {
            message += " (removed the incomplete file)";
        }
        mTemporary.clear();
    } else if (mKind == CaptureOutputKind::PngSequence && mFramesWritten > 0) {
        message += mFramesWritten == 1 ? " (frame 0 is written)"
                                       : " (frames 0 to " + std::to_string(mFramesWritten - 1) + " are written)";
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
                       std::vector<std::int16_t> sound, CaptureQuality quality)
{
    mBytes.store(0);
    mImpl = std::make_unique<Impl>(mBytes);
    mImpl->Open(out, width, height, fps, sampleRate, std::move(sound), quality);
}

FrameLayout VideoWriter::Layout() const
{
    return mImpl ? mImpl->mLayout : FrameLayout(FrameLayout::Yuv420, 0, 0);
}

void VideoWriter::WriteFrame(const std::uint8_t* frame)
{
    if (!mImpl) {
        throw std::runtime_error("VideoWriter: not open");
    }
    mImpl->WriteFrame(frame);
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
