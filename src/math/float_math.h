#pragma once

#include <cmath>

// Elementary functions evaluated in double precision and rounded once to the float that
// stores the result. Internal to the maths code.
namespace float_math {

inline float Sqrt(double v) {
    return static_cast<float>(std::sqrt(v));
}
inline float Sin(double a) {
    return static_cast<float>(std::sin(a));
}
inline float Cos(double a) {
    return static_cast<float>(std::cos(a));
}
inline float Acos(double v) {
    return static_cast<float>(std::acos(v));
}
inline float Atan(double v) {
    return static_cast<float>(std::atan(v));
}

} // namespace float_math
