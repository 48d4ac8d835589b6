// A plasma with a bright spot that leaves a fading trail, in Shadertoy's
// convention: iChannel0 is this part's own previous frame.
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec2 p = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
    float v = sin(p.x * 10.0 + iTime) + sin((p.y * 10.0 + iTime) * 0.5) + sin(length(p * 12.0) - iTime * 2.0);
    vec3 col = 0.3 * (0.5 + 0.5 * cos(v + vec3(0.0, 2.1, 4.2)));
    vec2 spot = 0.35 * vec2(cos(iTime * 1.3), sin(iTime * 1.7));
    col += smoothstep(0.08, 0.0, length(p - spot)) * vec3(1.0, 0.9, 0.6);
    vec3 trail = texture(iChannel0, uv).rgb * 0.96;
    fragColor = vec4(max(col, trail), 1.0);
}
