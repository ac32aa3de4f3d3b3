#pragma once

#include <functional>

class QObject;

namespace platform {

// Runs onTerminate from the event loop when the process receives SIGINT or SIGTERM.
void onTerminationSignal(QObject* context, std::function<void()> onTerminate);

} // namespace platform
