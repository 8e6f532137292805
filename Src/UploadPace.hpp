// The add-on's side of how an upload's body goes, written here once: the size of the next piece, the bound
// on the whole exchange, the lowest rate at which the body may go, and how long a write or Flush took, read
// as whether the link has caught up. Between calls the export asks for the user's Cancel. Holding a call
// until the link has carried the body is the connection's pacing, which the add-on does not count on (the
// kit says nothing of it): against a connection that returns every call at once, the pieces grow to the
// largest, every call reads as caught up, and the bounds still hold, judged by when each write returned.
#pragma once

#include <chrono>
#include <deque>
#include <utility>

#include "Definitions.hpp"

// Started when the body starts; told of the bytes written after each piece. Keeps time with the steady
// clock; reports, never throws.
class UploadPace {
public:
    using Clock = std::chrono::steady_clock;

    // True when a write or Flush that took `took` did not wait for the link: what the system holds of the
    // body goes within about a second. One that took longer was held by the connection, and the link is
    // awaited (Flush until one is caught up) before more of the body goes, and after its last piece.
    static bool CaughtUp(Clock::duration took) { return took < kCaughtUp; }

    // The exchange may take 60 s and the body's time at 16 kbit/s besides, from `start` on.
    UploadPace(UInt64 bodyBytes, Clock::time_point start = Clock::now());

    // Notes that `written` bytes of the body have been written by `now`; the next piece then takes about
    // a fraction of a second on the link as seen so far (between 1 and 16 KiB), so that the bar moves and
    // a Cancel is asked at least about once a second also on the slowest link.
    void Wrote(UInt64 written, Clock::time_point now = Clock::now());
    USize NextPiece() const { return piece_; }
    // Notes that the link was awaited without writing until `now` (it carried bytes the system held, which
    // the add-on cannot count): the lowest rate is judged again over 30 s from then.
    void Waited(Clock::time_point now = Clock::now());

    // True when the exchange has outlasted its bound, or when, once the body has been going 30 s (since
    // the last wait without writing), fewer than 1 KiB a second went over the last 30 s (bytes count when
    // their write returned): the connection is then too slow to go on with.
    bool TooSlow(Clock::time_point now = Clock::now()) const;
    // True when the exchange has outlasted its bound (also asked when a call of the exchange failed).
    bool OutOfTime(Clock::time_point now = Clock::now()) const { return now >= bound_; }

private:
    static constexpr std::chrono::milliseconds kCaughtUp{250};

    Clock::time_point start_;  // of the body, or of the lowest rate's judgment after a wait
    Clock::time_point bound_;
    Clock::time_point last_;
    USize piece_;
    // (time, written) after the pieces of about the last 30 s, oldest first, the first at least 30 s old
    // when there is one.
    std::deque<std::pair<Clock::time_point, UInt64>> written_;
};
