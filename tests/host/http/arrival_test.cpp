// The wait for a request still on its way to the server, on counts the test makes up: it goes on while
// the count of unacknowledged bytes goes down, ends when it reaches zero (or what may stay in flight) or the
// awaited event comes, and fails one time-out after the count last went down.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "ConnectionRules.hpp"
#include "HTTPException.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Sleeps for each wait and never reports the awaited event.
bool Sleep(int wait) {
    std::this_thread::sleep_for(milliseconds(wait));
    return false;
}

std::string Stalled(long long left) {
    return std::to_string(left) + " left";
}

// Bytes that leave at 10 a millisecond from the start until `until` ms, and then no more.
std::function<long long()> Leaving(long long bytes, long long until) {
    const Clock::time_point start = Clock::now();
    return [=] {
        const long long ms = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
        return std::max(0LL, bytes - 10 * std::min(ms, until));
    };
}

TEST(AwaitWhileLeaving, GoesOnPastTheTimeOutWhileBytesKeepLeaving) {
    const std::optional<UInt64> waited =
        HTTP::Detail::AwaitWhileLeaving(100, Leaving(5000, 1000), Sleep, Stalled);

    ASSERT_TRUE(waited.has_value());
    EXPECT_GE(*waited, 450u) << "half a second of leaving bytes, a time-out of 100 ms";
}

TEST(AwaitWhileLeaving, FailsOneTimeOutAfterTheCountLastWentDown) {
    const Clock::time_point start = Clock::now();
    try {
        HTTP::Detail::AwaitWhileLeaving(200, Leaving(5000, 300), Sleep, Stalled);
        ADD_FAILURE() << "a count that stopped going down was waited on for good";
    } catch (const HTTP::Exception& failure) {
        EXPECT_EQ(HTTP::Exception::Kind::Timeout, failure.GetKind());
        EXPECT_STREQ("2000 left", failure.what());
    }
    const auto took = Clock::now() - start;
    EXPECT_GE(took, milliseconds(300 + 200)) << "the last progress came at 300 ms";
    EXPECT_LT(took, milliseconds(300 + 200 + 400));
}

TEST(AwaitWhileLeaving, EndsWhenTheAwaitedEventComesOrTheSystemCannotSay) {
    long long left = 5000;
    const std::optional<UInt64> woke = HTTP::Detail::AwaitWhileLeaving(
        10000, [&] { return left; }, [](int) { return true; }, Stalled);
    ASSERT_TRUE(woke.has_value());
    EXPECT_LT(*woke, 1000u);

    EXPECT_FALSE(HTTP::Detail::AwaitWhileLeaving(
                     100, [] { return -1LL; }, Sleep, Stalled)
                     .has_value());
    EXPECT_FALSE(HTTP::Detail::AwaitWhileLeaving(
                     100, [] { return 0LL; }, Sleep, Stalled)
                     .has_value());
}

// A streamed body's write waits only until few enough bytes are left in flight.
TEST(AwaitWhileLeaving, EndsWhenTheCountIsDownToWhatMayStayInFlight) {
    const std::optional<UInt64> waited =
        HTTP::Detail::AwaitWhileLeaving(100, Leaving(5000, 10000), Sleep, Stalled, 3000);
    ASSERT_TRUE(waited.has_value());
    EXPECT_GE(*waited, 190u) << "2000 bytes leave at 10 a millisecond";
    EXPECT_LT(*waited, 450u) << "it went on towards zero";

    EXPECT_FALSE(HTTP::Detail::AwaitWhileLeaving(
                     100, [] { return 3000LL; }, Sleep, Stalled, 3000)
                     .has_value());
}

}  // namespace

// The low-speed limit on made-up counts (ms, bytes): a server that takes a trickle is too slow once the
// request has been on its way a whole window; one that took enough within the window is not.
TEST(LowSpeedLimit, ATrickleIsTooSlowOnlyAfterAWholeWindow) {
    HTTP::Detail::LowSpeedLimit limit(1024, 30000);
    limit.Start(1000);
    UInt64 taken = 0;
    for (UInt64 now = 1000; now < 31000; now += 100) {
        taken += 90;  // 900 bytes a second
        ASSERT_FALSE(limit.TooSlow(now, taken)) << now;
    }
    EXPECT_TRUE(limit.TooSlow(31100, taken + 90));

    limit.Start(0);
    taken = 0;
    for (UInt64 now = 0; now <= 120000; now += 100) {
        taken += 120;  // 1200 bytes a second, also long after the first window
        ASSERT_FALSE(limit.TooSlow(now, taken)) << now;
    }
    // When the server stops taking, the window's average falls below the limit within seconds, as it
    // counts the last window only.
    for (UInt64 now = 120100; now < 122000; now += 100) ASSERT_FALSE(limit.TooSlow(now, taken)) << now;
    EXPECT_TRUE(limit.TooSlow(130000, taken));
}

// Until a rate has been seen over a second (or four round trips), the floor holds, whatever the first burst
// the server's buffers took; then a second's worth at the rate of about the last second, at least the least.
// On a loopback the rate counts after a millisecond, the floor being the least for the first second.
TEST(InFlightRule, TheFloorUntilARateIsSeenThenASecondsWorthOfTheLastSecond) {
    const UInt64 ms = 1000;  // the rule counts µs
    HTTP::Detail::InFlightRule rule(65536, 4096);
    rule.Start(0);
    EXPECT_EQ(rule.Cap(43 * ms, 78000, 50 * ms), 65536) << "a rate over 43 ms says nothing";
    // The server's buffers took 128 KB at once; from then on it takes 900 bytes a second.
    UInt64 taken = 128000;
    for (UInt64 now = 100 * ms; now < 3000 * ms; now += 100 * ms) rule.Cap(now, taken += 90, 50 * ms);
    EXPECT_EQ(rule.Cap(3000 * ms, taken += 90, 50 * ms), 4096) << "the burst long ago does not count";

    HTTP::Detail::InFlightRule fast(65536, 4096);
    fast.Start(0);
    EXPECT_EQ(fast.Cap(1 * ms, 1000000, 30), 1000000000) << "a loopback's round trip: measured at once";
    EXPECT_EQ(fast.Cap(1100 * ms, 1000000, 30), 4096) << "a loopback server that paused for a second";

    // On a loopback a server slow to start reading has the floor for the first second, then a second's
    // worth like any other.
    HTTP::Detail::InFlightRule slow(65536, 4096);
    slow.Start(0);
    EXPECT_EQ(slow.Cap(1 * ms, 0, 30), 65536);
    EXPECT_EQ(slow.Cap(900 * ms, 8000, 30), 65536);
    EXPECT_EQ(slow.Cap(2000 * ms, 9000, 30), 4096);

    // The burst a server's buffer takes in the first moments does not count as a rate: 16 KB at once,
    // then 4 KB a second, is held to the least, not to 16 KB a second.
    HTTP::Detail::InFlightRule buffered(65536, 4096);
    buffered.Start(0);
    EXPECT_EQ(buffered.Cap(500, 16000, 30), 65536);
    EXPECT_EQ(buffered.Cap(2 * ms, 16000, 30), 65536);
    EXPECT_EQ(buffered.Cap(1500 * ms, 22000, 30), 4096);
}
