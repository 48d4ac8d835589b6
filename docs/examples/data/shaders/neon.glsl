// The scene of the bloom chain: neon rings, brighter than white where they
// are hottest. The buffer holds 16-bit floats, so nothing is cut off at 1.
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 p = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
    vec3 col = vec3(0.02, 0.02, 0.05);
    for (int i = 0; i < 3; ++i) {
        float f = float(i);
        vec2 centre = 0.3 * vec2(cos(iTime * (0.7 + 0.2 * f) + f * 2.1), sin(iTime * (0.9 - 0.1 * f) + f));
        float ring = abs(length(p - centre) - 0.12 - 0.03 * f);
        vec3 hue = 0.5 + 0.5 * cos(6.2831 * (f / 3.0 + vec3(0.0, 0.33, 0.67)));
        col += hue * 0.008 / max(ring, 0.001);
    }
    fragColor = vec4(col, 1.0);
}
