// Clamping a value into a range, as the scene's steps do it: lo when below, hi when above (lo wins when the
// range is empty), the value itself otherwise.
#pragma once

inline double Clamp(double v, double lo, double hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}
