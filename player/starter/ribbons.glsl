// Ribbons of light that swing with the music, in Shadertoy's convention.
// beat counts the beats from the part's start: the settings file animates it
// on its tempo, so every beat flashes the ribbons and sends out a ring, and
// every bar moves their colours on. A few sines a pixel: cheap anywhere.
uniform float beat;
uniform float ribbons = 5.0; // how many, up to 8
uniform vec3 tint = vec3(1.0, 1.0, 1.0);

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 p = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
    float bar = floor(beat / 4.0);
    float kick = exp(-4.0 * fract(beat));
    vec3 col = vec3(0.0);
    for (int i = 0; i < 8; ++i) {
        float fi = float(i);
        if (fi >= ribbons) {
            break;
        }
        float y = 0.25 * sin(p.x * (1.5 + 0.4 * fi) + iTime * (0.5 + 0.13 * fi) + 1.7 * fi) +
                  0.08 * sin(p.x * 4.0 - iTime * 0.9 + fi) + 0.07 * (fi - 0.5 * (ribbons - 1.0));
        float glow = (0.0025 + 0.004 * kick) / (abs(p.y - y) + 0.004);
        col += glow * (0.55 + 0.45 * cos(6.2831 * (0.11 * fi + 0.125 * bar + vec3(0.0, 0.33, 0.67))));
    }
    float ring = length(p) - 0.15 - 0.9 * fract(beat);
    col += 0.5 * kick * exp(-ring * ring * 900.0) * vec3(1.0, 0.85, 0.7);
    col = 1.0 - exp(-col * tint);
    fragColor = vec4(col, 1.0);
}
