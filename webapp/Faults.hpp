// Fault switches for tests: scripted answers, stalls, interim answers, slow (dripped or paced), dropped and
// never-ending answers, each for the next matching requests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "HttpMessage.hpp"

namespace webapp {

// Which requests a switch applies to: the next count requests whose path (target without query) equals
// path, or the next count requests of any path when path is empty.
struct FaultScope {
    std::size_t count = 1;
    std::string path;
};

// An answer sent slowly: its bytes (head and body) in `pieces` parts of equal size, with `interval`
// between one part and the next.
struct Pacing {
    std::chrono::milliseconds interval{0};
    std::size_t pieces = 1;
};

// Interim "102 Processing" answers sent before the real one.
struct InterimAnswers {
    std::chrono::milliseconds every{0};  // the first goes out at once, each next one this much later
    std::size_t count = 0;               // after the last one and one more interval, the real answer
};

// A chunked answer whose framing never ends: after the head, the first chunk's line "1;" goes on as one
// chunk extension, or one chunk and the last chunk are followed by a trailer field whose value goes on.
// `bytes` filler bytes at most go out, as fast as the client takes them; then the connection is closed.
struct FloodAnswer {
    enum class Where { ChunkExtension, Trailer };
    Where where = Where::ChunkExtension;
    std::size_t bytes = 64 * 1024 * 1024;
};

// What one request gets, taken from the switches when the request has been read.
struct FaultPlan {
    std::optional<std::chrono::milliseconds> stall;  // wait this long before answering
    std::optional<InterimAnswers> interim;           // then send interim answers
    std::optional<Response> scripted;                // answer this instead of handling the request
    std::optional<std::chrono::milliseconds> drip;   // send the head at once, then a body byte each interval
    std::optional<Pacing> pacing;                    // or send the whole answer in timed pieces
    bool dropMidBody = false;                        // announce the whole body, send part of it, close
    std::optional<FloodAnswer> flood;                // or answer with a framing that never ends
};

// Safe to use from several threads.
class Faults {
public:
    // Throws std::invalid_argument when the response cannot be sent as given: a status outside 100-599, a
    // body on a status that has none, or framing fields (Content-Length, Transfer-Encoding, Connection) among
    // its headers, which the framing decides. A zero count in scope is also refused.
    void Script(Response response, FaultScope scope);
    void Stall(std::chrono::milliseconds delay, FaultScope scope);
    // Throws std::invalid_argument for a negative or zero interval, or no interim answer at all.
    void Interim(InterimAnswers answers, FaultScope scope);
    // Throws std::invalid_argument for a negative or zero interval.
    void Drip(std::chrono::milliseconds every, FaultScope scope);
    void DropMidBody(FaultScope scope);
    // Answers `status` as soon as the request's head is read, before any of its body, and closes without
    // reading the rest: a client still writing then meets a reset. Refuses a status outside 400-599.
    void AnswerEarly(int status, FaultScope scope);
    // Refuses fewer than 2 pieces or a negative interval.
    void Pace(Pacing pacing, FaultScope scope);
    // Refuses a flood of no bytes.
    void Flood(FloodAnswer flood, FaultScope scope);
    void Clear();

    // Filler bytes of floods written so far (over every connection); kept across Clear.
    void CountFlooded(std::size_t bytes);
    std::uint64_t FloodedBytes() const;

    // Uses up one application of each kind of switch that matches path.
    FaultPlan Take(const std::string& path);
    // Uses up the next early answer that matches path, if any (taken when the head has been read).
    std::optional<int> TakeEarlyAnswer(const std::string& path);

private:
    template <typename T>
    struct Entry {
        T value;
        FaultScope scope;
    };
    struct Drop {};

    template <typename T>
    static std::optional<T> TakeFrom(std::deque<Entry<T>>& queue, const std::string& path);

    mutable std::mutex mutex_;
    std::deque<Entry<Response>> scripts_;
    std::deque<Entry<std::chrono::milliseconds>> stalls_;
    std::deque<Entry<InterimAnswers>> interims_;
    std::deque<Entry<std::chrono::milliseconds>> drips_;
    std::deque<Entry<Drop>> drops_;
    std::deque<Entry<int>> earlyAnswers_;
    std::deque<Entry<Pacing>> pacings_;
    std::deque<Entry<FloodAnswer>> floods_;
    std::uint64_t flooded_ = 0;
};

}  // namespace webapp
