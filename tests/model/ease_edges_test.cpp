#include "model/model_frame.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// One ease-share combination at one u. Expected values follow from the curve's three pieces
// with the shares scaled to sum to 1 when they exceed it: k u^2 / a, k (2u - a) and
// 1 - k (1 - u)^2 / b, with k = 1 / (2 - a - b).
struct EaseCase {
    float easeFrom;
    float easeTo;
    float u;
    float expected;
};

constexpr float kThird = 1.0f / 3.0f;

const EaseCase kEaseCases[] = {
    // Neither share: the identity.
    {0.0f, 0.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.4f, 0.4f},
    {0.0f, 0.0f, 1.0f, 1.0f},
    // Ease-out only (k = 2/3).
    {0.0f, 0.5f, 0.0f, 0.0f},
    {0.0f, 0.5f, 0.25f, kThird},
    {0.0f, 0.5f, 0.75f, 1.0f - 2.0f * kThird * 0.0625f / 0.5f},
    {0.0f, 0.5f, 1.0f, 1.0f},
    // Ease-in only (k = 2/3): u = 1 reaches the ease-out piece with no share.
    {0.5f, 0.0f, 0.0f, 0.0f},
    {0.5f, 0.0f, 0.25f, 2.0f * kThird * 0.0625f / 0.5f},
    {0.5f, 0.0f, 0.75f, 2.0f * kThird},
    {0.5f, 0.0f, 1.0f, 1.0f},
    // Both shares (k = 2/3).
    {0.25f, 0.25f, 0.0f, 0.0f},
    {0.25f, 0.25f, 0.5f, 0.5f},
    {0.25f, 0.25f, 0.125f, 2.0f * kThird * 0.015625f / 0.25f},
    {0.25f, 0.25f, 1.0f, 1.0f},
    // Shares summing to 1.4 scale to 4/7 and 3/7 (k = 1).
    {0.8f, 0.6f, 0.0f, 0.0f},
    {0.8f, 0.6f, 0.5f, 0.25f * 7.0f / 4.0f},
    {0.8f, 0.6f, 0.75f, 1.0f - 0.0625f * 7.0f / 3.0f},
    {0.8f, 0.6f, 1.0f, 1.0f},
};

TEST(EaseEdgesTest, EveryShareCombinationMeetsItsEndsAndFollowsItsPieces) {
    for (const EaseCase& c : kEaseCases) {
        float eased = C3DModelFrame::Ease(c.u, c.easeFrom, c.easeTo);
        ASSERT_TRUE(std::isfinite(eased))
            << "shares " << c.easeFrom << "/" << c.easeTo << " at u = " << c.u;
        EXPECT_NEAR(eased, c.expected, 1e-6f)
            << "shares " << c.easeFrom << "/" << c.easeTo << " at u = " << c.u;
    }
}

} // namespace
