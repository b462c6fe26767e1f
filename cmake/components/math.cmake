# math/: vectors, matrices and the runtime's random generator. Stands on nothing.
quarnel_library(quarnel_math
    SOURCES math/vec.cpp math/random.cpp)

quarnel_test(quarnel_math_tests
    SOURCES tests/math/vec_test.cpp
    LIBS quarnel_math
    LABELS unit)
