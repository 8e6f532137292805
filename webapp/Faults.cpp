// Queues of fault switches, consumed request by request.
#include "Faults.hpp"

#include <stdexcept>

namespace webapp {
namespace {

void CheckScope(const FaultScope& scope) {
    if (scope.count == 0) {
        throw std::invalid_argument("webapp: a fault switch needs a count of at least 1");
    }
}

void CheckInterval(std::chrono::milliseconds every) {
    if (every.count() <= 0) {
        throw std::invalid_argument("webapp: an interval between answer pieces must be positive");
    }
}

void CheckScriptable(const Response& response) {
    if (response.status < 100 || response.status > 599) {
        throw std::invalid_argument("webapp: scripted status " + std::to_string(response.status) +
                                    " is not an HTTP status");
    }
    if (StatusForbidsBody(response.status) && !response.body.empty()) {
        throw std::invalid_argument("webapp: status " + std::to_string(response.status) +
                                    " cannot have a body");
    }
    for (const auto& field : response.headers) {
        const std::string& name = field.first;
        if (EqualsIgnoringCase(name, "Content-Length") || EqualsIgnoringCase(name, "Transfer-Encoding") ||
            EqualsIgnoringCase(name, "Connection")) {
            throw std::invalid_argument("webapp: scripted header " + name +
                                        " is set by the body framing; choose a BodyFraming instead");
        }
    }
}

}  // namespace

void Faults::Script(Response response, FaultScope scope) {
    CheckScope(scope);
    CheckScriptable(response);
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_.push_back({std::move(response), std::move(scope)});
}

void Faults::Stall(std::chrono::milliseconds delay, FaultScope scope) {
    CheckScope(scope);
    if (delay.count() < 0) {
        throw std::invalid_argument("webapp: a stall cannot be negative");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    stalls_.push_back({delay, std::move(scope)});
}

void Faults::Interim(InterimAnswers answers, FaultScope scope) {
    CheckScope(scope);
    CheckInterval(answers.every);
    if (answers.count == 0) {
        throw std::invalid_argument("webapp: interim answers need a count of at least 1");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    interims_.push_back({answers, std::move(scope)});
}

void Faults::Drip(std::chrono::milliseconds every, FaultScope scope) {
    CheckScope(scope);
    CheckInterval(every);
    std::lock_guard<std::mutex> lock(mutex_);
    drips_.push_back({every, std::move(scope)});
}

void Faults::AnswerEarly(int status, FaultScope scope) {
    CheckScope(scope);
    if (status < 400 || status > 599) {
        throw std::invalid_argument("webapp: an early answer is a status from 400 to 599, not " +
                                    std::to_string(status));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    earlyAnswers_.push_back({status, std::move(scope)});
}

std::optional<int> Faults::TakeEarlyAnswer(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return TakeFrom(earlyAnswers_, path);
}

void Faults::DropMidBody(FaultScope scope) {
    CheckScope(scope);
    std::lock_guard<std::mutex> lock(mutex_);
    drops_.push_back({Drop{}, std::move(scope)});
}

void Faults::Pace(Pacing pacing, FaultScope scope) {
    CheckScope(scope);
    if (pacing.pieces < 2 || pacing.interval.count() < 0) {
        throw std::invalid_argument("webapp: a paced answer needs 2 pieces or more and no negative interval");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pacings_.push_back({pacing, std::move(scope)});
}

void Faults::Flood(FloodAnswer flood, FaultScope scope) {
    CheckScope(scope);
    if (flood.bytes == 0) {
        throw std::invalid_argument("webapp: a flood needs at least one byte");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    floods_.push_back({flood, std::move(scope)});
}

void Faults::CountFlooded(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    flooded_ += bytes;
}

std::uint64_t Faults::FloodedBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return flooded_;
}

void Faults::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_.clear();
    stalls_.clear();
    interims_.clear();
    drips_.clear();
    drops_.clear();
    earlyAnswers_.clear();
    pacings_.clear();
    floods_.clear();
}

FaultPlan Faults::Take(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    FaultPlan plan;
    plan.stall = TakeFrom(stalls_, path);
    plan.interim = TakeFrom(interims_, path);
    plan.scripted = TakeFrom(scripts_, path);
    plan.drip = TakeFrom(drips_, path);
    plan.dropMidBody = TakeFrom(drops_, path).has_value();
    plan.pacing = TakeFrom(pacings_, path);
    plan.flood = TakeFrom(floods_, path);
    return plan;
}

template <typename T>
std::optional<T> Faults::TakeFrom(std::deque<Entry<T>>& queue, const std::string& path) {
    for (auto entry = queue.begin(); entry != queue.end(); ++entry) {
        if (!entry->scope.path.empty() && entry->scope.path != path) {
            continue;
        }
        T value = entry->value;
        if (--entry->scope.count == 0) {
            queue.erase(entry);
        }
        return value;
    }
    return std::nullopt;
}

}  // namespace webapp
