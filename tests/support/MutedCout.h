#pragma once

#include <iostream>
#include <streambuf>

namespace VexelTest {

// Standard output dropped while it lives: the timeline's and the loader's
// log lines would swamp benchmark figures.
class MutedCout
{
public:
    MutedCout()
        : mSaved(std::cout.rdbuf(&mNull))
    {
    }
    ~MutedCout() { std::cout.rdbuf(mSaved); }
    MutedCout(const MutedCout&) = delete;
    MutedCout& operator=(const MutedCout&) = delete;

private:
    class NullBuffer : public std::streambuf
    {
    protected:
        int overflow(int c) override { return traits_type::not_eof(c); }
    };
    NullBuffer mNull;
    std::streambuf* mSaved;
};

} // namespace VexelTest
