#include "TimelineOverlay.h"

#include "Audio/MusicAnalysis.h"
#include "Audio/MusicFrames.h"
#include "Audio/SoundtrackAnalysis.h"
#include "Halvorn/DemoBuffers.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/Reaction.h"

#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>

namespace {

const float LaneHeight = 9.0f;
const float GridHeight = 14.0f;
const float WaveHeight = 24.0f;
const ImVec2 SpectrumSize(160.0f, 40.0f);
// The spectrum shows 30 Hz to 16 kHz, 80 dB below a full-scale sine.
const double SpectrumLowHz = 30.0;
const double SpectrumHighHz = 16000.0;
const float SpectrumFloorDb = -80.0f;
const ImU32 BarColor = IM_COL32(90, 110, 150, 220);
const ImU32 RunningColor = IM_COL32(255, 170, 40, 240);
const ImU32 KeyColor = IM_COL32(255, 255, 255, 230);
const ImU32 PlayheadColor = IM_COL32(255, 40, 40, 255);
const ImU32 BarLineColor = IM_COL32(255, 255, 255, 70);
const ImU32 BeatLineColor = IM_COL32(255, 255, 255, 25);
const ImU32 ErrorColor = IM_COL32(255, 90, 90, 255);
const ImU32 WaveColor = IM_COL32(120, 200, 255, 150);
const ImU32 NoteColor = IM_COL32(160, 160, 160, 255);

const ImU32 ShownColor = IM_COL32(255, 170, 40, 255);

// Pictures are shown for their colour alone: what a part leaves transparent
// would otherwise vanish against the window.
void WithoutBlending(const ImDrawList*, const ImDrawCmd*)
{
    glDisable(GL_BLEND);
}

ImTextureID TextureId(GLuint texture)
{
    return reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(texture));
}

template <typename Visit>
void ForEachPart(const DemoModel& model, Visit visit)
{
    for (const DemoPart& part : model.mPastParts) {
        visit(part, false);
    }
    for (const DemoPart& part : model.mCurrentParts) {
        visit(part, true);
    }
    for (const DemoPart& part : model.mFutureParts) {
        visit(part, false);
    }
}

} // namespace

TimelineOverlay::TimelineOverlay(SDL_Window* window)
    : mWindow(window)
    , mFrameMs(GraphFrames, 0.0f)
{
    const double binHz = static_cast<double>(MusicAnalysis::SampleRate) / WindowedFft::Size;
    for (int bar = 0; bar <= SpectrumBars; ++bar) {
        const double hz =
            SpectrumLowHz * std::pow(SpectrumHighHz / SpectrumLowHz, static_cast<double>(bar) / SpectrumBars);
        // Every bar at least one bin wide, where the low bins are sparse.
        mBarBins[bar] = std::max(static_cast<int>(std::lround(hz / binHz)), bar > 0 ? mBarBins[bar - 1] + 1 : 1);
    }
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // No imgui.ini in the maker's folder.
    io.IniFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForOpenGL(mWindow, SDL_GL_GetCurrentContext());
    ImGui_ImplOpenGL3_Init("#version 330");
    // Events reach the overlay as SDL queues them; the player's own event
    // loop sees every one as before.
    SDL_AddEventWatch(&TimelineOverlay::FeedEvent, this);
}

TimelineOverlay::~TimelineOverlay()
{
    SDL_DelEventWatch(&TimelineOverlay::FeedEvent, this);
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
}

int TimelineOverlay::FeedEvent(void* self, SDL_Event* event)
{
    ImGui_ImplSDL2_ProcessEvent(event);
    // The backend asks SDL for the pointer only while the window has the
    // focus, which a window without a window manager may never get.
    TimelineOverlay& overlay = *static_cast<TimelineOverlay*>(self);
    if (event->type == SDL_MOUSEMOTION) {
        overlay.mMouse = ImVec2(static_cast<float>(event->motion.x), static_cast<float>(event->motion.y));
        overlay.mHasMouse = true;
    } else if (event->type == SDL_MOUSEBUTTONDOWN || event->type == SDL_MOUSEBUTTONUP) {
        overlay.mMouse = ImVec2(static_cast<float>(event->button.x), static_cast<float>(event->button.y));
        overlay.mHasMouse = true;
    } else if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_LEAVE) {
        overlay.mHasMouse = false;
    }
    return 0;
}

void TimelineOverlay::AddFrameTime(double seconds)
{
    mFrameMs[static_cast<std::size_t>(mNextFrame)] = static_cast<float>(seconds * 1000.0);
    mNextFrame = (mNextFrame + 1) % GraphFrames;
}

bool TimelineOverlay::Draw(const DemoModel& model, double time, double endTime, double& seekTo)
{
    if (!mVisible) {
        return false;
    }
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    if (mHasMouse) {
        ImGui::GetIO().MousePos = mMouse;
    }
    ImGui::NewFrame();

    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const ImGuiWindowFlags fixed = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                                   ImGuiWindowFlags_AlwaysAutoResize;

    ImGui::SetNextWindowPos(ImVec2(8.0f, 8.0f));
    ImGui::SetNextWindowBgAlpha(0.6f);
    ImGui::Begin("status", nullptr, fixed);
    float latest = mFrameMs[static_cast<std::size_t>((mNextFrame + GraphFrames - 1) % GraphFrames)];
    float worst = *std::max_element(mFrameMs.begin(), mFrameMs.end());
    ImGui::Text("frame %.1f ms, worst %.1f ms", latest, worst);
    ImGui::PlotLines("##frames", mFrameMs.data(), GraphFrames, mNextFrame, nullptr, 0.0f,
                     std::max(33.4f, worst), ImVec2(240.0f, 40.0f));
    DrawSpectrum(time);
    if (!mError.empty()) {
        ImGui::PushStyleColor(ImGuiCol_Text, ErrorColor);
        ImGui::PushTextWrapPos(std::min(display.x - 24.0f, 720.0f));
        ImGui::TextUnformatted("last load failed; the last good timeline plays on:");
        ImGui::TextUnformatted(mError.c_str());
        ImGui::PopTextWrapPos();
        ImGui::PopStyleColor();
    }
    ImGui::End();

    DrawBuffers();
    const bool seek = DrawStrip(model, time, endTime, seekTo);

    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    return seek;
}

void TimelineOverlay::DrawSpectrum(double time)
{
    if (!mMusic) {
        return;
    }
    if (!mMusic->IfReady()) {
        const std::string failure = mMusic->Failure();
        ImGui::PushStyleColor(ImGuiCol_Text, NoteColor);
        ImGui::TextUnformatted(failure.empty() ? "analysing the music..." : failure.c_str());
        ImGui::PopStyleColor();
        return;
    }
    MusicFrames& frames = mMusic->Frames();
    frames.MoveTo(time);
    const float* fft = frames.Fft();
    for (int bar = 0; bar < SpectrumBars; ++bar) {
        float loudest = 0.0f;
        for (int bin = mBarBins[bar]; bin < mBarBins[bar + 1] && bin < MusicFrames::Bins; ++bin) {
            loudest = std::max(loudest, fft[bin]);
        }
        const float decibels = loudest > 0.0f ? 20.0f * std::log10(loudest) : SpectrumFloorDb;
        mBars[bar] = std::clamp(1.0f - decibels / SpectrumFloorDb, 0.0f, 1.0f);
    }
    ImGui::SameLine();
    ImGui::PlotHistogram("##spectrum", mBars.data(), SpectrumBars, 0, nullptr, 0.0f, 1.0f, SpectrumSize);
}

void TimelineOverlay::DrawWaveform(ImVec2 origin, float width, double span)
{
    const std::shared_ptr<const MusicAnalysis> analysis = mMusic ? mMusic->IfReady() : nullptr;
    if (!analysis) {
        return;
    }
    if (width != mPeaksWidth || span != mPeaksSpan || mPeaks.empty()) {
        mPeaks = analysis->Peaks(0.0, span, std::max(static_cast<int>(width), 1));
        // Scaled to the loudest column, so a quiet track still shows its shape.
        const float loudest = *std::max_element(mPeaks.begin(), mPeaks.end());
        for (float& peak : mPeaks) {
            peak = loudest > 0.001f ? peak / loudest : peak;
        }
        mPeaksWidth = width;
        mPeaksSpan = span;
    }
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const float middle = origin.y + WaveHeight / 2.0f;
    for (std::size_t column = 0; column < mPeaks.size(); ++column) {
        const float half = std::max(mPeaks[column] * WaveHeight / 2.0f, 0.5f);
        const float x = origin.x + static_cast<float>(column);
        draw->AddRectFilled(ImVec2(x, middle - half), ImVec2(x + 1.0f, middle + half), WaveColor);
    }
}

void TimelineOverlay::DrawReaction(const Reaction& reaction, ImVec2 from, ImVec2 to, float left, double secondsPerPixel)
{
    // The band's envelope over the bar: its peak in each pixel column, looked
    // at on the analysis's steps, so a short beat still shows.
    const double step = 1.0 / MusicAnalysis::StepsPerSecond;
    mReactionLine.clear();
    for (float column = from.x; column <= to.x; column += 1.0f) {
        const double start = (column - left) * secondsPerPixel;
        float level = 0.0f;
        for (double time = start; time < start + secondsPerPixel || time == start; time += step) {
            level = std::max(level, std::clamp(reaction.Level(time), 0.0f, 1.0f));
        }
        mReactionLine.push_back(ImVec2(column, to.y - level * (to.y - from.y)));
    }
    ImGui::GetWindowDrawList()->AddPolyline(mReactionLine.Data, mReactionLine.Size, KeyColor, ImDrawFlags_None, 1.0f);
}

bool TimelineOverlay::DrawStrip(const DemoModel& model, double time, double endTime, double& seekTo)
{
    std::map<unsigned int, int> lanes;
    ForEachPart(model, [&lanes](const DemoPart& part, bool) { lanes.emplace(part.mPriority, 0); });
    int lane = 0;
    for (auto& entry : lanes) {
        entry.second = lane++;
    }

    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const float lanesHeight = GridHeight + LaneHeight * static_cast<float>(std::max(lane, 1));
    const bool wave = mMusic && mMusic->IfReady();
    const float stripHeight = lanesHeight + (wave ? WaveHeight : 0.0f);
    const ImGuiStyle& style = ImGui::GetStyle();
    ImGui::SetNextWindowPos(ImVec2(0.0f, display.y - stripHeight - 2.0f * style.WindowPadding.y));
    ImGui::SetNextWindowSize(ImVec2(display.x, stripHeight + 2.0f * style.WindowPadding.y));
    ImGui::SetNextWindowBgAlpha(0.6f);
    ImGui::Begin("timeline", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoFocusOnAppearing);

    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const float width = std::max(ImGui::GetContentRegionAvail().x, 1.0f);
    ImGui::InvisibleButton("strip", ImVec2(width, stripHeight));
    const double span = std::max(endTime, 1.0);
    auto x = [&](double t) { return origin.x + static_cast<float>(std::clamp(t / span, 0.0, 1.0)) * width; };
    ImDrawList* draw = ImGui::GetWindowDrawList();
    if (wave) {
        DrawWaveform(ImVec2(origin.x, origin.y + lanesHeight), width, span);
    }

    if (model.mHasTempo && model.mTempo.IsValid()) {
        const double bar = model.mTempo.SecondsPerBar();
        const double beat = model.mTempo.SecondsPerBeat();
        const bool beats = beat / span * width >= 6.0;
        // Bars counted from the tempo's offset, which may lie before zero.
        double first = model.mTempo.mOffset - std::ceil(model.mTempo.mOffset / bar) * bar;
        // Bar numbers as the title shows them (bar 1 at the offset), spaced to stay readable.
        int every = 1;
        while (every < 1024 && every * bar / span * width < 28.0) {
            every *= 2;
        }
        for (double t = first; t <= span && bar / span * width >= 2.0; t += bar) {
            draw->AddLine(ImVec2(x(t), origin.y), ImVec2(x(t), origin.y + stripHeight), BarLineColor);
            const long number = std::lround((t - model.mTempo.mOffset) / bar) + 1;
            if ((number - 1) % every == 0 && t >= 0.0) {
                draw->AddText(ImVec2(x(t) + 2.0f, origin.y), BarLineColor | IM_COL32(0, 0, 0, 255),
                              std::to_string(number).c_str());
            }
            for (int b = 1; beats && b < model.mTempo.mBeatsPerBar; ++b) {
                const float bx = x(t + b * beat);
                draw->AddLine(ImVec2(bx, origin.y + GridHeight), ImVec2(bx, origin.y + stripHeight), BeatLineColor);
            }
        }
    }

    const ImVec2 mouse = ImGui::GetIO().MousePos;
    const DemoPart* hovered = nullptr;
    ForEachPart(model, [&](const DemoPart& part, bool running) {
        if (!std::isfinite(part.mStart) || !std::isfinite(part.mEnd)) {
            return;
        }
        const float top = origin.y + GridHeight + LaneHeight * static_cast<float>(lanes[part.mPriority]);
        const ImVec2 from(x(part.mStart), top + 1.0f);
        const ImVec2 to(std::max(x(part.mEnd), from.x + 2.0f), top + LaneHeight - 1.0f);
        draw->AddRectFilled(from, to, running ? RunningColor : BarColor);
        for (const Animation& animation : part.mAnimations) {
            for (double key : animation.mTimes) {
                const double at = part.mStart + key;
                if (at >= part.mStart && at <= part.mEnd) {
                    draw->AddLine(ImVec2(x(at), from.y), ImVec2(x(at), to.y), KeyColor);
                }
            }
            if (animation.mReaction) {
                DrawReaction(*animation.mReaction, from, to, origin.x, span / width);
            }
        }
        if (ImGui::IsMouseHoveringRect(from, to)) {
            hovered = &part;
        }
    });
    draw->AddLine(ImVec2(x(time), origin.y), ImVec2(x(time), origin.y + stripHeight), PlayheadColor, 2.0f);

    if (hovered != nullptr) {
        ImGui::SetTooltip("%s (%s) %.3f-%.3f s, priority %u", hovered->mName.toUtf8().constData(),
                          hovered->mClassName.toUtf8().constData(), hovered->mStart, hovered->mEnd,
                          hovered->mPriority);
    }

    bool seek = false;
    if (ImGui::IsItemActive()) {
        const double target = std::clamp((mouse.x - origin.x) / width, 0.0f, 1.0f) * span;
        // A held button seeks again only when the mouse moves.
        if (ImGui::IsItemActivated() || target != mLastSeek) {
            seekTo = std::min(target, endTime);
            mLastSeek = target;
            seek = true;
        }
    } else {
        mLastSeek = -1.0;
    }
    ImGui::End();
    return seek;
}

void TimelineOverlay::DrawBuffers()
{
    const int count = mBuffers != nullptr ? mBuffers->Count() : 0;
    if (count > 0) {
        const ImVec2 display = ImGui::GetIO().DisplaySize;
        ImGui::SetNextWindowPos(ImVec2(display.x - 8.0f, 8.0f), ImGuiCond_Always, ImVec2(1.0f, 0.0f));
        ImGui::SetNextWindowBgAlpha(0.6f);
        ImGui::Begin("buffers", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                         ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_AlwaysAutoResize);
        ImGui::Text("buffers: %.1f MiB on the GPU", static_cast<double>(mBuffers->Bytes()) / (1024.0 * 1024.0));
        ImDrawList* draw = ImGui::GetWindowDrawList();
        for (int i = 0; i < count; ++i) {
            const DemoBuffers::View view = mBuffers->At(i);
            const bool shown = view.name == mShownBuffer;
            const float height = view.width > 0 ? ThumbnailWidth * static_cast<float>(view.height) / view.width : 0.0f;
            ImGui::PushID(i);
            // A button of its own: the texture changes from frame to frame
            // while a buffer flips, and an image button's identity with it.
            const ImVec2 from = ImGui::GetCursorScreenPos();
            if (ImGui::InvisibleButton("thumbnail", ImVec2(ThumbnailWidth, std::max(height, 1.0f)))) {
                mShownBuffer = shown ? std::string() : view.name;
            }
            const ImVec2 to(from.x + ThumbnailWidth, from.y + height);
            draw->AddCallback(WithoutBlending, nullptr);
            // Rows are stored bottom first.
            draw->AddImage(TextureId(view.texture), from, to, ImVec2(0.0f, 1.0f), ImVec2(1.0f, 0.0f));
            draw->AddCallback(ImDrawCallback_ResetRenderState, nullptr);
            draw->AddRect(from, to, shown ? ShownColor : BarLineColor, 0.0f, 0, shown ? 2.0f : 1.0f);
            ImGui::SameLine();
            ImGui::Text("%s\n%dx%d %s", view.name.c_str(), view.width, view.height,
                        BufferSettings::FormatName(view.format));
            ImGui::PopID();
        }
        ImGui::TextUnformatted(mShownBuffer.empty() ? "click one to show it full-window" : "click it again to go back");
        ImGui::End();
    }
    // A reload may take the shown buffer away.
    bool shownExists = false;
    for (int i = 0; i < count; ++i) {
        const DemoBuffers::View view = mBuffers->At(i);
        if (view.name == mShownBuffer) {
            shownExists = true;
            ImDrawList* background = ImGui::GetBackgroundDrawList();
            background->AddCallback(WithoutBlending, nullptr);
            background->AddImage(TextureId(view.texture), ImVec2(0.0f, 0.0f), ImGui::GetIO().DisplaySize,
                                 ImVec2(0.0f, 1.0f), ImVec2(1.0f, 0.0f));
            background->AddCallback(ImDrawCallback_ResetRenderState, nullptr);
        }
    }
    if (!shownExists) {
        mShownBuffer.clear();
    }
}
