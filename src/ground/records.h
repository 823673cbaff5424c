#pragma once
// The process-wide records every layer reads. Each lives once for the whole run; the layers write
// them in the order a theme load and a frame lay down.
#include "ground/app_state.h"
#include "ground/desktop_host.h"
#include "ground/desktop_watch.h"
#include "ground/global_settings.h"
#include "ground/load_state.h"
#include "ground/monitors.h"
#include "ground/theme_model.h"

namespace velmora {

// Puts every record back as it is when the program starts (and the random generator to the C
// runtime's unseeded state): for the tools and tests that run the core more than once in one
// process.
void resetRecords();

}  // namespace velmora
