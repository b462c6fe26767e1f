// Sea enhancement (GLSL fragment shader, despite the file name): turns the additive blob picture "decal"
// into a deep, glowing sea: contrast ("alpha2"), a luminance colour ramp ("alpha3"), the detail layer
// "decal2" refracted through the blobs ("alpha") and a two-ring glow ("alpha4"). 512 x 512 textures.
#version 120

uniform sampler2D decal;
uniform sampler2D decal2;
uniform float alpha;   // detail amount, 1 in the show
uniform float alpha2;  // contrast, 2
uniform float alpha3;  // colour, 1
uniform float alpha4;  // glow, 3

const float texel = 1.0 / 512.0;
const vec3 kLuma = vec3(0.299, 0.587, 0.114);

float Luma(vec3 c) { return dot(c, kLuma); }

// Violet depths through sea blue to a warm gold crest: the colour of the sea by its brightness.
vec3 SeaRamp(float l)
{
    vec3 deep = vec3(0.10, 0.04, 0.35);
    vec3 mid = vec3(0.05, 0.55, 0.95);
    vec3 high = vec3(1.0, 0.72, 0.3);
    return l < 0.5 ? mix(deep, mid, l * 2.0) : mix(mid, high, (l - 0.5) * 2.0);
}

// Linear up to the knee, then rolls off towards 1, so bright colours keep their hue instead of clipping.
vec3 SoftClip(vec3 c)
{
    vec3 over = max(c - 0.6, 0.0);
    return min(c, 0.6) + 0.4 * (1.0 - exp(-over * 2.5));
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 sea = texture2D(decal, uv).rgb;
    float l = Luma(sea);

    // Glow: two rings around the pixel, the outer one wider and weaker.
    vec3 nearRing = vec3(0.0);
    vec3 farRing = vec3(0.0);
    for (int i = 0; i < 8; ++i) {
        float a = float(i) * 0.785398 + 0.39;
        vec2 d = vec2(cos(a), sin(a)) * texel;
        nearRing += texture2D(decal, uv + d * 6.0).rgb;
        farRing += texture2D(decal, uv + d * 16.0).rgb;
    }
    vec3 glow = nearRing * (0.6 / 8.0) + farRing * (0.4 / 8.0);

    // The detail layer seen through the blobs: the sea's brightness slope bends it like a lens.
    vec2 dx = vec2(texel * 3.0, 0.0);
    vec2 dy = vec2(0.0, texel * 3.0);
    vec2 slope = vec2(Luma(texture2D(decal, uv + dx).rgb) - Luma(texture2D(decal, uv - dx).rgb),
                      Luma(texture2D(decal, uv + dy).rgb) - Luma(texture2D(decal, uv - dy).rgb));
    vec3 detail = texture2D(decal2, uv + slope * 0.04).rgb;

    // Contrast on brightness: darks sink, brights lift.
    float k = max(alpha2, 0.0);
    float shaped = pow(clamp(l, 0.0, 1.0), 1.0 + 0.35 * k) * (0.7 + 0.1 * k);

    // Colour: the ramp paints the shaped brightness; alpha3 moves from the plain picture to fully painted.
    vec3 plain = sea * (l > 0.0 ? shaped / l : 0.0);
    vec3 colour = mix(plain, SeaRamp(clamp(shaped, 0.0, 1.0)) * shaped * 0.9, clamp(0.8 * alpha3, 0.0, 1.0));

    // The detail takes over part of the bright sea and shows faintly in the dark.
    float mask = smoothstep(0.05, 0.6, l) * alpha;
    colour = colour * (1.0 - 0.45 * mask) + detail * (0.12 * alpha + 1.0 * mask);

    // Glow in the ramp's colours, stronger around bright blobs.
    float lg = Luma(glow);
    colour += SeaRamp(clamp(lg * 1.5, 0.0, 1.0)) * lg * alpha4 * 0.18;

    gl_FragColor = vec4(SoftClip(colour), 1.0);
}
