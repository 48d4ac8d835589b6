#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace VexelTest {

// A program started by RunProgram, for what a test does while it runs.
class RunningProgram
{
public:
    RunningProgram(pid_t pid, std::string display, std::string outPath, std::string errPath);

    pid_t Pid() const { return mPid; }
    const std::string& Display() const { return mDisplay; }
    std::string Out() const;
    std::string Err() const;
    bool HasExited();

    // Polls stdout until it contains the text; false on timeout or exit.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    // Polls stdout until the whole line has been printed `times` times, at
    // most `tries` x 50 ms.
    bool WaitForLine(const std::string& line, int times = 1, int tries = 300);
    // Polls the screen until its centre shows the colour, within 3 a channel
    // (a swap may lag a frame); 4 s at most.
    bool CentreBecomes(int r, int g, int b);
    // An X key name as xdotool knows it ("Escape", "Right").
    void Key(const std::string& keyName);
    void Signal(int signalNumber);
    // Finds a window with this title and presses Return in it.
    bool CloseMessageBox(const std::string& title, std::chrono::milliseconds timeout);
    // The whole screen as 1280x720x3 RGB bytes, empty on failure.
    std::vector<unsigned char> Screenshot();
    // The wait status once HasExited() is true.
    int Status() const { return mStatus; }
    // A command's standard output, run against this program's display.
    std::string Shell(const std::string& command);

private:
    pid_t mPid;
    std::string mDisplay;
    std::string mOutPath;
    std::string mErrPath;
    bool mExited = false;
    int mStatus = 0;
};

struct ProgramRun
{
    std::vector<std::string> args;
    // Files to create in the temporary working folder: relative path -> content.
    std::map<std::string, std::string> files;
    // Files or folders to copy into it: source path -> relative destination.
    std::vector<std::pair<std::string, std::string>> copies;
    // Extra environment; SDL_AUDIODRIVER defaults to "dummy".
    std::map<std::string, std::string> env;
    std::vector<std::string> unsetEnv;
    std::chrono::milliseconds timeout{60000};
    // Run on a private Xvfb server (otherwise the inherited DISPLAY, if any).
    bool ownDisplay = true;
    // When above 0, writing a file past this many bytes fails (EFBIG), as on a full disk.
    long long fileSizeLimit = 0;
    std::function<void(RunningProgram&)> whileRunning;
};

struct RunResult
{
    int exitCode = -1; // -1 unless it exited normally
    int signal = 0;    // the signal that ended it, 0 if none
    bool timedOut = false;
    bool coreDumped = false;
    std::string out;
    std::string err;

    std::vector<std::string> OutLines() const;
    std::vector<std::string> ErrLines() const;
};

RunResult RunProgram(const std::string& executable, const ProgramRun& run);
// The built demo program.
RunResult RunMorvelin(const ProgramRun& run);

// Whether a (possibly multi-line) block of lines occurs in order, contiguous.
bool ContainsSequence(const std::vector<std::string>& lines, const std::vector<std::string>& block);
// Index of the first line equal to text, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& text, int from = 0);

std::string ReadFile(const std::string& path);
// A shell command's standard output.
std::string ShellOutput(const std::string& command);

} // namespace VexelTest
