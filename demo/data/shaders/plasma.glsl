// The intro's and the outro's plasma: warped sines through a night palette,
// lit by the pads (brightness), grained by the hats, zoomed by the riser.
uniform float brightness = 0.6;
uniform float fade = 1.0;
uniform float zoom = 1.0;
uniform float grain = 0.0;
uniform float warm = 0.0;

vec3 palette(float t)
{
    vec3 night = 0.5 + 0.5 * cos(6.2831 * (t + vec3(0.55, 0.62, 0.72)));
    vec3 dusk = 0.5 + 0.5 * cos(6.2831 * (t + vec3(0.02, 0.12, 0.28)));
    return mix(night, dusk, warm);
}

float hash(vec2 p)
{
    return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453);
}

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 p = (fragCoord - 0.5 * iResolution.xy) / iResolution.y / zoom;
    float t = iTime * 0.35;
    vec2 q = p * 2.6;
    q += 0.5 * vec2(sin(q.y * 1.7 + t * 1.3), cos(q.x * 1.3 - t * 1.1));
    q += 0.25 * vec2(sin(q.y * 3.1 - t * 0.7), cos(q.x * 2.9 + t * 0.9));
    float v = sin(q.x * 1.3 + t) + sin(q.y * 1.7 - t * 0.8) + sin((q.x + q.y) * 0.9 + t * 1.2) +
              sin(length(q - vec2(0.6 * sin(t), 0.4 * cos(t * 0.7))) * 2.4 - t * 2.0);
    v *= 0.25;
    // Bright ridges where the field crosses its middle: the plasma's veins.
    float veins = pow(1.0 - abs(sin(v * 6.2831)), 6.0);
    vec3 col = palette(v * 0.5 + t * 0.05) * (0.18 + 0.25 * v * v);
    col += veins * palette(v * 0.5 + 0.3) * 0.45;
    col *= brightness * (1.0 - 0.55 * dot(p, p));
    col += grain * (hash(fragCoord + fract(iTime) * 91.0) - 0.5) * 0.12;
    fragColor = vec4(max(col, 0.0) * fade, 1.0);
}
