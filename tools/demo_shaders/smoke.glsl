// The break's smoke: each frame takes the last one (iChannel0, previous),
// carries it along a swirling flow read from the noise (iChannel1) and fades
// it a little, then three glowing sources pour new colour in. Steps are
// scaled by the frame's length, so the smoke moves the same at any rate.
uniform float flow = 1.0;   // speed of the swirl: the pads
uniform float lead = 0.0;   // the lead's energy: the sources' heat
uniform float gain = 0.0;   // the riser: less fading, brighter sources
uniform float fade = 1.0;
uniform vec3 tint = vec3(0.9, 0.35, 0.6);

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec2 p = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
    float dt = clamp(iTimeDelta, 0.0, 0.1) * 60.0;
    float t = iTime;

    // A curl of two noise lookups: a flow without sinks, so nothing piles up.
    vec2 n = texture(iChannel1, uv * 0.7 + vec2(t * 0.01, 0.0)).rg - 0.5;
    vec2 m = texture(iChannel1, uv * 1.9 - vec2(0.0, t * 0.013)).gb - 0.5;
    vec2 swirl = vec2(n.y - m.x, m.y - n.x) + 0.35 * vec2(-p.y, p.x);
    vec2 from = uv - swirl * 0.007 * flow * dt * vec2(iResolution.y / iResolution.x, 1.0);
    from = (from - 0.5) * (1.0 - 0.0012 * dt) + 0.5; // drift outwards
    vec3 last = texture(iChannel0, from).rgb;
    // A small constant takes away what the product alone leaves as a faint
    // haze that never quite goes.
    vec3 col = max(last * pow(0.97 + 0.02 * gain, dt) - 0.0015 * dt, 0.0);

    for (int i = 0; i < 3; ++i) {
        float k = float(i);
        vec2 at = 0.45 * vec2(sin(t * (0.31 + 0.07 * k) + k * 2.1), cos(t * (0.23 + 0.05 * k) + k * 1.3));
        float heat = 0.0002 + 0.0009 * lead + 0.006 * gain;
        vec3 ink = 0.5 + 0.5 * cos(6.2831 * (k * 0.3 + t * 0.03 + vec3(0.0, 0.25, 0.5)));
        col += mix(ink, tint, 0.4) * heat * dt / (dot(p - at, p - at) + 0.0012);
    }
    fragColor = vec4(col, 1.0);
}
