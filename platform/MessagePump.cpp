#include "platform/MessagePump.h"

#include <ctime>
#include <utility>

namespace katalox::platform {

namespace {

std::function<void()>& hook() {
    static std::function<void()> instance;
    return instance;
}

void (*applicationPump)() = nullptr;

// Processing more often than once a frame only slows a long walk down; the windows cannot
// show the difference.
constexpr long long kMinimumIntervalNs = 15'000'000;

// The coarse clock is read without a system call and costs a few nanoseconds, which matters
// when the pump is called after every one of a million directory entries; its resolution of a
// few milliseconds is fine for a 15 ms interval.
long long nowNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

void processMessages() {
    if (const auto& replacement = hook()) {
        replacement();
        return;
    }
    if (!applicationPump)
        return;
    static long long lastProcessed = -kMinimumIntervalNs;
    if (nowNs() - lastProcessed < kMinimumIntervalNs)
        return;
    applicationPump();
    lastProcessed = nowNs();
}

void setMessagePumpHook(std::function<void()> replacement) {
    hook() = std::move(replacement);
}

void setApplicationEventPump(void (*pump)()) {
    applicationPump = pump;
}

} // namespace katalox::platform
