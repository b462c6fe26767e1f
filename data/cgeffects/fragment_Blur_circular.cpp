// Circular (radial) blur (GLSL fragment shader, despite the file name): streaks "decal" towards the
// centre of the picture, the streaks growing longer towards the edges, like a zoom burst.
#version 120

uniform sampler2D decal;
uniform float alpha;  // strength; 0 leaves the picture as it is

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec2 toCentre = vec2(0.5) - uv;
    float strength = 0.12 * clamp(alpha == 0.0 ? 1.0 : alpha, 0.0, 4.0);
    vec3 sum = vec3(0.0);
    float weight = 0.0;
    for (int i = 0; i < 16; ++i) {
        float t = float(i) / 15.0;
        float w = 1.0 - 0.85 * t;
        sum += texture2D(decal, uv + toCentre * t * strength).rgb * w;
        weight += w;
    }
    gl_FragColor = vec4(sum / weight, 1.0);
}
