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

float map(vec3 p)
{
    p.xy *= rot(p.z * 0.15);
    float tunnel = 1.6 - length(p.xy) + 0.15 * sin(atan(p.y, p.x) * 6.0);
    vec3 q = p;
    q.z = mod(q.z, 3.0) - 1.5;
    float ring = length(vec2(length(q.xy) - 1.45, q.z)) - 0.08;
    return min(tunnel, ring);
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
        float d = map(ro + rd * t);
        glow += 0.02 / (0.05 + abs(d));
        if (d < 0.001 || t > 40.0) {
            break;
        }
        t += d * 0.8;
    }
    vec3 p = ro + rd * t;
    float n = texture(texNoise, vec2(atan(p.y, p.x) / 6.2831, p.z * 0.05)).r;
    vec3 col = tint * (0.25 + n) * exp(-0.06 * t);
    col += glow * 0.012 * tint.bgr * (1.0 + texture(texFFT, 0.05).r);
    out_color = vec4(pow(col, vec3(0.4545)), 1.0);
}
