#version 410 core
// The build's tunnel, in the showdown convention: a polar tunnel (angle and
// inverse radius), so it costs a few lookups a pixel. Bevelled metal panels
// lit from the camera, seams that glow with the smoothed spectrum of their
// column, rings that flash with the kick, and a hot core far away.
uniform float fGlobalTime;
uniform vec2 v2Resolution;
uniform sampler1D texFFTSmoothed;
uniform sampler2D texNoise;
uniform float travel = 0.0; // depth travelled, animated from the speed
uniform float kick = 0.0;
uniform float bass = 0.0;
uniform float flip = 0.0;   // 0 or 1: the accent colours change places on the claps
uniform float spin = 0.0;
uniform float flash = 0.0;
uniform float fade = 1.0;
uniform vec2 sway = vec2(0.0);
uniform vec3 hot = vec3(1.0, 0.45, 0.12);
uniform vec3 cold = vec3(0.1, 0.55, 1.0);
layout(location = 0) out vec4 out_color;

void main()
{
    vec2 p = (gl_FragCoord.xy - 0.5 * v2Resolution) / v2Resolution.y;
    float bend = fGlobalTime * 0.6;
    p -= sway * vec2(sin(bend), cos(bend * 0.8)) * 0.4;
    float r = max(length(p), 1e-3);
    float a = atan(p.y, p.x) / 6.2831 + spin;
    float depth = 0.32 / r;
    float z = depth + travel;

    vec3 accent = mix(hot, cold, flip);
    vec3 other = mix(cold, hot, flip);
    vec2 uv = vec2(a * 16.0, z * 1.6);
    vec2 id = floor(uv);
    vec2 cell = fract(uv) - 0.5;
    float edge = min(0.5 - abs(cell.x), 0.5 - abs(cell.y));
    float panel = texture(texNoise, (id + 0.5) / 256.0).r;
    float grit = texture(texNoise, uv * vec2(0.5, 0.25)).g;
    // Panels catch the light on their near bevel.
    float bevel = smoothstep(0.0, 0.07, edge);
    float rim = smoothstep(0.07, 0.02, edge) * step(0.0, -cell.y);
    vec3 metal = vec3(0.16, 0.2, 0.3) * (0.5 + 0.9 * panel) * (0.7 + 0.6 * grit);
    metal *= 1.0 + bass * 0.8 * smoothstep(0.55, 0.75, panel) * (0.5 + 0.5 * sin(id.y * 0.9 - fGlobalTime * 3.0));
    vec3 col = metal * bevel + rim * other * 0.35;

    // Seams glow with the spectrum of their column: low notes at the floor.
    float column = abs(fract((id.x + 0.5) / 16.0 + 0.25 - spin) - 0.5) * 2.0;
    float level = texture(texFFTSmoothed, 0.004 + column * column * 0.12).r;
    float seam = exp(-edge * 40.0);
    col += accent * seam * (0.12 + 8.0 * level);

    // A glowing ring every eight panels along the depth.
    float ring = exp(-abs(fract(z * 0.2) - 0.5) * 40.0);
    col += accent * ring * (0.4 + 2.5 * kick);

    float fog = exp(-depth * 0.12);
    col *= fog;
    col += mix(accent, vec3(1.0), 0.4) * (0.25 + 0.6 * kick) * exp(-r * 7.0);
    col += flash;
    out_color = vec4(col * fade, 1.0);
}
