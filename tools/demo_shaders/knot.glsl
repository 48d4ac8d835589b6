// The groove's and the drop's object: a (2,3) torus knot of brushed metal,
// raymarched inside its bounding sphere only, so the pixels around it cost
// almost nothing. iChannel0 is the music texture: its spectrum lights the
// glints behind the knot and, in the drop, a ring of bars around it;
// iChannel1 is the glint's picture.
uniform float kick = 0.0;    // swells the knot
uniform float roll = 0.0;    // turns the tube about its own core
uniform float spin = 0.0;    // turns the whole knot
uniform float view = 0.0;    // camera angle, switched on the cuts
uniform float fade = 1.0;
uniform float backdrop = 1.0; // 0: only the knot and its ring, on transparent black
uniform float ring = 0.0;
uniform vec3 tint = vec3(1.0, 0.55, 0.25);
uniform float distance = 7.0;
uniform vec2 offset = vec2(0.0); // moves the knot on screen
uniform float exposure = 1.0;

const float Major = 1.0;
const float Minor = 0.42;
const float Tube = 0.17;

mat2 rot(float a)
{
    float c = cos(a), s = sin(a);
    return mat2(c, -s, s, c);
}

float knot(vec3 p)
{
    float a = atan(p.z, p.x);
    vec2 q = vec2(length(p.xz) - Major, p.y);
    float m = 1.5 * a + roll;
    vec2 c = Minor * vec2(cos(m), sin(m));
    return (min(length(q - c), length(q + c)) - Tube) * 0.6;
}

vec3 sky(vec3 d)
{
    // Two strip lights and a warm floor glow: what the metal reflects.
    vec3 col = mix(vec3(0.02, 0.02, 0.06), vec3(0.1, 0.12, 0.3), d.y * 0.5 + 0.5);
    col += vec3(1.0, 0.9, 0.8) * smoothstep(0.93, 0.99, abs(d.x * 0.8 + d.y * 0.6)) * 2.5;
    col += tint * smoothstep(0.6, 1.0, -d.y) * 1.5;
    col += vec3(0.3, 0.6, 1.0) * pow(max(d.z, 0.0), 8.0);
    return col;
}

vec3 normalAt(vec3 p)
{
    const vec2 e = vec2(1.0, -1.0) * 0.002;
    return normalize(e.xyy * knot(p + e.xyy) + e.yyx * knot(p + e.yyx) + e.yxy * knot(p + e.yxy) +
                     e.xxx * knot(p + e.xxx));
}

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = (fragCoord - 0.5 * iResolution.xy) / iResolution.y - offset;
    float scale = 1.0 + 0.12 * kick;
    vec3 ro = vec3(0.0, 0.0, -distance);
    vec3 rd = normalize(vec3(uv, 1.6));
    mat2 yaw = rot(view * 1.7 + spin * 0.3);
    mat2 pitch = rot(0.5 + 0.35 * sin(view * 2.3) + spin * 0.2);
    ro.yz *= pitch;
    rd.yz *= pitch;
    ro.xz *= yaw;
    rd.xz *= yaw;
    ro /= scale;

    vec3 col = vec3(0.0);
    float alpha = 0.0;
    // Behind the knot: glints (iChannel1) that light up with the spectrum. A
    // uniform's branch: the drop, without a backdrop, does not pay for them.
    if (backdrop > 0.0) {
        vec2 grid = uv * 7.0 + vec2(0.0, spin * 0.2);
        vec2 cell = floor(grid);
        float seed = fract(sin(dot(cell, vec2(41.3, 289.1))) * 43758.5);
        float level = texture(iChannel0, vec2(0.05 + 0.5 * seed, 0.25)).r;
        vec2 inCell = fract(grid) - 0.5 + 0.25 * vec2(sin(seed * 40.0), cos(seed * 70.0));
        vec4 glint = texture(iChannel1, clamp(inCell * (1.2 + seed) + 0.5, 0.0, 1.0));
        col += backdrop * glint.rgb * glint.a * level * level * 2.0 * step(0.6, seed);
        col += backdrop * vec3(0.03, 0.02, 0.08) * (1.0 - length(uv));
    }

    // Only inside the bounding sphere.
    float bound = Major + Minor + Tube + 0.05;
    float b = dot(ro, rd);
    float h = b * b - dot(ro, ro) + bound * bound;
    if (h > 0.0) {
        float t = max(-b - sqrt(h), 0.0);
        float tEnd = -b + sqrt(h);
        float d = 1.0;
        for (int i = 0; i < 36; ++i) {
            d = knot(ro + rd * t);
            if (d < 0.001 || t > tEnd) {
                break;
            }
            t += d;
        }
        if (d < 0.01) {
            vec3 p = ro + rd * t;
            vec3 n = normalAt(p);
            vec3 r = reflect(rd, n);
            float fresnel = pow(1.0 - max(dot(-rd, n), 0.0), 4.0);
            // Brushed: the reflection streaks along the tube.
            vec3 metal = sky(r) * mix(tint, vec3(1.0), 0.35) * (0.55 + 0.45 * fresnel);
            metal += tint * 0.08 * max(n.y, 0.0);
            // At the silhouette the few pixels of a small picture catch the floor's glow
            // one by one, a dotted rim: dim the grazing edge instead.
            metal *= 0.25 + 0.75 * smoothstep(0.0, 0.35, dot(-rd, n));
            col = metal * exposure;
            alpha = 1.0;
        }
    }

    // The drop's ring of spectrum bars around the knot.
    float r = length(uv);
    if (ring > 0.0 && r > 0.42 && r < 0.6) {
        float a = atan(uv.y, uv.x) / 6.2831 + 0.5;
        float slot = floor(a * 64.0);
        float bin = abs(slot - 32.0) / 32.0;
        float bar = texture(iChannel0, vec2(0.02 + bin * 0.5, 0.25)).r;
        float inner = 0.42;
        float on = step(inner, r) * step(r, inner + 0.02 + 0.16 * bar * ring);
        on *= smoothstep(0.5, 0.35, abs(fract(a * 64.0) - 0.5));
        vec3 barColour = mix(tint, vec3(0.3, 0.7, 1.0), bin) * 1.2;
        col = mix(col, barColour, on * (1.0 - alpha * 0.7));
        alpha = max(alpha, on);
    }
    float keep = max(alpha, backdrop);
    fragColor = vec4(col * fade, keep * fade);
}
