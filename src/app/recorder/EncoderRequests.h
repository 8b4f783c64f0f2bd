#pragma once

#include "encoder/Encoder.h"

#include <QMetaObject>
#include <deque>
#include <functional>

namespace kelm {

// Every prepare and start the recorder asks of the encoder goes through here,
// so each outcome, which the encoder sends back later and in order, reaches
// the code that asked for it. Nothing here waits.
class EncoderRequests final {
public:
    using Outcome = std::function<void(const EncoderStatus&)>;

    explicit EncoderRequests(std::function<Encoder*()> encoder) : m_encoder(std::move(encoder)) {}
    ~EncoderRequests() { disconnect(); }
    EncoderRequests(const EncoderRequests&) = delete;
    EncoderRequests& operator=(const EncoderRequests&) = delete;

    // Brings the sources up; `done` (may be empty) hears how it went.
    void prepare(Outcome done = {});
    // Starts the recording on the file and length set; `done` hears how it went.
    void start(Outcome done = {});

    // A start has been asked for and not answered yet.
    bool startPending() const { return !m_starts.empty(); }
    // A prepare has been asked for and not answered yet.
    bool preparePending() const { return !m_prepares.empty(); }

private:
    // The encoder the outcomes come from; a new one (start-up made it again)
    // drops what the old one still owed.
    Encoder* connected();
    void disconnect();
    static void deliver(std::deque<Outcome>& waiting, const EncoderStatus& status);

    std::function<Encoder*()> m_encoder;
    Encoder* m_connectedTo = nullptr;
    QMetaObject::Connection m_preparedLink;
    QMetaObject::Connection m_startedLink;
    std::deque<Outcome> m_prepares;
    std::deque<Outcome> m_starts;
};

}  // namespace kelm
