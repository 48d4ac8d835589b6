#pragma once

#include <GL/glew.h>

#include <string>

// Takes one pending GL error, if any, and reports it to standard error with
// the caller's location and the text naming the object worked on.
void CheckGlError(const std::string& message, const std::string& file, int line,
                  const std::string& function, const std::string& dynamicId);

namespace Vexel {

// The report for an error already taken from GL.
void ReportGlError(GLenum code, const std::string& message, const std::string& file, int line,
                   const std::string& function, const std::string& dynamicId);

const char* GlErrorDescription(GLenum code);

// "Class::Function" out of the compiler's full signature text.
std::string FunctionName(const char* prettyFunction);

} // namespace Vexel

// The usual call site: one glGetError, and the message and ID expressions are
// evaluated only when there is an error to report.
#define CHECK_GL_ERROR(message, dynamicId)                                                    \
    do {                                                                                      \
        const GLenum vexelGlError_ = glGetError();                                            \
        if (vexelGlError_ != GL_NO_ERROR) {                                                   \
            ::Vexel::ReportGlError(vexelGlError_, (message), __FILE__, __LINE__,              \
                                   ::Vexel::FunctionName(__PRETTY_FUNCTION__), (dynamicId));  \
        }                                                                                     \
    } while (false)
