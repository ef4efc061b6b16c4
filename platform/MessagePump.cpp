#include "platform/MessagePump.h"

#include <QCoreApplication>

#include <chrono>
#include <utility>

namespace katalox::platform {

namespace {

std::function<void()>& hook() {
    static std::function<void()> instance;
    return instance;
}

// Processing more often than once a frame only slows a long walk down; the windows cannot
// show the difference.
constexpr auto kMinimumInterval = std::chrono::milliseconds(15);

} // namespace

void processMessages() {
    if (const auto& replacement = hook()) {
        replacement();
        return;
    }
    if (!QCoreApplication::instance())
        return;
    using Clock = std::chrono::steady_clock;
    static Clock::time_point lastProcessed{};
    if (Clock::now() - lastProcessed < kMinimumInterval)
        return;
    QCoreApplication::processEvents();
    lastProcessed = Clock::now();
}

void setMessagePumpHook(std::function<void()> replacement) {
    hook() = std::move(replacement);
}

} // namespace katalox::platform
