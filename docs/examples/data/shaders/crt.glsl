#version 410 core
// A post effect on what the parts below drew (texScreen="screen"): a wobble,
// split colours, scan lines and a vignette.
uniform float fGlobalTime;
uniform vec2 v2Resolution;
uniform sampler2D texScreen;
uniform float strength = 1.0;
layout(location = 0) out vec4 out_color;

void main()
{
    vec2 uv = gl_FragCoord.xy / v2Resolution;
    uv.x += strength * 0.004 * sin(uv.y * 40.0 + fGlobalTime * 6.0);
    float split = strength * 0.006;
    vec3 col = vec3(texture(texScreen, uv + vec2(split, 0.0)).r, texture(texScreen, uv).g,
                    texture(texScreen, uv - vec2(split, 0.0)).b);
    col *= 0.85 + 0.15 * sin(gl_FragCoord.y * 3.14159);
    vec2 edge = uv * (1.0 - uv);
    col *= pow(edge.x * edge.y * 16.0, 0.25);
    out_color = vec4(col, 1.0);
}
