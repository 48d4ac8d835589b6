// The end of the groove's and the drop's chain, onto the screen: the scene
// (iChannel0) with colours split towards the edges, its blurred highlights
// (iChannel1) added as bloom, a tone curve, a vignette and a flash. Its
// alpha crossfades it into the next scene.
uniform float aberration = 0.0;
uniform float bloom = 1.0;
uniform float vignette = 0.5;
uniform float flash = 0.0;
uniform float fade = 1.0;

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec2 d = uv - 0.5;
    vec2 split = d * (0.002 + 0.03 * aberration);
    vec3 col = vec3(texture(iChannel0, uv - split).r, texture(iChannel0, uv).g, texture(iChannel0, uv + split).b);
    col += bloom * texture(iChannel1, uv).rgb;
    col = 1.0 - exp(-col * 1.2);
    float edge = dot(d * vec2(1.0, 0.75), d * vec2(1.0, 0.75));
    col *= 1.0 - vignette * smoothstep(0.05, 0.45, edge) * 1.6;
    col += flash * vec3(1.0, 0.95, 0.9);
    fragColor = vec4(max(col, 0.0) * fade, 1.0);
}
