#include "CheckGlError.h"

#include <iostream>

void CheckGlError(const std::string& message, const std::string& file, int line,
                  const std::string& function, const std::string& dynamicId)
{
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR) {
        return;
    }
    Vexel::ReportGlError(code, message, file, line, function, dynamicId);
}

namespace Vexel {

const char* GlErrorDescription(GLenum code)
{
    switch (code) {
    case GL_INVALID_ENUM:
        return "GL_INVALID_ENUM: An unacceptable value is specified for an enumerated argument. The offending command is ignored and has no other side effect than to set the error flag.";
    case GL_INVALID_VALUE:
        return "GL_INVALID_VALUE: A numeric argument is out of range. The offending command is ignored and has no other side effect than to set the error flag.";
    case GL_INVALID_OPERATION:
        return "GL_INVALID_OPERATION: The specified operation is not allowed in the current state. The offending command is ignored and has no other side effect than to set the error flag.";
    case GL_STACK_OVERFLOW:
        return "GL_STACK_OVERFLOW: This command would cause a stack overflow. The offending command is ignored and has no other side effect than to set the error flag.";
    case GL_STACK_UNDERFLOW:
        return "GL_STACK_UNDERFLOW: This command would cause a stack underflow. The offending command is ignored and has no other side effect than to set the error flag.";
    case GL_OUT_OF_MEMORY:
        return "GL_OUT_OF_MEMORY: There is not enough memory left to execute the command. The state of the GL is undefined, except for the state of the error flags, after this error is recorded.";
    case GL_TABLE_TOO_LARGE:
        return "GL_TABLE_TOO_LARGE: The specified table exceeds the implementation's maximum supported table size. The offending command is ignored and has no other side effect than to set the error flag.";
    default:
        return "";
    }
}

void ReportGlError(GLenum code, const std::string& message, const std::string& file, int line,
                   const std::string& function, const std::string& dynamicId)
{
    std::string text = "OpenGL error: ";
    text += GlErrorDescription(code);
    text += "\n  Message: ";
    text += message;
    text += "\n  in: \"";
    text += file;
    text += "\" at line ";
    text += std::to_string(line);
    text += "\n  ";
    text += function;
    text += "\n";
    if (!dynamicId.empty()) {
        text += "  Dynamic ID: ";
        text += dynamicId;
    }
    std::cerr << text << std::endl << std::endl;
}

std::string FunctionName(const char* prettyFunction)
{
    const std::string text(prettyFunction);
    // The parameter list starts at the first '(' outside template arguments;
    // the name starts after the last blank before it (the return type's end).
    int depth = 0;
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<') {
            ++depth;
        } else if (c == '>') {
            --depth;
        } else if (c == '(' && depth == 0) {
            open = i;
            break;
        }
    }
    if (open == std::string::npos) {
        return text;
    }
    depth = 0;
    std::size_t start = 0;
    for (std::size_t i = open; i-- > 0;) {
        const char c = text[i];
        if (c == '>') {
            ++depth;
        } else if (c == '<') {
            --depth;
        } else if (c == ' ' && depth == 0) {
            start = i + 1;
            break;
        }
    }
    return text.substr(start, open - start);
}

} // namespace Vexel
