// The Image pass of the pair: the picture seen through the water whose
// heights Buffer A holds (iChannel0), bent by their slope and lit.
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec2 texel = 1.0 / iChannelResolution[0].xy;
    float left = texture(iChannel0, uv - vec2(texel.x, 0.0)).r;
    float right = texture(iChannel0, uv + vec2(texel.x, 0.0)).r;
    float down = texture(iChannel0, uv - vec2(0.0, texel.y)).r;
    float up = texture(iChannel0, uv + vec2(0.0, texel.y)).r;
    vec3 normal = normalize(vec3(left - right, down - up, 0.25));
    vec3 picture = texture(iChannel1, uv + normal.xy * 0.06).rgb;
    float light = pow(max(dot(normal, normalize(vec3(-0.4, 0.5, 1.0))), 0.0), 40.0);
    fragColor = vec4(picture * (0.8 + 0.2 * normal.z) + light * 0.6, 1.0);
}
