// Glow blur (GLSL fragment shader, despite the file name): a soft two-ring Gaussian blur of "decal" for
// the 128 x 128 glow texture, with a gentle lift of the bright parts so the glow blooms. Run twice per frame.
#version 120

uniform sampler2D decal;

const float texel = 1.0 / 128.0;

vec3 Tap(vec2 uv, vec2 offset) { return texture2D(decal, uv + offset * texel).rgb; }

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    // Centre, an inner ring at 2 texels and an outer ring at 4.5 texels, weighted like a wide Gaussian.
    vec3 sum = Tap(uv, vec2(0.0)) * 0.16;
    vec3 inner = vec3(0.0);
    vec3 outer = vec3(0.0);
    for (int i = 0; i < 8; ++i) {
        float a = float(i) * 0.785398;
        vec2 d = vec2(cos(a), sin(a));
        inner += Tap(uv, d * 2.0);
        outer += Tap(uv, (d * 4.5) + vec2(-d.y, d.x) * 1.0);
    }
    sum += inner * (0.5 / 8.0) + outer * (0.34 / 8.0);
    // Bloom: the brighter a region, the more it spills; stays below 1.6x so the feedback cannot run away.
    float luma = dot(sum, vec3(0.299, 0.587, 0.114));
    vec3 glow = sum * (1.04 + 0.5 * smoothstep(0.25, 0.9, luma));
    gl_FragColor = vec4(min(glow, vec3(1.0)), 1.0);
}
