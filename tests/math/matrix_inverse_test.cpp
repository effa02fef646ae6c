#include "math/matrix.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

constexpr const char* kSingularMessage = "3DMatrix::ludcmp() singular matrix found!\n";

// Crout's decomposition with implicit pivoting and the per-column substitution, written
// column by column from the description of the algorithm, as the yardstick the library's
// inverse must match bit for bit.
D3DMATRIX ReferenceInverse(const D3DMATRIX& m) {
    float a[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m(r, c);
        }
    }
    int index[4] = {0, 1, 2, 3};
    float vv[4];
    bool singular = false;
    for (int i = 0; i < 4 && !singular; ++i) {
        float big = 0.0f;
        for (int j = 0; j < 4; ++j) {
            if (std::fabs(a[i][j]) > big) {
                big = std::fabs(a[i][j]);
            }
        }
        singular = big == 0.0f;
        vv[i] = 1.0f / big;
    }
    for (int j = 0; j < 4 && !singular; ++j) {
        for (int i = 0; i < j; ++i) {
            float sum = a[i][j];
            for (int k = 0; k < i; ++k) {
                sum -= a[i][k] * a[k][j];
            }
            a[i][j] = sum;
        }
        float big = 0.0f;
        int imax = j;
        for (int i = j; i < 4; ++i) {
            float sum = a[i][j];
            for (int k = 0; k < j; ++k) {
                sum -= a[i][k] * a[k][j];
            }
            a[i][j] = sum;
            if (vv[i] * std::fabs(sum) >= big) {
                big = vv[i] * std::fabs(sum);
                imax = i;
            }
        }
        if (imax != j) {
            for (int k = 0; k < 4; ++k) {
                std::swap(a[imax][k], a[j][k]);
            }
            vv[imax] = vv[j];
        }
        index[j] = imax;
        if (a[j][j] == 0.0f) {
            a[j][j] = 1.0e-20f;
        }
        if (j != 3) {
            const float dum = 1.0f / a[j][j];
            for (int i = j + 1; i < 4; ++i) {
                a[i][j] *= dum;
            }
        }
    }
    D3DMATRIX inverse;
    for (int c = 0; c < 4; ++c) {
        float b[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        b[c] = 1.0f;
        int ii = -1;
        for (int i = 0; i < 4; ++i) {
            const int ip = index[i];
            float sum = b[ip];
            b[ip] = b[i];
            if (ii >= 0) {
                for (int k = ii; k < i; ++k) {
                    sum -= a[i][k] * b[k];
                }
            } else if (sum != 0.0f) {
                ii = i;
            }
            b[i] = sum;
        }
        for (int i = 3; i >= 0; --i) {
            float sum = b[i];
            for (int k = i + 1; k < 4; ++k) {
                sum -= a[i][k] * b[k];
            }
            b[i] = sum / a[i][i];
        }
        for (int r = 0; r < 4; ++r) {
            inverse(r, c) = b[r];
        }
    }
    return inverse;
}

void ExpectBitIdentical(const D3DMATRIX& actual, const D3DMATRIX& expected) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(std::bit_cast<std::uint32_t>(actual(r, c)),
                      std::bit_cast<std::uint32_t>(expected(r, c)))
                << "element (" << r << "," << c << "): " << actual(r, c) << " vs "
                << expected(r, c);
        }
    }
}

D3DMATRIX RandomMatrix(std::mt19937& engine, float diagonalBoost) {
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    D3DMATRIX m;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            m(r, c) = value(engine) + (r == c ? diagonalBoost : 0.0f);
        }
    }
    return m;
}

TEST(MatrixInverse, TimesTheMatrixGivesIdentityForWellConditionedMatrices) {
    std::mt19937 engine(1234);
    for (int trial = 0; trial < 200; ++trial) {
        const D3DMATRIX m = RandomMatrix(engine, 3.0f);
        const D3DMATRIX product = MatrixMult(MatrixInverse(m), m);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                ASSERT_NEAR(product(r, c), r == c ? 1.0f : 0.0f, 1e-5f) << "trial " << trial;
            }
        }
    }
}

TEST(MatrixInverse, MatchesCroutsAlgorithmBitForBit) {
    std::mt19937 engine(99);
    for (int trial = 0; trial < 300; ++trial) {
        // No diagonal boost: rows get exchanged in every pattern.
        const D3DMATRIX m = RandomMatrix(engine, 0.0f);
        SCOPED_TRACE(trial);
        ExpectBitIdentical(MatrixInverse(m), ReferenceInverse(m));
    }
}

TEST(MatrixInverse, SmallIntegerMatricesWithTiesAndZeroPivotsMatchCrout) {
    // Small integers give equal figures of merit (later rows win) and exact zero pivots.
    std::mt19937 engine(7);
    std::uniform_int_distribution<int> value(-2, 2);
    for (int trial = 0; trial < 500; ++trial) {
        D3DMATRIX m;
        for (int i = 0; i < 16; ++i) {
            m(i / 4, i % 4) = static_cast<float>(value(engine));
        }
        bool hasZeroRow = false;
        for (int r = 0; r < 4; ++r) {
            hasZeroRow |= m(r, 0) == 0 && m(r, 1) == 0 && m(r, 2) == 0 && m(r, 3) == 0;
        }
        if (hasZeroRow) {
            continue;
        }
        SCOPED_TRACE(trial);
        ExpectBitIdentical(MatrixInverse(m), ReferenceInverse(m));
    }
}

TEST(MatrixInverse, PermutationInvertsToItsTransposeAndAZeroPivotIsReplacedSilently) {
    D3DMATRIX p = ZeroMatrix();
    p(0, 2) = 1.0f, p(1, 0) = 1.0f, p(2, 3) = 1.0f, p(3, 1) = 1.0f;
    ExpectBitIdentical(MatrixInverse(p), MatrixTranspose(p));

    testkit::DebugCapture capture;
    D3DMATRIX m = IdentityMatrix();
    m(1, 1) = 1.0f, m(1, 0) = 1.0f, m(0, 1) = 1.0f; // rows 0 and 1 equal in columns 0 and 1
    ExpectBitIdentical(MatrixInverse(m), ReferenceInverse(m));
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(MatrixInverse, ZeroRowsReportASingularMatrixOnce) {
    testkit::DebugCapture capture;
    D3DMATRIX m = IdentityMatrix();
    m(2, 2) = 0.0f;
    m(3, 3) = 0.0f; // two zero rows: the decomposition stops at the first
    MatrixInverse(m);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], kSingularMessage);

    capture.Clear();
    const D3DMATRIX inverse = MatrixInverse(ZeroMatrix());
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], kSingularMessage);
    // The substitution still ran on the undecomposed matrix: division by its zero diagonal.
    EXPECT_FALSE(std::isfinite(inverse(0, 0)));
}

} // namespace
