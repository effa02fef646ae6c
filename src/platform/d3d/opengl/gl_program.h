#pragma once

// The shader program that stands in for the fixed-function pipeline the engine draws with:
// world, view and projection transforms, per-vertex lighting from up to kMaxLights lights
// and one material, and texture stage 0 with its colour operation and source colour key.

#include <epoxy/gl.h>

namespace platform {

inline constexpr int kMaxLights = 8;

// Where the program's uniforms are.
struct GLUniforms {
    GLint worldViewProjection = -1;
    GLint world = -1;
    GLint eye = -1;
    GLint lit = -1;
    GLint materialDiffuse = -1;
    GLint materialAmbient = -1;
    GLint materialSpecular = -1;
    GLint materialEmissive = -1;
    GLint materialPower = -1;
    GLint ambient = -1;
    GLint lightCount = -1;
    GLint lightColour = -1;
    GLint lightPosition = -1;
    GLint lightDirection = -1;
    GLint lightAttenuation = -1;
    GLint lightCone = -1;
    GLint colourOperation = -1;
    GLint colourArguments = -1;
    GLint colourKey = -1;
    GLint texture = -1;
};

// Compiles and links the program; 0 after a debug line naming `function` and what failed.
GLuint BuildFixedFunctionProgram(const char* function, GLUniforms* uniforms);

// Compiles and links a program from two sources; 0 after a debug line as above.
GLuint LinkProgram(const char* function, const char* vertexSource, const char* fragmentSource);

} // namespace platform
