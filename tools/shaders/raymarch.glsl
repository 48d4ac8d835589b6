#version 410 core
// A heavy raymarcher for measuring: a field of twisted boxes and spheres with
// soft shadows and ambient occlusion, written as a live coder would, reading
// only fGlobalTime and v2Resolution so a bare program can run it as it is.
uniform float fGlobalTime;
uniform vec2 v2Resolution;
layout(location = 0) out vec4 out_color;

mat2 rot(float a)
{
    float c = cos(a), s = sin(a);
    return mat2(c, -s, s, c);
}

float box(vec3 p, vec3 b)
{
    vec3 q = abs(p) - b;
    return length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0);
}

float map(vec3 p)
{
    float floorPlane = p.y + 1.0;
    vec3 q = p;
    q.xz = mod(q.xz + 2.0, 4.0) - 2.0;
    q.xz *= rot(q.y * 0.8 + fGlobalTime);
    float boxes = box(q, vec3(0.45, 1.2, 0.45)) - 0.05;
    float spheres = length(vec3(q.x, q.y - 1.6 - 0.3 * sin(fGlobalTime * 2.0 + p.x), q.z)) - 0.5;
    return min(floorPlane, min(boxes, spheres));
}

vec3 normalAt(vec3 p)
{
    const vec2 e = vec2(0.001, 0.0);
    return normalize(vec3(map(p + e.xyy) - map(p - e.xyy), map(p + e.yxy) - map(p - e.yxy),
                          map(p + e.yyx) - map(p - e.yyx)));
}

float shadow(vec3 ro, vec3 rd)
{
    float k = 1.0;
    float t = 0.05;
    for (int i = 0; i < 48; ++i) {
        float d = map(ro + rd * t);
        k = min(k, 8.0 * d / t);
        t += clamp(d, 0.02, 0.5);
        if (d < 0.001 || t > 20.0) {
            break;
        }
    }
    return clamp(k, 0.0, 1.0);
}

float occlusion(vec3 p, vec3 n)
{
    float o = 0.0;
    for (int i = 1; i <= 5; ++i) {
        float h = 0.06 * float(i);
        o += h - map(p + n * h);
    }
    return clamp(1.0 - 3.0 * o, 0.0, 1.0);
}

void main()
{
    vec2 uv = (gl_FragCoord.xy - 0.5 * v2Resolution) / v2Resolution.y;
    vec3 ro = vec3(3.0 * sin(fGlobalTime * 0.3), 1.5, fGlobalTime);
    vec3 rd = normalize(vec3(uv, 1.2));
    rd.yz *= rot(0.25);
    float t = 0.0;
    for (int i = 0; i < 128; ++i) {
        float d = map(ro + rd * t);
        if (d < 0.0005 || t > 40.0) {
            break;
        }
        t += d;
    }
    vec3 col = vec3(0.6, 0.7, 0.9) - rd.y * 0.3;
    if (t < 40.0) {
        vec3 p = ro + rd * t;
        vec3 n = normalAt(p);
        vec3 light = normalize(vec3(0.6, 0.8, -0.4));
        float diffuse = max(dot(n, light), 0.0) * shadow(p + n * 0.002, light);
        vec3 albedo = p.y < -0.99 ? vec3(0.5 + 0.5 * mod(floor(p.x) + floor(p.z), 2.0)) : vec3(0.9, 0.5, 0.3);
        col = albedo * (0.15 * occlusion(p, n) + diffuse);
        col = mix(col, vec3(0.6, 0.7, 0.9), 1.0 - exp(-0.002 * t * t));
    }
    out_color = vec4(pow(col, vec3(0.4545)), 1.0);
}
