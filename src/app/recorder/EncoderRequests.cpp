#include "EncoderRequests.h"

namespace kelm {

Encoder* EncoderRequests::connected() {
    Encoder* encoder = m_encoder ? m_encoder() : nullptr;
    if (encoder == m_connectedTo) return encoder;
    disconnect();
    m_prepares.clear();
    m_starts.clear();
    m_connectedTo = encoder;
    if (!encoder) return nullptr;
    m_preparedLink = QObject::connect(encoder, &Encoder::prepared, encoder,
                                      [this](EncoderStatus s) { deliver(m_prepares, s); });
    m_startedLink = QObject::connect(encoder, &Encoder::started, encoder,
                                     [this](EncoderStatus s) { deliver(m_starts, s); });
    return encoder;
}

void EncoderRequests::disconnect() {
    QObject::disconnect(m_preparedLink);
    QObject::disconnect(m_startedLink);
}

void EncoderRequests::deliver(std::deque<Outcome>& waiting, const EncoderStatus& status) {
    if (waiting.empty()) return;
    // Taken off the queue first: the handler may ask for the next one.
    Outcome done = std::move(waiting.front());
    waiting.pop_front();
    if (done) done(status);
}

void EncoderRequests::prepare(Outcome done) {
    Encoder* encoder = connected();
    if (!encoder) return;
    m_prepares.push_back(std::move(done));
    encoder->prepareToEncode();
}

void EncoderRequests::start(Outcome done) {
    Encoder* encoder = connected();
    if (!encoder) return;
    m_starts.push_back(std::move(done));
    encoder->start();
}

}  // namespace kelm
