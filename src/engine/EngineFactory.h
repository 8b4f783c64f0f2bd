#pragma once

#include "encoder/Encoder.h"

namespace kelm {

// The factory of KELM's real recording engine.
std::unique_ptr<EncoderFactory> createEngineFactory();

}  // namespace kelm
