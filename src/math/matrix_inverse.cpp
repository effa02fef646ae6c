#include "math/float4.h"
#include "math/matrix.h"

#include "platform/os/debug_output.h"

#include <cmath>
#include <type_traits>
#include <utility>

// Inversion by LU decomposition with implicit partial pivoting (each pivot candidate is
// weighed relative to the largest element of its row), then forward and back substitution
// for every column of the identity.
//
// The decomposition eliminates with whole rows in vector lanes instead of column by column
// as Crout's method does. Every element still receives the same subtractions in the same
// order (k = 0, 1, ...), every multiplier is the same product with the pivot's reciprocal,
// and pivots, ties and row exchanges fall the same way, so the factors are bit-identical to
// Crout's. The four columns of the identity are solved side by side, each lane exactly as a
// single column would be. Loops run over compile-time indices so that the rows stay in
// registers.

namespace {

using lanes::Float4;
using lanes::Mask4;

constexpr int kOrder = 4;
constexpr float kTinyPivot = 1.0e-20f;

constexpr Mask4 kColumn[kOrder] = {{-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, -1}};
constexpr Mask4 kColumnsAfter[kOrder] = {
    {0, -1, -1, -1}, {0, 0, -1, -1}, {0, 0, 0, -1}, {0, 0, 0, 0}};

// Calls body(std::integral_constant<int, i>) for i = Begin .. End - 1.
template <int Begin, int End, typename Body> void ForEachIndex(Body&& body) {
    if constexpr (Begin < End) {
        body(std::integral_constant<int, Begin>{});
        ForEachIndex<Begin + 1, End>(body);
    }
}

struct LuFactors {
    // L below the diagonal (its unit diagonal implied), U on and above it.
    Float4 rows[kOrder];
    // The identity with the same row exchanges, exchanged along with the rows: the right-hand
    // sides of the solution, ready without rebuilding them from a permutation afterwards.
    Float4 identity[kOrder];
};

void Transpose(const Float4 (&rows)[kOrder], Float4 (&columns)[kOrder]) {
    const Float4 low01 = __builtin_shufflevector(rows[0], rows[1], 0, 4, 1, 5);
    const Float4 low23 = __builtin_shufflevector(rows[2], rows[3], 0, 4, 1, 5);
    const Float4 high01 = __builtin_shufflevector(rows[0], rows[1], 2, 6, 3, 7);
    const Float4 high23 = __builtin_shufflevector(rows[2], rows[3], 2, 6, 3, 7);
    columns[0] = __builtin_shufflevector(low01, low23, 0, 1, 4, 5);
    columns[1] = __builtin_shufflevector(low01, low23, 2, 3, 6, 7);
    columns[2] = __builtin_shufflevector(high01, high23, 0, 1, 4, 5);
    columns[3] = __builtin_shufflevector(high01, high23, 2, 3, 6, 7);
}

// The implicit scale of each row (lane i for row i), 1 / (largest magnitude in the row);
// false when a row is all zero. The columns are scanned in order, so an element that is not
// a number never becomes the largest, as in a scalar scan.
bool ComputeRowScales(const Float4 (&rows)[kOrder], Float4& scale) {
    Float4 columns[kOrder];
    Transpose(rows, columns);
    Float4 big = lanes::Splat(0.0f);
    ForEachIndex<0, kOrder>([&](auto j) {
        const Float4 magnitude = lanes::Abs(columns[j]);
        big = lanes::Select(magnitude > big, magnitude, big);
    });
    scale = lanes::Splat(1.0f) / big;
    return !lanes::AnySet(big == lanes::Splat(0.0f));
}

// The row at or below j with the greatest scaled magnitude in column j; later rows win ties.
template <int J> int ChoosePivotRow(const Float4 (&rows)[kOrder], Float4 scale) {
    float bestMerit = 0.0f;
    int pivotRow = J;
    ForEachIndex<J, kOrder>([&](auto i) {
        const float merit = lanes::Lane<i>(scale) * std::fabs(lanes::Lane<J>(rows[i]));
        if (merit >= bestMerit) {
            bestMerit = merit;
            pivotRow = i;
        }
    });
    return pivotRow;
}

template <int J> void ExchangeRows(LuFactors& lu, Float4& scale, int pivotRow) {
    ForEachIndex<J + 1, kOrder>([&](auto i) {
        if (pivotRow == i) {
            std::swap(lu.rows[i], lu.rows[J]);
            std::swap(lu.identity[i], lu.identity[J]);
            scale = lanes::Select(kColumn[i], lanes::Broadcast<J>(scale), scale);
        }
    });
}

// Turns column J below the pivot into multipliers and removes their share of the pivot row
// from the columns to the right. The reciprocal and the multipliers are computed in every
// lane (the same single operation four times over), so no result waits for a broadcast.
template <int J> void EliminateBelowPivot(Float4 (&rows)[kOrder]) {
    const Float4 inversePivot = lanes::Splat(1.0f) / lanes::Broadcast<J>(rows[J]);
    ForEachIndex<J + 1, kOrder>([&](auto i) {
        const Float4 multiplier = lanes::Broadcast<J>(rows[i]) * inversePivot;
        const Float4 reduced = rows[i] - multiplier * rows[J];
        rows[i] = lanes::Select(kColumnsAfter[J], reduced,
                                lanes::Select(kColumn[J], multiplier, rows[i]));
    });
}

template <int J> void DecomposeStep(LuFactors& lu, Float4& scale) {
    ExchangeRows<J>(lu, scale, ChoosePivotRow<J>(lu.rows, scale));
    if (lanes::Lane<J>(lu.rows[J]) == 0.0f) {
        lu.rows[J] = lanes::Select(kColumn[J], lanes::Splat(kTinyPivot), lu.rows[J]);
    }
    if constexpr (J != kOrder - 1) {
        EliminateBelowPivot<J>(lu.rows);
    }
}

LuFactors Decompose(const D3DMATRIX& m) {
    LuFactors lu{
        {lanes::Load(m.m[0]), lanes::Load(m.m[1]), lanes::Load(m.m[2]), lanes::Load(m.m[3])},
        {Float4{1, 0, 0, 0}, Float4{0, 1, 0, 0}, Float4{0, 0, 1, 0}, Float4{0, 0, 0, 1}}};
    Float4 scale;
    if (!ComputeRowScales(lu.rows, scale)) {
        // The decomposition stops here; the solution below runs on the matrix as it is.
        OutputDebugStringA("3DMatrix::ludcmp() singular matrix found!\n");
        return lu;
    }
    ForEachIndex<0, kOrder>([&](auto j) { DecomposeStep<j>(lu, scale); });
    return lu;
}

// Forward substitution, lane c holding column c of the exchanged identity. A column's
// leading zeros contribute no products: its subtractions begin at the row holding its 1.
// Before that row every value of the lane is +0, so a product masked to +0 subtracts nothing
// and leaves the lane's bits as skipping it would. The masks depend on the exchanged identity
// alone, which keeps them off the chain of subtractions.
void ForwardSubstitute(const Float4 (&rows)[kOrder], Float4 (&b)[kOrder]) {
    Mask4 started[kOrder];
    Mask4 anyOne = {0, 0, 0, 0};
    ForEachIndex<0, kOrder>([&](auto i) {
        anyOne |= b[i] != lanes::Splat(0.0f);
        started[i] = anyOne;
    });
    ForEachIndex<0, kOrder>([&](auto i) {
        Float4 sum = b[i];
        ForEachIndex<0, i>([&](auto k) {
            const Float4 factor =
                lanes::Select(started[k], lanes::Broadcast<k>(rows[i]), lanes::Splat(0.0f));
            sum -= factor * b[k];
        });
        b[i] = sum;
    });
}

void BackSubstitute(const Float4 (&rows)[kOrder], Float4 (&b)[kOrder]) {
    ForEachIndex<0, kOrder>([&](auto step) {
        constexpr int i = kOrder - 1 - step;
        Float4 sum = b[i];
        ForEachIndex<i + 1, kOrder>([&](auto k) { sum -= lanes::Broadcast<k>(rows[i]) * b[k]; });
        b[i] = sum / lanes::Broadcast<i>(rows[i]);
    });
}

} // namespace

D3DMATRIX MatrixInverse(const D3DMATRIX& m) {
    const LuFactors lu = Decompose(m);
    // Row r, lane c: element r of the solution for column c of the identity, starting from
    // the identity with the decomposition's row exchanges.
    Float4 b[kOrder] = {lu.identity[0], lu.identity[1], lu.identity[2], lu.identity[3]};
    ForwardSubstitute(lu.rows, b);
    BackSubstitute(lu.rows, b);
    D3DMATRIX inverse;
    ForEachIndex<0, kOrder>([&](auto r) { lanes::Store(inverse.m[r], b[r]); });
    return inverse;
}
