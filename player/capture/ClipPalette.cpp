#include "ClipPalette.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
}

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void Check(int result, const char* what)
{
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + AvError(result));
    }
}

// A graph of "buffer -> FILTERS -> buffersink" with extra named inputs.
AVFilterGraph* MakeGraph(const std::string& description, const std::vector<std::string>& sourceArgs,
                         std::vector<AVFilterContext*>& sources, AVFilterContext*& sink)
{
    AVFilterGraph* graph = avfilter_graph_alloc();
    if (graph == nullptr) {
        throw std::runtime_error("out of memory for the GIF palette");
    }
    graph->nb_threads = 1;
    AVFilterInOut* outputs = nullptr;
    AVFilterInOut* inputs = nullptr;
    try {
        sources.clear();
        for (size_t i = 0; i < sourceArgs.size(); ++i) {
            AVFilterContext* source = nullptr;
            Check(avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"),
                                               ("in" + std::to_string(i)).c_str(), sourceArgs[i].c_str(), nullptr,
                                               graph),
                  "cannot make the GIF palette");
            sources.push_back(source);
            AVFilterInOut* output = avfilter_inout_alloc();
            output->name = av_strdup(("in" + std::to_string(i)).c_str());
            output->filter_ctx = source;
            output->pad_idx = 0;
            output->next = outputs;
            outputs = output;
        }
        Check(avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph),
              "cannot make the GIF palette");
        inputs = avfilter_inout_alloc();
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        Check(avfilter_graph_parse_ptr(graph, description.c_str(), &inputs, &outputs, nullptr),
              "cannot make the GIF palette");
        Check(avfilter_graph_config(graph, nullptr), "cannot make the GIF palette");
    } catch (...) {
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        avfilter_graph_free(&graph);
        throw;
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    return graph;
}

std::string SourceArgs(int width, int height, int fps)
{
    return "video_size=" + std::to_string(width) + "x" + std::to_string(height) + ":pix_fmt=bgra:time_base=1/" +
           std::to_string(fps) + ":pixel_aspect=1/1";
}

} // namespace

ClipPalette::ClipPalette(int width, int height, int fps, const std::string& folder)
    : mWidth(width)
    , mHeight(height)
    , mFps(fps)
{
    // Unnamed, so a killed capture leaves nothing behind.
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR, 0600);
    if (fd < 0) {
        mStore = std::tmpfile();
    } else {
        mStore = ::fdopen(fd, "w+b");
        if (mStore == nullptr) {
            ::close(fd);
        }
    }
    if (mStore == nullptr) {
        throw std::runtime_error(std::string("cannot keep the frames for the GIF palette: ") + std::strerror(errno));
    }
    std::vector<AVFilterContext*> sources;
    mCount = MakeGraph("[in0]palettegen", {SourceArgs(width, height, fps)}, sources, mCountSink);
    mCountSource = sources[0];
    mFrame = av_frame_alloc();
}

ClipPalette::~ClipPalette()
{
    av_frame_free(&mFrame);
    avfilter_graph_free(&mCount);
    if (mStore != nullptr) {
        std::fclose(mStore);
    }
}

AVFrame* ClipPalette::WrapFrame(const std::uint8_t* bgra, long number)
{
    av_frame_unref(mFrame);
    mFrame->format = AV_PIX_FMT_BGRA;
    mFrame->width = mWidth;
    mFrame->height = mHeight;
    mFrame->data[0] = const_cast<std::uint8_t*>(bgra);
    mFrame->linesize[0] = mWidth * 4;
    mFrame->pts = number;
    return mFrame;
}

void ClipPalette::Push(AVFilterContext* source, AVFrame* frame)
{
    // A frame without buffers of its own is copied by the source.
    Check(av_buffersrc_add_frame_flags(source, frame, AV_BUFFERSRC_FLAG_KEEP_REF), "cannot make the GIF palette");
}

void ClipPalette::Add(const std::uint8_t* bgra)
{
    const size_t bytes = static_cast<size_t>(mWidth) * mHeight * 4;
    if (std::fwrite(bgra, 1, bytes, mStore) != bytes) {
        throw std::runtime_error(std::string("cannot keep the frames for the GIF palette: ") + std::strerror(errno));
    }
    Push(mCountSource, WrapFrame(bgra, mFrames));
    ++mFrames;
}

void ClipPalette::MapAll(const std::function<void(AVFrame*)>& take)
{
    if (mFrames == 0) {
        return;
    }
    Check(av_buffersrc_add_frame(mCountSource, nullptr), "cannot make the GIF palette");
    AVFrame* palette = av_frame_alloc();
    AVFrame* mapped = av_frame_alloc();
    AVFilterGraph* graph = nullptr;
    try {
        Check(av_buffersink_get_frame(mCountSink, palette), "cannot make the GIF palette");
        std::vector<AVFilterContext*> sources;
        AVFilterContext* sink = nullptr;
        graph = MakeGraph("[in0][in1]paletteuse",
                          {SourceArgs(mWidth, mHeight, mFps), SourceArgs(palette->width, palette->height, mFps)},
                          sources, sink);
        palette->pts = 0;
        Check(av_buffersrc_add_frame(sources[1], palette), "cannot map the frames to the GIF palette");
        Check(av_buffersrc_add_frame(sources[1], nullptr), "cannot map the frames to the GIF palette");

        std::vector<std::uint8_t> bgra(static_cast<size_t>(mWidth) * mHeight * 4);
        std::rewind(mStore);
        const auto drain = [&] {
            int result = 0;
            while ((result = av_buffersink_get_frame(sink, mapped)) >= 0) {
                take(mapped);
                av_frame_unref(mapped);
            }
            if (result != AVERROR(EAGAIN) && result != AVERROR_EOF) {
                Check(result, "cannot map the frames to the GIF palette");
            }
        };
        for (long n = 0; n < mFrames; ++n) {
            if (std::fread(bgra.data(), 1, bgra.size(), mStore) != bgra.size()) {
                throw std::runtime_error("cannot read back the frames kept for the GIF palette");
            }
            Push(sources[0], WrapFrame(bgra.data(), n));
            drain();
        }
        Check(av_buffersrc_add_frame(sources[0], nullptr), "cannot map the frames to the GIF palette");
        drain();
    } catch (...) {
        avfilter_graph_free(&graph);
        av_frame_free(&palette);
        av_frame_free(&mapped);
        throw;
    }
    avfilter_graph_free(&graph);
    av_frame_free(&palette);
    av_frame_free(&mapped);
}
