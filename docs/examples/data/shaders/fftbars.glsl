#version 410 core
// The music's spectrum as 64 bars, from 21 Hz at the left to 11 kHz at the
// right, each as high as its band's average level in decibels
// (texFFTSmoothed), with the level of this very moment (texFFT) as a bright
// line over it.
uniform vec2 v2Resolution;
uniform sampler1D texFFT;
uniform sampler1D texFFTSmoothed;
uniform vec3 tint;
layout(location = 0) out vec4 out_color;

// -60 dB at the foot, 0 dB (a full-scale sine) at the top.
float Height(float level)
{
    return clamp(1.0 + log2(max(level, 1e-6)) * 6.0206 / 60.0, 0.0, 1.0);
}

void main()
{
    vec2 uv = gl_FragCoord.xy / v2Resolution;
    float column = floor(uv.x * 64.0) / 64.0;
    // Bins 1 to 512, evenly in pitch.
    int bin = int(exp2(column * 9.0));
    float average = Height(texelFetch(texFFTSmoothed, bin, 0).r);
    float now = Height(texelFetch(texFFT, bin, 0).r);
    float gap = step(0.15, fract(uv.x * 64.0));
    float bar = step(uv.y, average) * gap * (0.35 + 0.65 * uv.y);
    float line = gap * (1.0 - smoothstep(0.0, 0.012, abs(uv.y - now)));
    out_color = vec4(tint * max(bar, line), 1.0);
}
