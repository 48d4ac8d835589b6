// One pass of measure_buffers.py's chain, in Shadertoy's convention: a loop
// of arithmetic run `iterations` times a pixel, over what the pass before
// drew (iChannel0; nothing for the first pass or the single one).
uniform float iterations = 10.0;

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec3 before = texture(iChannel0, uv).rgb;
    vec2 z = uv * 4.0 + vec2(iTime * 0.1, before.r);
    for (int i = 0; i < int(iterations); ++i) {
        z = vec2(sin(z.x * 1.3 + z.y), cos(z.y * 1.7 - z.x)) * 1.1;
    }
    fragColor = vec4(mix(before, vec3(0.5 + 0.5 * z, 0.5), 0.5), 1.0);
}
