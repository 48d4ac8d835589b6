#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace VexelTest {

std::vector<std::string> SplitLines(const std::string& text);

// What a call wrote to the standard streams (at file-descriptor level, so
// C and C++ streams and SDL's own output are all seen) and what it threw.
struct Captured
{
    std::string out;
    std::string err;
    std::exception_ptr exception;

    std::vector<std::string> OutLines() const { return SplitLines(out); }
    std::vector<std::string> ErrLines() const { return SplitLines(err); }
    bool Threw() const { return static_cast<bool>(exception); }
    // The exception's text for std::exception, "" otherwise.
    std::string What() const;
};

Captured Capture(const std::function<void()>& call);

// Redirects stdout and stderr into files until Stop (or destruction).
class OutputCapture
{
public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    void Stop();
    const std::string& Out() const { return mOut; }
    const std::string& Err() const { return mErr; }

private:
    int mSavedOut = -1;
    int mSavedErr = -1;
    std::string mOutPath;
    std::string mErrPath;
    std::string mOut;
    std::string mErr;
    bool mActive = false;
};

} // namespace VexelTest
