#include "EngineFactory.h"

namespace kelm {
namespace {

// Until the recording engine is built in, creating an encoder fails honestly
// with "component missing": KELM then says so and exits, never pretending to record.
class UnavailableEngineFactory final : public EncoderFactory {
public:
    std::unique_ptr<Encoder> create(EncoderStatus* status) override {
        if (status)
            *status = EncoderStatus::failure(EncoderErrorCode::ComponentMissing,
                                             QStringLiteral("recording engine not built in"));
        return nullptr;
    }
};

}  // namespace

std::unique_ptr<EncoderFactory> createEngineFactory() {
    return std::make_unique<UnavailableEngineFactory>();
}

}  // namespace kelm
