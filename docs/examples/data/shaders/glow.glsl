// The chain's end: the scene with its blurred highlights added, brought
// back into 0..1 by a tone curve.
uniform float strength = 1.5;

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec3 col = texture(iChannel0, uv).rgb + strength * texture(iChannel1, uv).rgb;
    fragColor = vec4(1.0 - exp(-col), 1.0);
}
