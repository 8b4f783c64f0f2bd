#pragma once

#include "EngineOptions.h"
#include "encoder/Encoder.h"

namespace kelm {

// The factory of KELM's real recording engine. Creating an encoder fails with
// ComponentMissing (429) when GStreamer cannot start or an element the engine
// cannot do without is not installed.
std::unique_ptr<EncoderFactory> createEngineFactory();
std::unique_ptr<EncoderFactory> createEngineFactory(EngineOptions options);

}  // namespace kelm
