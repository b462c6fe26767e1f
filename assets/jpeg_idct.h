// Inverse DCT kernels of the JPEG decoder: the scaled 16-bit transform of the fast path (SSE2 on x86-64,
// a portable twin with the same results bit for bit elsewhere) and the accurate integer transform.
// Depends only on the standard library. Coefficients arrive in natural order, not yet dequantised.
#pragma once
#include <cstdint>

// Turns a quantisation table (natural order) into the fast transform's prescaled multipliers.
void JpegPrescaleQuant(const uint16_t natural[64], int16_t prescaled[64]);

// Fast path: one 8x8 block to 64 samples written as 8 rows of 8 bytes, stride bytes apart.
void JpegIdctFast(const int16_t* coefficients, const int16_t* prescaled, uint8_t* out, int stride);
// The portable version of JpegIdctFast, kept callable on every target so the two can be compared.
void JpegIdctFastPortable(const int16_t* coefficients, const int16_t* prescaled, uint8_t* out, int stride);
// A block whose only non-zero coefficient is the DC term; same result as JpegIdctFast.
void JpegIdctFastDcOnly(int16_t dc, int16_t prescaledDc, uint8_t* out, int stride);
bool JpegIdctFastUsesSse2();

// Plain path: the accurate integer transform, results as libjpeg's islow method gives them.
void JpegIdctPlain(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int stride);
void JpegIdctPlainDcOnly(int16_t dc, uint16_t quantDc, uint8_t* out, int stride);
