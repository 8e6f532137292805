// UploadPace: piece size, the exchange's bound and the lowest rate of an upload's body.
#include "UploadPace.hpp"

#include <algorithm>

namespace {

using std::chrono::milliseconds;

// The largest piece is the largest TLS record: a fast link pays nothing for the host's calls between
// pieces. The smallest keeps the count of pieces of a slow link's body modest.
constexpr USize kLargestPiece = 16 * 1024;
constexpr USize kSmallestPiece = 1024;
// A piece that took longer halves the next one, one that took less than a fifth of that doubles it.
constexpr milliseconds kPieceTime{500};
constexpr milliseconds kBoundBase{60000};
constexpr UInt64 kBoundBytesPerSecond = 16000 / 8;
constexpr milliseconds kSlowWindow{30000};
constexpr UInt64 kSlowestBytesPerSecond = 1024;

}  // namespace

UploadPace::UploadPace(UInt64 bodyBytes, Clock::time_point start)
    : start_(start),
      bound_(start + kBoundBase + milliseconds(bodyBytes * 1000 / kBoundBytesPerSecond)),
      last_(start),
      piece_(kLargestPiece) {
    written_.emplace_back(start, 0);
}

void UploadPace::Wrote(UInt64 written, Clock::time_point now) {
    const auto took = now - last_;
    last_ = now;
    if (took > kPieceTime)
        piece_ = std::max(kSmallestPiece, piece_ / 2);
    else if (took < kPieceTime / 5)
        piece_ = std::min(kLargestPiece, piece_ * 2);
    written_.emplace_back(now, written);
    while (written_.size() > 1 && now - written_[1].first >= kSlowWindow) written_.pop_front();
}

void UploadPace::Waited(Clock::time_point now) {
    const UInt64 written = written_.back().second;
    written_.assign(1, {now, written});
    start_ = now;
    last_ = now;
}

bool UploadPace::TooSlow(Clock::time_point now) const {
    if (now >= bound_)
        return true;
    if (now - start_ < kSlowWindow)
        return false;
    // The newest count at least a window old. A write still in progress adds nothing: when the link holds
    // one for long, the bytes the system took at once before it do not stand for a rate.
    auto then = written_.front();
    for (const auto& sample : written_) {
        if (now - sample.first < kSlowWindow)
            break;
        then = sample;
    }
    const auto span = std::chrono::duration_cast<milliseconds>(now - then.first).count();
    return (written_.back().second - then.second) * 1000 < kSlowestBytesPerSecond * static_cast<UInt64>(span);
}
