#pragma once

#include "EngineOptions.h"
#include "encoder/Encoder.h"

namespace kelm {

class RecordingEngine;

// The factory of KELM's real recording engine. Creating an encoder fails with
// ComponentMissing (429) when GStreamer cannot start or an element the engine
// cannot do without is not installed.
std::unique_ptr<EncoderFactory> createEngineFactory();
std::unique_ptr<EncoderFactory> createEngineFactory(EngineOptions options);

// The engine itself, whose calls wait for their outcome, for the engine's own
// tests and benchmarks; null, with ComponentMissing in `status`, as above.
std::unique_ptr<RecordingEngine> createRecordingEngine(EngineOptions options,
                                                       EncoderStatus* status);

}  // namespace kelm
