#version 410 core
// A raymarched tunnel in the showdown convention: the engine sets the
// uniforms it knows by name, the parameters set speed and tint.
uniform float fGlobalTime; // the shader's time, in seconds
uniform vec2 v2Resolution; // the pixels drawn
uniform sampler1D texFFT;  // the soundtrack's spectrum
uniform sampler2D texNoise;
uniform float speed = 1.0;
uniform vec3 tint = vec3(1.0, 0.6, 0.3);
layout(location = 0) out vec4 out_color;

mat2 rot(float a)
{
    float c = cos(a), s = sin(a);
    return mat2(c, -s, s, c);
}

// The wall and the rings, apart, so the rings can glow.
vec2 map(vec3 p)
{
    p.xy *= rot(p.z * 0.15);
    float wall = 1.6 - length(p.xy) + 0.15 * sin(atan(p.y, p.x) * 6.0);
    vec3 q = p;
    q.z = mod(q.z, 3.0) - 1.5;
    float ring = length(vec2(length(q.xy) - 1.3, q.z)) - 0.06;
    return vec2(wall, ring);
}

vec3 normalAt(vec3 p)
{
    const vec2 e = vec2(0.002, 0.0);
    float d = min(map(p).x, map(p).y);
    return normalize(vec3(min(map(p + e.xyy).x, map(p + e.xyy).y), min(map(p + e.yxy).x, map(p + e.yxy).y),
                          min(map(p + e.yyx).x, map(p + e.yyx).y)) - d);
}

void main()
{
    vec2 uv = (gl_FragCoord.xy - 0.5 * v2Resolution) / v2Resolution.y;
    vec3 ro = vec3(0.0, 0.0, fGlobalTime * speed * 2.0);
    vec3 rd = normalize(vec3(uv, 1.0));
    rd.xy *= rot(fGlobalTime * 0.2);
    float t = 0.0;
    float glow = 0.0;
    for (int i = 0; i < 90; ++i) {
        vec2 d = map(ro + rd * t);
        glow += 0.004 / (0.01 + d.y * d.y * 20.0);
        float step = min(d.x, d.y);
        if (step < 0.001 || t > 40.0) {
            break;
        }
        t += step * 0.8;
    }
    vec3 p = ro + rd * t;
    float light = max(dot(normalAt(p), -rd), 0.0);
    float n = texture(texNoise, vec2(atan(p.y, p.x) / 6.2831, p.z * 0.05)).r;
    vec3 col = tint * (0.2 + 0.8 * n) * light * exp(-0.1 * t);
    col += glow * 0.05 * tint.bgr * (1.0 + texture(texFFT, 0.05).r);
    out_color = vec4(pow(col, vec3(0.4545)), 1.0);
}
