// The pace of an upload's body on made-up times: the piece size follows the link, and the exchange is too
// slow past its bound or below the lowest rate over the last 30 s, never before 30 s of body.
#include <gtest/gtest.h>

#include "UploadPace.hpp"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
const UploadPace::Clock::time_point t0{};

}  // namespace

TEST(UploadPace, PiecesShrinkOnASlowLinkAndGrowBackOnAFastOne) {
    UploadPace pace(10'000'000, t0);
    EXPECT_EQ(pace.NextPiece(), 16u * 1024);
    UploadPace::Clock::time_point now = t0;
    UInt64 written = 0;
    for (int i = 0; i < 10; ++i) {
        written += pace.NextPiece();
        now += seconds(2);
        pace.Wrote(written, now);
    }
    EXPECT_EQ(pace.NextPiece(), 1024u) << "a Cancel is asked about once a second";
    for (int i = 0; i < 10; ++i) {
        written += pace.NextPiece();
        now += milliseconds(10);
        pace.Wrote(written, now);
    }
    EXPECT_EQ(pace.NextPiece(), 16u * 1024);
}

TEST(UploadPace, ATrickleIsTooSlowOnceThirtySecondsHavePassed) {
    UploadPace pace(10'000'000, t0);
    UInt64 written = 0;
    UploadPace::Clock::time_point now = t0;
    for (; now < t0 + seconds(30); now += seconds(1)) {
        ASSERT_FALSE(pace.TooSlow(now));
        written += 900;
        pace.Wrote(written, now);
    }
    EXPECT_TRUE(pace.TooSlow(now + seconds(1)));

    UploadPace steady(10'000'000, t0);
    written = 0;
    for (now = t0; now < t0 + seconds(120); now += seconds(1)) {
        written += 2000;
        steady.Wrote(written, now);
        ASSERT_FALSE(steady.TooSlow(now));
    }
}

// 60 s and the body at 16 kbit/s: 2 MB may take 1060 s, but not one more.
TEST(UploadPace, NoExchangeOutlastsItsBound) {
    UploadPace pace(2'000'000, t0);
    UInt64 written = 0;
    UploadPace::Clock::time_point now = t0;
    for (; now < t0 + seconds(1059); now += seconds(1)) {
        written += 1900;
        pace.Wrote(written, now);
    }
    EXPECT_FALSE(pace.TooSlow(t0 + seconds(1059)));
    EXPECT_TRUE(pace.TooSlow(t0 + seconds(1060)));
}

// The system takes most of a small body at once, then the link holds a write (or the wait for the answer)
// until the connection gives up: by then nothing has gone for 30 s as the add-on counts, so a failure
// there is the link's slowness, also when the pieces before it were fast.
TEST(UploadPace, ABodySwallowedAtOnceThenHeldIsTooSlowWhenTheHeldCallFails) {
    UploadPace pace(72'000, t0);
    UInt64 written = 0;
    UploadPace::Clock::time_point now = t0;
    for (int i = 0; i < 4; ++i) {
        written += pace.NextPiece();
        now += milliseconds(5);
        pace.Wrote(written, now);
    }
    EXPECT_FALSE(pace.TooSlow(t0 + seconds(29))) << "never before 30 s";
    EXPECT_TRUE(pace.TooSlow(t0 + milliseconds(30100)));

    // A link that took a piece every 7 s for a while is judged over the last 30 s only.
    UploadPace held(72'000, t0);
    written = 0;
    for (now = t0 + seconds(1); now <= t0 + seconds(15); now += seconds(7)) {
        written += 12000;
        held.Wrote(written, now);
    }
    EXPECT_FALSE(held.TooSlow(t0 + seconds(30))) << "36000 bytes over the first 30 s";
    EXPECT_TRUE(held.TooSlow(t0 + seconds(38))) << "12000 bytes from 8 s to 38 s";
}
