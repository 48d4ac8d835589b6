#include "ProgramRunner.h"

#include "OutputCapture.h"
#include "XvfbServer.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace VexelTest {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

RunningProgram::RunningProgram(pid_t pid, std::string display, std::string outPath, std::string errPath)
    : mPid(pid)
    , mDisplay(std::move(display))
    , mOutPath(std::move(outPath))
    , mErrPath(std::move(errPath))
{
}

std::string RunningProgram::Out() const
{
    return ReadFile(mOutPath);
}
std::string RunningProgram::Err() const
{
    return ReadFile(mErrPath);
}

bool RunningProgram::HasExited()
{
    if (!mExited && waitpid(mPid, &mStatus, WNOHANG) == mPid) {
        mExited = true;
    }
    return mExited;
}

bool RunningProgram::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Out().find(text) != std::string::npos) {
            return true;
        }
        if (HasExited()) {
            return Out().find(text) != std::string::npos;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string RunningProgram::Shell(const std::string& command)
{
    return ShellOutput("DISPLAY=" + mDisplay + " " + command + " 2>/dev/null");
}

std::string ShellOutput(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        return "";
    }
    std::string output;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) {
        output.append(buffer.data(), n);
    }
    return output;
}

void RunningProgram::Key(const std::string& keyName)
{
    Shell("xdotool key " + keyName);
}

void RunningProgram::Signal(int signalNumber)
{
    kill(mPid, signalNumber);
}

bool RunningProgram::CloseMessageBox(const std::string& title, std::chrono::milliseconds timeout)
{
    const std::regex windowLine("^\\s*(0x[0-9a-fA-F]+) \"" + title + "\"");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const std::string& line : SplitLines(Shell("xwininfo -root -tree"))) {
            std::smatch match;
            if (std::regex_search(line, match, windowLine)) {
                // The box may not take keys until it is mapped; press until it goes.
                for (int attempt = 0; attempt < 50 && !HasExited(); ++attempt) {
                    Shell("xdotool key --window " + match[1].str() + " Return");
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    if (Shell("xwininfo -root -tree").find("\"" + title + "\"") == std::string::npos) {
                        return true;
                    }
                }
                return HasExited();
            }
        }
        if (HasExited()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::vector<unsigned char> RunningProgram::Screenshot()
{
    char path[] = "/tmp/vexel-shot-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        return {};
    }
    close(fd);
    Shell(std::string("import -window root -depth 8 rgb:") + path);
    const std::string bytes = ReadFile(path);
    unlink(path);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

std::vector<std::string> RunResult::OutLines() const
{
    return SplitLines(out);
}
std::vector<std::string> RunResult::ErrLines() const
{
    return SplitLines(err);
}

namespace {

void WriteFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

} // namespace

RunResult RunProgram(const std::string& executable, const ProgramRun& run)
{
    char dirTemplate[] = "/tmp/vexel-run-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) {
        throw std::runtime_error("RunProgram: cannot create a working folder");
    }
    const fs::path workDir(dirTemplate);
    for (const auto& [source, destination] : run.copies) {
        const fs::path target = workDir / destination;
        fs::create_directories(target.parent_path());
        fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    for (const auto& [relative, content] : run.files) {
        WriteFile(workDir / relative, content);
    }

    std::unique_ptr<XvfbServer> server;
    std::string display;
    if (run.ownDisplay) {
        server = std::make_unique<XvfbServer>();
        display = server->Display();
    } else if (const char* inherited = std::getenv("DISPLAY")) {
        display = inherited;
    }

    const std::string outPath = (workDir / ".stdout").string();
    const std::string errPath = (workDir / ".stderr").string();

    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("RunProgram: fork failed");
    }
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (run.ownDisplay) {
            setenv("DISPLAY", display.c_str(), 1);
        }
        for (const std::string& name : run.unsetEnv) {
            unsetenv(name.c_str());
        }
        for (const auto& [name, value] : run.env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        if (run.fileSizeLimit > 0) {
            // The write fails instead of the signal ending the program.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(run.fileSizeLimit), static_cast<rlim_t>(run.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(executable.c_str()));
        for (const std::string& arg : run.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }

    RunningProgram program(pid, display, outPath, errPath);
    if (run.whileRunning) {
        run.whileRunning(program);
    }

    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + run.timeout;
    while (!program.HasExited()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!result.timedOut) {
        const int status = program.Status();
        if (WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
            result.coreDumped = WCOREDUMP(status);
        }
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    std::error_code ignored;
    fs::remove_all(workDir, ignored);
    return result;
}

RunResult RunMorvelin(const ProgramRun& run)
{
    return RunProgram(MORVELIN_EXE, run);
}

bool ContainsSequence(const std::vector<std::string>& lines, const std::vector<std::string>& block)
{
    if (block.empty()) {
        return true;
    }
    for (size_t i = 0; i + block.size() <= lines.size(); ++i) {
        bool all = true;
        for (size_t j = 0; j < block.size() && all; ++j) {
            all = lines[i + j] == block[j];
        }
        if (all) {
            return true;
        }
    }
    return false;
}

int IndexOf(const std::vector<std::string>& lines, const std::string& text, int from)
{
    for (int i = from; i < static_cast<int>(lines.size()); ++i) {
        if (lines[i] == text) {
            return i;
        }
    }
    return -1;
}

bool RunningProgram::WaitForLine(const std::string& line, int times, int tries)
{
    const std::string whole = line + "\n";
    for (int i = 0; i < tries; ++i) {
        const std::string out = Out();
        int count = 0;
        for (std::size_t at = out.find(whole); at != std::string::npos; at = out.find(whole, at + 1)) {
            ++count;
        }
        if (count >= times) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool RunningProgram::CentreBecomes(int r, int g, int b)
{
    for (int attempt = 0; attempt < 40; ++attempt) {
        const std::vector<unsigned char> shot = Screenshot();
        if (shot.size() == 1280u * 720u * 3u) {
            const unsigned char* pixel = &shot[(360 * 1280 + 640) * 3];
            if (std::abs(pixel[0] - r) <= 3 && std::abs(pixel[1] - g) <= 3 && std::abs(pixel[2] - b) <= 3) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace VexelTest
