#include "platform/MessagePump.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using katalox::platform::processMessages;
using katalox::platform::setMessagePumpHook;

TEST(MessagePump, HookReplacesProcessingOnEveryCall) {
    int calls = 0;
    setMessagePumpHook([&] { ++calls; });
    for (int i = 0; i < 5; ++i)
        processMessages();
    setMessagePumpHook({});
    processMessages(); // restored default: no application here, so nothing to do
    EXPECT_EQ(calls, 5);
}

TEST(MessagePump, ProcessesWaitingEventsOfTheApplication) {
    int argc = 1;
    char name[] = "pump";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    bool ran = false;
    QTimer::singleShot(0, &application, [&] { ran = true; });
    // Calls close together may be skipped; a later one must process the waiting event.
    for (int attempt = 0; attempt < 2000 && !ran; ++attempt) {
        processMessages();
        if (!ran)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(ran);
}
