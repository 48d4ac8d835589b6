#pragma once

#include <QString>

#include <SDL.h>
#include <imgui.h>

#include <string>
#include <vector>

class DemoModel;

// What a maker sees over the demo: the timeline strip (a bar per part, a
// lane per priority, animate keys as marks, the playhead and the bar grid),
// a frame-time graph and the last load error. Drawn with Dear ImGui over
// the whole window after the demo; its GL backend puts back every piece of
// GL state it changes, so the demo's own frames do not notice it.
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

    // Draws one frame of the overlay (nothing while hidden). Returns true
    // with the time in seekTo while the strip is clicked or dragged.
    bool Draw(const DemoModel& model, double time, double endTime, double& seekTo);

    // Frames kept in the graph.
    static constexpr int GraphFrames = 240;

private:
    static int FeedEvent(void* self, SDL_Event* event);
    bool DrawStrip(const DemoModel& model, double time, double endTime, double& seekTo);

    SDL_Window* mWindow;
    bool mVisible = true;
    std::vector<float> mFrameMs;
    int mNextFrame = 0;
    std::string mError;
    double mLastSeek = -1.0;
    // The pointer in window coordinates, from SDL's events.
    ImVec2 mMouse;
    bool mHasMouse = false;
};
