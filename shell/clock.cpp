// Clock over the platform's performance counter, and the window title refresh (see clock.h).
#include "shell/clock.h"

#include <cstdint>

#include "capture/session_recording.h"
#include "platform/window.h"

const char* const kCreationTitle = "  = Quarnel game. Kelm 2006 = ";
const char* const kFrameTitle = "= Quarnel game. Kelm 2006 =";

namespace {
int64_t lastCounter = 0;
double elapsed = 0.0;
double fixedStep = 0.0;
int64_t readingsSinceReset = 0;
int64_t fixedSteps = 0;
}  // namespace

void SetClockFixedStep(double seconds)
{
    fixedStep = seconds > 0.0 ? seconds : 0.0;
}

void ClockReset()
{
    elapsed = 0.0;
    readingsSinceReset = 0;
    fixedSteps = 0;
    lastCounter = PerformanceCounter();
}

double ClockSeconds()
{
    double replayed = 0.0;
    if (ReplayClockReading(replayed)) return replayed;  // a recorded session: its readings, in order
    if (fixedStep > 0.0) {
        // Counted rather than summed, so frame n always sees the same time.
        if (++readingsSinceReset % 2 == 0) ++fixedSteps;
        elapsed = static_cast<double>(fixedSteps) * fixedStep;
    } else {
        const int64_t counter = PerformanceCounter();
        const int64_t frequency = PerformanceFrequency();  // asked every time: it may change between readings
        const int64_t delta = counter - lastCounter;
        lastCounter = counter;
        elapsed += static_cast<double>(delta) / static_cast<double>(frequency);
    }
    RecordClockReading(elapsed);
    return elapsed;
}

void RefreshWindowTitle()
{
    SetWindowTitle(kFrameTitle);
}
