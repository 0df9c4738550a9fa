#include "protocol/StopWatch.h"

namespace tervex {

void TStopWatch::Start() {
    if (!FRunning) {
        FStartTick = FTicks->TickCount();
        FRunning = true;
    }
}

void TStopWatch::Reset() {
    FElapsed = 0;
    FRunning = false;
    FStartTick = 0;
}

void TStopWatch::Restart() {
    Reset();
    Start();
}

void TStopWatch::Stop() {
    if (FRunning) {
        FElapsed = Elapsed();
        FRunning = false;
    }
}

uint32_t TStopWatch::Elapsed() const {
    if (!FRunning) {
        return FElapsed;
    }
    // Unsigned subtraction is the difference modulo 2^32, right across a wrap.
    return FElapsed + (FTicks->TickCount() - FStartTick);
}

}  // namespace tervex
