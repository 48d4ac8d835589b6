#version 430 core
// Compute images in the showdown convention: every pixel throws one point
// of a turning torus knot into computeTex, and shows how many points landed
// on it last frame, read back from computeTexBack.
uniform float fGlobalTime;
uniform vec2 v2Resolution;
layout(r32ui) uniform coherent uimage2D[3] computeTex;
layout(r32ui) uniform coherent uimage2D[3] computeTexBack;
layout(location = 0) out vec4 out_color;

mat2 rot(float a)
{
    float c = cos(a), s = sin(a);
    return mat2(c, -s, s, c);
}

void main()
{
    vec2 id = gl_FragCoord.xy / v2Resolution;
    float t = id.x * 6.2831;
    float s = id.y * 6.2831;
    // A (2, 3) torus knot with a thin tube around it.
    vec3 centre = vec3((2.0 + cos(3.0 * t)) * cos(2.0 * t), (2.0 + cos(3.0 * t)) * sin(2.0 * t), sin(3.0 * t));
    vec3 p = centre + 0.25 * vec3(cos(s) * cos(t), cos(s) * sin(t), sin(s));
    p.xz *= rot(fGlobalTime * 0.7);
    p.yz *= rot(fGlobalTime * 0.4);
    vec2 q = p.xy / (p.z + 7.0) * 2.2;
    ivec2 pixel = ivec2(q * v2Resolution.y * 0.5 + v2Resolution * 0.5);
    imageAtomicAdd(computeTex[0], pixel, 1u);

    float density = float(imageLoad(computeTexBack[0], ivec2(gl_FragCoord.xy)).r);
    vec3 col = 1.0 - exp(-density * vec3(0.05, 0.12, 0.3));
    out_color = vec4(col, 1.0);
}
