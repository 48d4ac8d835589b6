#pragma once

#include <QString>

#include <SDL.h>
#include <imgui.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

class DemoBuffers;
class DemoModel;
class Reaction;
class SoundtrackAnalysis;

// What a maker sees over the demo: the timeline strip (a bar per part, a
// lane per priority, animate keys as marks and react envelopes as lines
// over the bars, the playhead, the bar grid and the soundtrack's waveform),
// a frame-time graph with the spectrum of the music playing beside it, the
// last load error, and the timeline's buffers as live thumbnails, one of
// which a click shows full-window. Drawn with Dear ImGui over the whole
// window after the demo; its GL backend puts back every piece of GL state it
// changes, so the demo's own frames do not notice it.
class TimelineOverlay
{
public:
    // Needs the window's GL context current; shown from the start.
    explicit TimelineOverlay(SDL_Window* window);
    ~TimelineOverlay();

    TimelineOverlay(const TimelineOverlay&) = delete;
    TimelineOverlay& operator=(const TimelineOverlay&) = delete;

    bool IsVisible() const { return mVisible; }
    void SetVisible(bool visible) { mVisible = visible; }
    // Seconds the last frame took, for the graph.
    void AddFrameTime(double seconds);
    // Empty when the last load went well.
    void SetError(const QString& error) { mError = error.toStdString(); }
    // The soundtrack's waveform and spectrum show once its analysis is done.
    void SetMusic(std::shared_ptr<SoundtrackAnalysis> music) { mMusic = std::move(music); }
    // The buffers to show; null for none.
    void SetBuffers(const DemoBuffers* buffers) { mBuffers = buffers; }

    // Draws one frame of the overlay (nothing while hidden). Returns true
    // with the time in seekTo while the strip is clicked or dragged.
    bool Draw(const DemoModel& model, double time, double endTime, double& seekTo);

    // Frames kept in the graph.
    static constexpr int GraphFrames = 240;
    // Bars of the spectrum, spaced evenly in pitch.
    static constexpr int SpectrumBars = 48;
    // The width of a buffer's thumbnail.
    static constexpr float ThumbnailWidth = 160.0f;

private:
    static int FeedEvent(void* self, SDL_Event* event);
    bool DrawStrip(const DemoModel& model, double time, double endTime, double& seekTo);
    void DrawSpectrum(double time);
    void DrawWaveform(ImVec2 origin, float width, double span);
    void DrawBuffers();
    // left: where the strip's time 0 is.
    void DrawReaction(const Reaction& reaction, ImVec2 from, ImVec2 to, float left, double secondsPerPixel);

    SDL_Window* mWindow;
    bool mVisible = true;
    std::vector<float> mFrameMs;
    int mNextFrame = 0;
    std::string mError;
    double mLastSeek = -1.0;
    std::shared_ptr<SoundtrackAnalysis> mMusic;
    const DemoBuffers* mBuffers = nullptr;
    // The buffer shown full-window, by name; empty for none.
    std::string mShownBuffer;
    // The first bin of each bar, and one past the last bar's.
    std::array<int, SpectrumBars + 1> mBarBins{};
    std::array<float, SpectrumBars> mBars{};
    // A peak per pixel column, made again only when the strip's width or span changes.
    std::vector<float> mPeaks;
    float mPeaksWidth = 0.0f;
    double mPeaksSpan = 0.0;
    ImVector<ImVec2> mReactionLine;
    // The pointer in window coordinates, from SDL's events.
    ImVec2 mMouse;
    bool mHasMouse = false;
};
