// Sine and cosine of our own, the same bits on every system. The game's steps (the sea's paths, the
// player's velocity) use them instead of the C library's, whose last bits differ between glibc, MinGW's
// runtime and a page's libc, so that one recording plays the same round everywhere. Within 1 ulp of the
// true value for |x| below 8e8; beyond it the argument is first brought below 2 pi by an exact remainder.
// Only additions, multiplications and exact operations, never fused (the library is built with
// -ffp-contract=off). Not a NaN in, not a NaN out; an infinity gives a NaN.
#pragma once

double PortableSin(double x);
double PortableCos(double x);
