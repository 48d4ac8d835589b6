// A post effect for the risers: what is beneath (iChannel0, screen) smeared
// towards the centre and washed to white. Drawn at a fraction of the size:
// the blur hides it.
uniform float amount = 0.0; // blur length, 0..1
uniform float white = 0.0;  // 0..1 towards white
uniform float pull = 0.0;   // a zoom into the centre

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    vec2 c = vec2(0.5);
    uv = c + (uv - c) * (1.0 - 0.25 * pull);
    vec3 sum = vec3(0.0);
    float dither = fract(sin(dot(fragCoord, vec2(12.9898, 78.233))) * 43758.5453);
    for (int i = 0; i < 10; ++i) {
        float k = (float(i) + dither) / 10.0;
        sum += texture(iChannel0, c + (uv - c) * (1.0 - amount * 0.35 * k)).rgb;
    }
    vec3 col = sum / 10.0;
    col = mix(col, vec3(1.0), white * white);
    fragColor = vec4(col, 1.0);
}
