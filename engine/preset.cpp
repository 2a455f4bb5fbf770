// The one thing that differs between the four programs: compiled into each
// with one of the VANTREL_PRESET_* definitions.
#include "engine/engine.h"

#if defined(VANTREL_PRESET_FS1280)
const DisplayPreset BuildDisplayPreset = DisplayPreset::FullScreen1280;
#elif defined(VANTREL_PRESET_FS1024)
const DisplayPreset BuildDisplayPreset = DisplayPreset::FullScreen1024;
#elif defined(VANTREL_PRESET_DESKTOP)
const DisplayPreset BuildDisplayPreset = DisplayPreset::Desktop;
#elif defined(VANTREL_PRESET_WINDOW)
const DisplayPreset BuildDisplayPreset = DisplayPreset::Window;
#else
#error "build with one of VANTREL_PRESET_WINDOW, _FS1280, _FS1024, _DESKTOP"
#endif
