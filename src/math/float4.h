#pragma once

#include <cstring>

// Four floats worked on side by side (one vector register). Each lane performs exactly the
// single-precision operations scalar code would, so results are bit-identical; the vector
// form only lets a matrix row be handled at once. Internal to the maths code.
namespace lanes {

using Float4 = float __attribute__((vector_size(16)));
using Mask4 = int __attribute__((vector_size(16)));

inline Float4 Load(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store(float* p, Float4 v) {
    std::memcpy(p, &v, sizeof v);
}

// Lane K in every lane, and lane K alone (K a compile-time index, so these are register
// shuffles rather than trips through memory).
template <int K> Float4 Broadcast(Float4 v) {
    return __builtin_shufflevector(v, v, K, K, K, K);
}
template <int K> float Lane(Float4 v) {
    return Broadcast<K>(v)[0];
}

inline Float4 Splat(float s) {
    return Float4{s, s, s, s};
}

inline Float4 Abs(Float4 v) {
    constexpr Mask4 kAllButSign = {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF};
    return reinterpret_cast<Float4>(reinterpret_cast<Mask4>(v) & kAllButSign);
}

inline bool AnySet(Mask4 mask) {
    return (mask[0] | mask[1] | mask[2] | mask[3]) != 0;
}

// Lanes of `ifSet` where the mask is all ones, lanes of `ifClear` elsewhere.
inline Float4 Select(Mask4 mask, Float4 ifSet, Float4 ifClear) {
    return reinterpret_cast<Float4>((reinterpret_cast<Mask4>(ifSet) & mask) |
                                    (reinterpret_cast<Mask4>(ifClear) & ~mask));
}

} // namespace lanes
