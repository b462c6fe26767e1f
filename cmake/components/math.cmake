# math/: vectors, matrices and the runtime's random generator. Stands on nothing.
quarnel_library(quarnel_math
    SOURCES math/vec.cpp math/random.cpp math/portable_trig.cpp)
# The game's arithmetic gives the same bits on every system only when no multiplication and addition are
# fused into one rounding (a compiler may otherwise do so where the processor can), and when a square root
# is always the processor's own, correctly rounded (never the C library's: MinGW's differs in the last bit).
target_compile_options(quarnel_math PRIVATE -ffp-contract=off -fno-math-errno)

quarnel_test(quarnel_math_tests
    SOURCES tests/math/vec_test.cpp tests/math/portable_trig_test.cpp
    LIBS quarnel_math
    LABELS unit)
