// Buffer A of a Shadertoy-style pair: water heights, simulated one step a
// frame. iChannel0 is this buffer itself, as it was at the end of the frame
// before: red holds the height now, green the height a step earlier. The
// values are small and go below zero, so the buffer is a float one.
float Hash(float n)
{
    return fract(sin(n * 12.9898) * 43758.5453);
}

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 texel = 1.0 / iResolution.xy;
    vec2 uv = fragCoord * texel;
    vec2 here = texture(iChannel0, uv).rg;
    float around = texture(iChannel0, uv + vec2(texel.x, 0.0)).r + texture(iChannel0, uv - vec2(texel.x, 0.0)).r +
                   texture(iChannel0, uv + vec2(0.0, texel.y)).r + texture(iChannel0, uv - vec2(0.0, texel.y)).r;
    // The wave equation on a grid, with a little damping.
    float height = (around * 0.5 - here.g) * 0.993;

    // A drop every 0.3 s, at a place that follows from its number alone, so
    // a seek or a capture shows the same water.
    float drop = floor(iTime / 0.3);
    if (iFrame == 0 || drop != floor((iTime - iTimeDelta) / 0.3)) {
        vec2 at = vec2(0.15 + 0.7 * Hash(drop), 0.15 + 0.7 * Hash(drop + 0.5)) * iResolution.xy;
        float radius = 0.025 * iResolution.y;
        height += 1.5 * exp(-dot(fragCoord - at, fragCoord - at) / (radius * radius));
    }
    fragColor = vec4(height, here.r, 0.0, 1.0);
}
