#pragma once
// The console's lines from its construction on, once what earlier tests
// handed to the SDK's logger has been written: their lines never land in
// this capture.

#include "ads/foundation/DZLogger.h"
#include "core/Console.h"

namespace adtesting {

struct LoggerDrained {
    LoggerDrained() { ads::DZLogger::sharedInstance().waitForLogging(); }
};

// The logger is drained before the capture starts (bases are made in order).
class LogCapture : private LoggerDrained, public core::Console::Capture {};

}  // namespace adtesting
