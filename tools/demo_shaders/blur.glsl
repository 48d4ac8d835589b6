// One direction of a Gaussian blur, nine taps at a quarter size: the bloom
// runs it across, then down. step is the direction in texels.
uniform vec2 step = vec2(1.0, 0.0);

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec2 texel = step / iChannelResolution[0].xy;
    const float weights[5] = float[](0.2270, 0.1945, 0.1216, 0.0541, 0.0162);
    vec3 sum = texture(iChannel0, uv).rgb * weights[0];
    for (int i = 1; i < 5; ++i) {
        sum += texture(iChannel0, uv + texel * float(i) * 1.5).rgb * weights[i];
        sum += texture(iChannel0, uv - texel * float(i) * 1.5).rgb * weights[i];
    }
    fragColor = vec4(sum, 1.0);
}
