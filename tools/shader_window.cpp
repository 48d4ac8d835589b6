// The floor for a lib.Shader part's frame time: a bare SDL and OpenGL program
// that runs one fragment shader of the showdown convention over a window
// (one triangle, fGlobalTime and v2Resolution set, nothing else) and swaps,
// FRAMES times or until asked to quit.  shader_window SHADER WIDTHxHEIGHT FRAMES
#include <GL/glew.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char* const Vertex =
    "void main()\n"
    "{\n"
    "    vec2 corner = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));\n"
    "    gl_Position = vec4(corner, 0.0, 1.0);\n"
    "}\n";

GLuint Compile(GLenum stage, const std::string& text)
{
    const GLuint shader = glCreateShader(stage);
    const char* pointer = text.c_str();
    glShaderSource(shader, 1, &pointer, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        char log[4096] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader_window: %s\n", log);
        return 0;
    }
    return shader;
}

} // namespace

int main(int argc, char** argv)
{
    int width = 0;
    int height = 0;
    if (argc != 4 || std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
        std::fprintf(stderr, "usage: shader_window SHADER WIDTHxHEIGHT FRAMES\n");
        return 2;
    }
    const long frames = std::strtol(argv[3], nullptr, 10);
    std::ifstream file(argv[1]);
    std::stringstream fragment;
    fragment << file.rdbuf();
    const std::string text = fragment.str();
    // The vertex stage at the fragment's own #version line.
    const std::string version = text.substr(0, text.find('\n') + 1);

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window* window = SDL_CreateWindow("shader_window", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                          height, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) {
        std::fprintf(stderr, "window: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    SDL_GL_SetSwapInterval(1);
    glewExperimental = GL_TRUE;
    glewInit();

    const GLuint vertex = Compile(GL_VERTEX_SHADER, version + Vertex);
    const GLuint pixel = Compile(GL_FRAGMENT_SHADER, text);
    int status = 1;
    if (vertex != 0 && pixel != 0) {
        const GLuint program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, pixel);
        glLinkProgram(program);
        GLuint vertexArray = 0;
        glGenVertexArrays(1, &vertexArray);
        glBindVertexArray(vertexArray);
        glUseProgram(program);
        // Samplers of different types may not share a unit: one each, nothing bound.
        GLint count = 0;
        glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
        for (GLint i = 0, unit = 0; i < count; ++i) {
            char name[256] = {};
            GLint size = 0;
            GLenum type = 0;
            glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
            if (type == GL_SAMPLER_1D || type == GL_SAMPLER_2D) {
                glUniform1i(glGetUniformLocation(program, name), unit++);
            }
        }
        const GLint time = glGetUniformLocation(program, "fGlobalTime");
        const GLint resolution = glGetUniformLocation(program, "v2Resolution");
        glViewport(0, 0, width, height);
        const Uint64 start = SDL_GetPerformanceCounter();
        bool quit = false;
        for (long frame = 0; frame < frames && !quit; ++frame) {
            SDL_Event event;
            while (SDL_PollEvent(&event) != 0) {
                quit = quit || event.type == SDL_QUIT;
            }
            const double seconds = static_cast<double>(SDL_GetPerformanceCounter() - start) /
                                   static_cast<double>(SDL_GetPerformanceFrequency());
            glUniform1f(time, static_cast<float>(seconds));
            glUniform2f(resolution, static_cast<float>(width), static_cast<float>(height));
            glDrawArrays(GL_TRIANGLES, 0, 3);
            SDL_GL_SwapWindow(window);
        }
        glDeleteVertexArrays(1, &vertexArray);
        glDeleteProgram(program);
        status = 0;
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
