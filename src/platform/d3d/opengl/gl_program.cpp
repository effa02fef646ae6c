#include "platform/d3d/opengl/gl_program.h"

#include "platform/d3d/opengl/gl_context.h"

#include <string>

namespace platform {
namespace {

// Lighting runs per vertex in world space, as the fixed-function pipeline does: emissive plus
// material ambient times the ambient light plus each active light's diffuse, and a specular
// term added after the texture stage. Light types are D3DLIGHTTYPE values.
constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aTexCoord;

const int kMaxLights = 8;
const int kPoint = 1;
const int kSpot = 2;
const int kDirectional = 3;

uniform mat4 uWorldViewProjection;
uniform mat4 uWorld;
uniform vec3 uEye;
uniform bool uLit;
uniform vec4 uMaterialDiffuse;
uniform vec4 uMaterialAmbient;
uniform vec4 uMaterialSpecular;
uniform vec4 uMaterialEmissive;
uniform float uMaterialPower;
uniform vec3 uAmbient;
uniform int uLightCount;
uniform vec4 uLightColour[kMaxLights];      // w: 1 when the light has a specular part
uniform vec4 uLightPosition[kMaxLights];    // w: type
uniform vec4 uLightDirection[kMaxLights];   // normalised; w: range
uniform vec4 uLightAttenuation[kMaxLights]; // constant, linear, quadratic, falloff
uniform vec2 uLightCone[kMaxLights];        // cosines of half theta and half phi

out vec4 vDiffuse;
out vec3 vSpecular;
out vec2 vTexCoord;

// How much of light i reaches the point, and from which direction.
float Reach(int i, vec3 point, out vec3 toLight) {
    int type = int(uLightPosition[i].w);
    if (type == kDirectional) {
        toLight = -uLightDirection[i].xyz;
        return 1.0;
    }
    vec3 offset = uLightPosition[i].xyz - point;
    float distance = length(offset);
    toLight = offset / max(distance, 1e-6);
    if (distance > uLightDirection[i].w) {
        return 0.0;
    }
    vec3 a = uLightAttenuation[i].xyz;
    float denominator = a.x + a.y * distance + a.z * distance * distance;
    float reach = denominator > 0.0 ? 1.0 / denominator : 1.0;
    if (type == kSpot) {
        float rho = dot(-toLight, uLightDirection[i].xyz);
        float inner = uLightCone[i].x;
        float outer = uLightCone[i].y;
        if (rho <= outer) {
            return 0.0;
        }
        if (rho < inner) {
            reach *= pow((rho - outer) / max(inner - outer, 1e-6), uLightAttenuation[i].w);
        }
    }
    return reach;
}

void main() {
    vec4 clip = uWorldViewProjection * vec4(aPosition, 1.0);
    // The target's rows run top down in memory, and depth runs from 0 to w.
    gl_Position = vec4(clip.x, -clip.y, 2.0 * clip.z - clip.w, clip.w);
    vTexCoord = aTexCoord;
    if (!uLit) {
        vDiffuse = vec4(1.0);
        vSpecular = vec3(0.0);
        return;
    }
    vec3 point = (uWorld * vec4(aPosition, 1.0)).xyz;
    vec3 normal = normalize(mat3(uWorld) * aNormal);
    vec3 toEye = normalize(uEye - point);
    vec3 diffuse = vec3(0.0);
    vec3 specular = vec3(0.0);
    for (int i = 0; i < uLightCount; ++i) {
        vec3 toLight;
        float reach = Reach(i, point, toLight);
        float lambert = max(dot(normal, toLight), 0.0);
        diffuse += reach * lambert * uLightColour[i].rgb;
        if (lambert > 0.0 && uLightColour[i].w > 0.0 && uMaterialPower > 0.0) {
            float highlight = max(dot(normal, normalize(toLight + toEye)), 0.0);
            specular += reach * pow(highlight, uMaterialPower) * uLightColour[i].rgb;
        }
    }
    vec3 lit = uMaterialEmissive.rgb + uMaterialAmbient.rgb * uAmbient +
               uMaterialDiffuse.rgb * diffuse;
    vDiffuse = clamp(vec4(lit, uMaterialDiffuse.a), 0.0, 1.0);
    vSpecular = clamp(uMaterialSpecular.rgb * specular, 0.0, 1.0);
}
)";

// Colour operations and arguments are D3DTOP and D3DTA values; operation 0 means no texture.
constexpr const char* kFragmentShader = R"(#version 330 core
const int kSelectArg1 = 2;
const int kSelectArg2 = 3;
const int kAdd = 7;
const int kTextureArgument = 2;

in vec4 vDiffuse;
in vec3 vSpecular;
in vec2 vTexCoord;

uniform sampler2D uTexture;
uniform int uColourOperation;
uniform ivec2 uColourArguments;
uniform bool uColourKey;

out vec4 fragColour;

vec4 Argument(int argument, vec4 texel) {
    return argument == kTextureArgument ? texel : vDiffuse;
}

void main() {
    vec4 colour = vDiffuse;
    if (uColourOperation != 0) {
        vec4 texel = texture(uTexture, vTexCoord);
        // Keyed texels are uploaded transparent; filtering blends them at the edges.
        if (uColourKey && texel.a < 0.5) {
            discard;
        }
        vec4 first = Argument(uColourArguments.x, texel);
        vec4 second = Argument(uColourArguments.y, texel);
        if (uColourOperation == kSelectArg1) {
            colour = first;
        } else if (uColourOperation == kSelectArg2) {
            colour = second;
        } else if (uColourOperation == kAdd) {
            colour = vec4(min(first.rgb + second.rgb, 1.0), first.a * second.a);
        } else {
            colour = first * second;
        }
    }
    fragColour = vec4(min(colour.rgb + vSpecular, 1.0), colour.a);
}
)";

std::string InfoLog(GLuint object, bool isProgram) {
    char text[512] = {};
    if (isProgram) {
        glGetProgramInfoLog(object, sizeof(text), nullptr, text);
    } else {
        glGetShaderInfoLog(object, sizeof(text), nullptr, text);
    }
    std::string log = text;
    std::size_t end = log.find('\n');
    return end == std::string::npos ? log : log.substr(0, end);
}

GLuint CompileShader(const char* function, GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE) {
        return shader;
    }
    std::string what = std::string(type == GL_VERTEX_SHADER ? "vertex" : "fragment") +
                       " shader compile (" + InfoLog(shader, false) + ")";
    LogGLFailure(function, what.c_str(), "GL", glGetError());
    glDeleteShader(shader);
    return 0;
}

} // namespace

GLuint LinkProgram(const char* function, const char* vertexSource, const char* fragmentSource) {
    GLuint vertex = CompileShader(function, GL_VERTEX_SHADER, vertexSource);
    GLuint fragment = vertex != 0 ? CompileShader(function, GL_FRAGMENT_SHADER, fragmentSource) : 0;
    if (fragment == 0) {
        glDeleteShader(vertex);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked == GL_TRUE) {
        return program;
    }
    std::string what = "program link (" + InfoLog(program, true) + ")";
    LogGLFailure(function, what.c_str(), "GL", glGetError());
    glDeleteProgram(program);
    return 0;
}

GLuint BuildFixedFunctionProgram(const char* function, GLUniforms* uniforms) {
    GLuint program = LinkProgram(function, kVertexShader, kFragmentShader);
    if (program == 0) {
        return 0;
    }
    auto at = [program](const char* name) { return glGetUniformLocation(program, name); };
    *uniforms = GLUniforms{.worldViewProjection = at("uWorldViewProjection"),
                           .world = at("uWorld"),
                           .eye = at("uEye"),
                           .lit = at("uLit"),
                           .materialDiffuse = at("uMaterialDiffuse"),
                           .materialAmbient = at("uMaterialAmbient"),
                           .materialSpecular = at("uMaterialSpecular"),
                           .materialEmissive = at("uMaterialEmissive"),
                           .materialPower = at("uMaterialPower"),
                           .ambient = at("uAmbient"),
                           .lightCount = at("uLightCount"),
                           .lightColour = at("uLightColour"),
                           .lightPosition = at("uLightPosition"),
                           .lightDirection = at("uLightDirection"),
                           .lightAttenuation = at("uLightAttenuation"),
                           .lightCone = at("uLightCone"),
                           .colourOperation = at("uColourOperation"),
                           .colourArguments = at("uColourArguments"),
                           .colourKey = at("uColourKey"),
                           .texture = at("uTexture")};
    return program;
}

} // namespace platform
