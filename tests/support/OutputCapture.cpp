#include "OutputCapture.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace VexelTest {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream stream(text);
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string Captured::What() const
{
    if (!exception) {
        return "";
    }
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "";
    }
}

namespace {

std::string MakeTempFile(const char* tag)
{
    std::string pattern = std::string("/tmp/vexel-capture-") + tag + "-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        throw std::runtime_error("cannot create capture file");
    }
    close(fd);
    return pattern;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void FlushAll()
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

} // namespace

OutputCapture::OutputCapture()
    : mOutPath(MakeTempFile("out"))
    , mErrPath(MakeTempFile("err"))
{
    FlushAll();
    mSavedOut = dup(STDOUT_FILENO);
    mSavedErr = dup(STDERR_FILENO);
    const int out = open(mOutPath.c_str(), O_WRONLY | O_TRUNC);
    const int err = open(mErrPath.c_str(), O_WRONLY | O_TRUNC);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    close(out);
    close(err);
    mActive = true;
}

OutputCapture::~OutputCapture()
{
    Stop();
}

void OutputCapture::Stop()
{
    if (!mActive) {
        return;
    }
    FlushAll();
    dup2(mSavedOut, STDOUT_FILENO);
    dup2(mSavedErr, STDERR_FILENO);
    close(mSavedOut);
    close(mSavedErr);
    mActive = false;
    mOut = ReadAll(mOutPath);
    mErr = ReadAll(mErrPath);
    unlink(mOutPath.c_str());
    unlink(mErrPath.c_str());
}

Captured Capture(const std::function<void()>& call)
{
    Captured result;
    OutputCapture capture;
    try {
        call();
    } catch (...) {
        result.exception = std::current_exception();
    }
    capture.Stop();
    result.out = capture.Out();
    result.err = capture.Err();
    return result;
}

} // namespace VexelTest
