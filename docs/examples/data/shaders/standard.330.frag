#version 330 core

// The texture's colour, its alpha scaled by "Alpha". The colour attribute is
// not used as a tint: meshes without a colour buffer read GL's default
// (0, 0, 0, 1) at location 3, which would turn their pictures black.

uniform sampler2D Tex1;
uniform float Alpha;

in vec2 texCoord;

out vec4 fragColor;

void main()
{
    vec4 texel = texture(Tex1, texCoord);
    fragColor = vec4(texel.rgb, texel.a * Alpha);
}
