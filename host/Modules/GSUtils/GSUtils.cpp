// GSSysBeep, counted and handed to the host's listener.
#include "GSSystem.h"

#include <atomic>
#include <mutex>

#include "GSUtilsControl.hpp"

namespace {
std::atomic<int> beeps{0};
std::mutex listenerMutex;
std::function<void()>& Listener() {
    static std::function<void()> listener;
    return listener;
}
}  // namespace

void GSSysBeep() {
    ++beeps;
    std::lock_guard<std::mutex> lock(listenerMutex);
    if (Listener())
        Listener()();
}

namespace GSUtils::Control {
int BeepCount() {
    return beeps.load();
}
void ResetBeepCount() {
    beeps = 0;
}
void SetBeepListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(listenerMutex);
    Listener() = std::move(listener);
}
}  // namespace GSUtils::Control
