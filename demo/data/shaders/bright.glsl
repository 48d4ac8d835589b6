// The bloom's first pass: what is brighter than the threshold, and only by
// how much, read from the half-size scene into a quarter-size buffer.
uniform float threshold = 0.35;

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec3 col = texture(iChannel0, fragCoord / iResolution.xy).rgb;
    fragColor = vec4(max(col - threshold, 0.0), 1.0);
}
