// The value of one of the effect's own parameters at the current layer time,
// read through the host's streams so that keyframes and expressions count.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "AE_Effect.h"
#include "AE_GeneralPlug.h"

#include <functional>

// Obtains an effect reference of its own, the parameter's stream and its value
// at in_data's current time; hands the value to `use` while it is held (only
// when it was read), then disposes of value, stream and effect on every path.
// Returns the first error: of the reads, of `use`, then of the releases.
PF_Err useEffectStreamValue(AEGP_PluginID pluginId, PF_InData* in_data, AEGP_SuiteHandler& suites, int index,
                            const std::function<PF_Err(const AEGP_StreamValue2&)>& use);
