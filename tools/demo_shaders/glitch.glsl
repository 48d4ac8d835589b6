// A post effect for the fills: bands of what is beneath (iChannel0, screen)
// slid sideways with split colours, changing every sixteenth of a beat.
uniform float amount = 0.0;
uniform float beat = 0.46875;

float hash(float n)
{
    return fract(sin(n * 91.345) * 47453.5453);
}

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    float tick = floor(iTime / (beat / 4.0));
    float band = floor(uv.y * (6.0 + 18.0 * hash(tick)));
    float shift = (hash(band + tick * 7.1) - 0.5) * 0.2 * amount * step(0.45, hash(band * 3.3 + tick));
    vec2 at = vec2(uv.x + shift, uv.y);
    float split = 0.012 * amount;
    vec3 col = vec3(texture(iChannel0, at + vec2(split, 0.0)).r, texture(iChannel0, at).g,
                    texture(iChannel0, at - vec2(split, 0.0)).b);
    // Whole blocks turned to their negative now and then.
    vec2 block = floor(uv * vec2(16.0, 9.0));
    float invert = step(1.0 - 0.12 * amount, hash(block.x + block.y * 17.0 + tick * 3.0));
    col = mix(col, 1.0 - col, invert);
    fragColor = vec4(col, 1.0);
}
