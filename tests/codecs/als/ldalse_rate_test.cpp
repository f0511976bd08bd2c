#include "ldalse_rate.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

// An encode step whose coded size per shift is scripted. With the abort rule on, a frame that
// does not fit is abandoned and reports its size as the recorded bits.
struct scripted {
    explicit scripted(std::function<uint32_t(int32_t)> sizes) : size_at(std::move(sizes)) {}
    std::function<uint32_t(int32_t)> size_at;
    bool honour_abort = true;
    int32_t fail_set_shift = 0;
    std::vector<int32_t> shifts;
    int preprocessed = 0;
    int32_t shift = 0;

    static int32_t set_shift(void* c, int32_t shift)
    {
        auto* s = static_cast<scripted*>(c);
        s->shift = shift;
        return s->fail_set_shift;
    }
    static int32_t preprocess(void* c)
    {
        ++static_cast<scripted*>(c)->preprocessed;
        return 0;
    }
    static int32_t encode(void* c, int32_t target, int32_t abort, uint32_t* size, int64_t* recorded)
    {
        auto* s = static_cast<scripted*>(c);
        s->shifts.push_back(s->shift);
        const uint32_t bytes = s->size_at(s->shift);
        if (abort && s->honour_abort && int32_t(bytes) > target) {
            *recorded = int64_t{8} * bytes;
            return -403;
        }
        *size = bytes;
        return 0;
    }
    int32_t run(int32_t target, int32_t max_attempts, int32_t* out = nullptr)
    {
        const LDALSE_RATE_STEP step = {this, set_shift, preprocess, encode};
        return LDALSE_RateControl(&step, target, 128, 2, 16, max_attempts, out);
    }
};

// 128 samples x 2 channels: N = 256; 267 bytes = 2136 bits; highest usable shift 17 - 8 = 9.
constexpr int32_t kTarget = 267;

TEST(RateControl, FrameThatFitsIsCodedOnceLosslessly)
{
    scripted s{[](int32_t) { return 200u; }};
    int32_t out[3] = {-1, -1, -1};
    EXPECT_EQ(s.run(kTarget, 4, out), 0);
    EXPECT_EQ(s.shifts, std::vector<int32_t>{0});
    EXPECT_EQ(out[0], 200);
    EXPECT_EQ(out[1], 200);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(s.preprocessed, 0);
}

TEST(RateControl, ShiftSequences)
{
    struct c {
        const char* what;
        std::function<uint32_t(int32_t)> size_at;
        bool honour_abort;
        int32_t max_attempts;
        int32_t result;
        std::vector<int32_t> shifts;
        int preprocessed;
    };
    const c cases[] = {
        // Abandoned at shift 0 with 600 bits too many: ceil(600 / 256) = 3.
        {"abandon goes to ceil(overshoot/N)", [](int32_t s) { return s == 0 ? 342u : 260u; }, true, 4, 0, {0, 3}, 0},
        // 1000 bits over at 0 -> 4; 800 over at 4 extrapolates far beyond 4, capped at 9.
        {"shrinking overshoot extrapolates", [](int32_t s) { return s == 0 ? 392u : s == 4 ? 367u : 250u; }, true,
         4, 0, {0, 4, 9}, 1},
        // 1000 over -> 4; 1200 over at 4 does not shrink: one more.
        {"growing overshoot steps by one", [](int32_t s) { return s == 0 ? 392u : s == 4 ? 417u : 250u; }, true, 4,
         0, {0, 4, 5}, 1},
        // Completes at every shift but never fits: 0 -> 2 -> 3 -> 4 -> 5, the fifth encode fails.
        {"attempts used up", [](int32_t) { return 300u; }, false, 4, -803, {0, 2, 3, 4, 5}, 1},
        // Without an attempt limit the highest shift is not repeated for ever.
        {"no higher shift", [](int32_t s) { return s == 0 ? 2000u : 300u; }, true, 0, -801, {0, 9}, 1},
    };
    for (const auto& t : cases) {
        scripted s{t.size_at};
        s.honour_abort = t.honour_abort;
        EXPECT_EQ(s.run(kTarget, t.max_attempts), t.result) << t.what;
        EXPECT_EQ(s.shifts, t.shifts) << t.what;
        EXPECT_EQ(s.preprocessed, t.preprocessed) << t.what;
    }
}

TEST(RateControl, RefusalsAndPassThrough)
{
    // Abandoned with fewer recorded bits than the target: nothing to steer by.
    {
        const LDALSE_RATE_STEP step = {nullptr, [](void*, int32_t) { return 0; }, [](void*) { return 0; },
                                       [](void*, int32_t, int32_t, uint32_t*, int64_t* recorded) {
                                           *recorded = 100;
                                           return -403;
                                       }};
        EXPECT_EQ(LDALSE_RateControl(&step, kTarget, 128, 2, 16, 4, nullptr), -802);
    }
    // A target so large that no shift is usable.
    {
        scripted s{[](int32_t) { return 20000u; }};
        EXPECT_EQ(s.run(10000, 4), -800);
    }
    // Errors of the encoder are returned unchanged.
    {
        scripted s{[](int32_t) { return 200u; }};
        s.fail_set_shift = -102;
        EXPECT_EQ(s.run(kTarget, 4), -102);
    }
    EXPECT_EQ(LDALSE_RateControl(nullptr, kTarget, 128, 2, 16, 4, nullptr), -100);
}

}  // namespace
