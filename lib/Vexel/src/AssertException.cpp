#include "AssertException.h"

#include <QString>

#include <iostream>
#include <string>

AssertException::AssertException(const char* expression_, const char* function_, const char* file_, int line_)
    : expression(expression_)
    , function(function_)
    , file(file_)
    , line(line_)
{
    std::cerr << "FATAL ERROR: Assertion (" << expression << ") failed!" << std::endl;
    std::cerr << "  at \"" << function << "\"" << std::endl;
    std::cerr << "  in \"" << file << "\"" << std::endl;
    std::cerr << "  at line " << line << std::endl;
}

namespace boost {

void assertion_failed(char const* expr, char const* function, char const* file, long line)
{
    throw AssertException(expr, function, file, static_cast<int>(line));
}

// BOOST_ASSERT_MSG inside Boost's headers ends here too; the message is
// already part of what the report must show, so it goes in front.
void assertion_failed_msg(char const* expr, char const* msg, char const* function, char const* file, long line)
{
    std::cerr << "Assertion failed!: " << msg << std::endl;
    throw AssertException(expr, function, file, static_cast<int>(line));
}

} // namespace boost

namespace Vexel {

void WriteAssertMessage(const char* message, const char* detail)
{
    std::cerr << "Assertion failed!: " << message << std::endl;
    std::cerr << "  " << detail << std::endl;
}

void WriteAssertMessage(const char* message, const std::string& detail)
{
    WriteAssertMessage(message, detail.c_str());
}

void WriteAssertMessage(const char* message, const QString& detail)
{
    WriteAssertMessage(message, detail.toUtf8().constData());
}

} // namespace Vexel
