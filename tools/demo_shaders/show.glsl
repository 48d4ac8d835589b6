// Shows a picture in the same place with a tone curve and a fade: the smoke
// and other float pictures kept above 1 get a soft shoulder.
uniform float fade = 1.0;
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec3 c = texture(iChannel0, fragCoord / iResolution.xy).rgb;
    fragColor = vec4((1.0 - exp(-c * 1.4)) * fade, 1.0);
}
