// The timeline director: one frame, its section picked by DemoTime.
#include "engine/engine.h"
#include "shell/shell.h"

uint64_t FramesDrawn = 0;

void TimelineDirector() {
  if (!CheckDevice()) {
    SleepMilliseconds(100);
    return;
  }
  UpdateDemoClock();
  BeginFrame();
  // The four sections draw here as they arrive; until then a black frame.
  Device->Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF000000u, 1.0f, 0);
  EndFrame();
  ++FramesDrawn;
}
