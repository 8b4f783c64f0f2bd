#include "capture/PictureWatch.h"

namespace kelm {

namespace {
void add(std::vector<SignalAlarmEvent>* events, std::optional<SignalAlarmEvent> event) {
    if (event) events->push_back(*event);
}
}  // namespace

bool PictureWatch::black(const PictureMeasures& measures) {
    return measures.meanLuma <= kBlackAtMostLuma;
}

bool PictureWatch::frozen(const PictureMeasures& measures) {
    return measures.changedShare < kFrozenBelowChangedShare && !black(measures);
}

std::vector<SignalAlarmEvent> PictureWatch::observe(const PictureMeasures& measures) {
    std::vector<SignalAlarmEvent> events;
    if (measures.pictures <= 0) return events;
    add(&events, m_black.observe(black(measures), m_clock));
    if (m_stillness == Stillness::Watched)
        add(&events, m_frozen.observe(frozen(measures), m_clock));
    return events;
}

std::vector<SignalAlarmEvent> PictureWatch::recordingEnded() {
    std::vector<SignalAlarmEvent> events;
    add(&events, m_black.end(m_clock));
    add(&events, m_frozen.end(m_clock));
    return events;
}

}  // namespace kelm
