// DBPrintf and the debug sink that the simulated host or a test chooses.
#include "GSDebug.hpp"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "GSRootControl.hpp"

namespace {

std::mutex sinkMutex;
GS::Control::DebugSink& Sink() {
    static GS::Control::DebugSink sink;
    return sink;
}

}  // namespace

void DBPrintf(const char* format, ...) {
    if (format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);

    std::lock_guard<std::mutex> lock(sinkMutex);
    if (Sink()) {
        Sink()(text);
        return;
    }
    std::fputs(text.c_str(), stderr);
}

namespace GS::Control {
void SetDebugSink(DebugSink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex);
    Sink() = std::move(sink);
}
}  // namespace GS::Control
