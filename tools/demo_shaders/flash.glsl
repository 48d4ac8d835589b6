// A flat colour, for flashes (additive) and fades (transcluent).
uniform vec3 colour = vec3(1.0);
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    fragColor = vec4(colour, 1.0);
}
