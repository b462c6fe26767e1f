// Sea enhancement for slow cards (GLSL fragment shader, despite the file name): the look of the full
// version with fewer samples: contrast ("alpha2"), colour ramp ("alpha3"), the detail layer "decal2"
// ("alpha") without refraction, and a four-tap glow ("alpha4"). 512 x 512 textures.
#version 120

uniform sampler2D decal;
uniform sampler2D decal2;
uniform float alpha;
uniform float alpha2;
uniform float alpha3;
uniform float alpha4;

const float texel = 1.0 / 512.0;
const vec3 kLuma = vec3(0.299, 0.587, 0.114);

vec3 SeaRamp(float l)
{
    vec3 deep = vec3(0.10, 0.04, 0.35);
    vec3 mid = vec3(0.05, 0.55, 0.95);
    vec3 high = vec3(1.0, 0.85, 0.5);
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
    vec3 detail = texture2D(decal2, uv).rgb;
    vec2 a = vec2(9.0, 3.0) * texel;
    vec2 b = vec2(-3.0, 9.0) * texel;
    vec3 glow = (texture2D(decal, uv + a).rgb + texture2D(decal, uv - a).rgb + texture2D(decal, uv + b).rgb +
                 texture2D(decal, uv - b).rgb) * 0.25;

    float l = dot(sea, kLuma);
    float k = max(alpha2, 0.0);
    float shaped = l * l * (1.0 + 0.25 * k);  // squaring stands in for the full version's power curve
    vec3 plain = sea * (l > 0.0 ? shaped / l : 0.0);
    vec3 colour = mix(plain, SeaRamp(clamp(shaped, 0.0, 1.0)) * shaped * 0.9, clamp(0.8 * alpha3, 0.0, 1.0));
    float mask = clamp(l * 1.8 - 0.1, 0.0, 1.0) * alpha;
    colour = colour * (1.0 - 0.45 * mask) + detail * (0.12 * alpha + 1.0 * mask);
    float lg = dot(glow, kLuma);
    colour += SeaRamp(clamp(lg * 1.5, 0.0, 1.0)) * lg * alpha4 * 0.3;
    gl_FragColor = vec4(SoftClip(colour), 1.0);
}
