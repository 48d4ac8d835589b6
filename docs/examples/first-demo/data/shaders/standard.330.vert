#version 330 core

// Attribute locations as the meshes feed them.
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec2 inTexCoord;
layout(location = 2) in vec3 inNormal;
layout(location = 3) in vec3 inColor;

uniform mat4 MVP;

out vec2 texCoord;

void main()
{
    texCoord = inTexCoord;
    gl_Position = MVP * vec4(inPosition, 1.0);
}
