#pragma once

#include <boost/assert.hpp>

#include <string>

// What every failed contract check throws. It deliberately does not derive
// from std::exception, so handlers for standard errors let it pass.
class AssertException
{
public:
    // Writes the four-line report to standard error once, here.
    AssertException(const char* expression, const char* function, const char* file, int line);

    const char* expression;
    const char* function;
    const char* file;
    int line;
};

// Writes "Assertion failed!: " message and the detail line, then fails the
// same check through BOOST_ASSERT (which evaluates the expression again).
#define ASSERT_MSG(expr, message, detail)                                     \
    do {                                                                      \
        if (!(expr)) {                                                        \
            ::Vexel::WriteAssertMessage((message), (detail));                 \
            BOOST_ASSERT(expr);                                               \
        }                                                                     \
    } while (false)

#define ASSERT_NOT_IMPLEMENTED() \
    BOOST_ASSERT("Not implemented / executed invalid code block" && true==false)

class QString;

namespace Vexel {
void WriteAssertMessage(const char* message, const char* detail);
void WriteAssertMessage(const char* message, const std::string& detail);
void WriteAssertMessage(const char* message, const QString& detail);
}
