#include "StateBinding.h"

#include "FormParts.h"
#include "TimeFields.h"
#include "recorder/EventLog.h"
#include "recorder/LastState.h"

#include <QComboBox>
#include <QFileInfo>

namespace kelm {

namespace {
QString selectedText(const QComboBox* list) {
    return list->currentIndex() >= 0 ? list->currentText() : QString();
}

// Goes through the entries from first to last and selects each equal one: the
// last equal entry stays selected, and the handler runs for every match.
void selectEqualEntries(QComboBox* list, const QString& text,
                        const std::function<void()>& onSelected) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i) != text) continue;
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(i);
        if (onSelected) onSelected();
    }
}
}  // namespace

bool StateBinding::saveState() {
    const SourceLists& f = m_sources;
    LastState s;
    s.setLine(LastState::AudioSource, selectedText(f.audioSource));
    s.setLine(LastState::AudioInput, selectedText(f.audioInput));
    const TimeFields::Texts times = m_timeFields.texts();
    s.setLine(LastState::StartTime, times.start);
    s.setLine(LastState::EndTime, times.end);
    s.setLine(LastState::Duration, times.duration);
    s.setLine(LastState::VideoSource, f.videoSource->currentText());
    s.setLine(LastState::VideoInput, f.videoInput->currentText());
    s.setLine(LastState::TvChannel, f.channel->currentText());
    s.setLine(LastState::PixelFormat, f.pixelFormat->currentText());
    s.setLine(LastState::TvType, f.tunerType->currentText());
    s.setLine(LastState::TvStandard, f.tvStandard->currentText());
    if (s.save(m_ctx.state.statePath)) return true;
    m_ctx.log.logEvent(QStringLiteral("Az utolsó állapot nem menthető: ") + m_ctx.state.statePath);
    return false;
}

void StateBinding::restoreAudioAndTimes(const std::function<void()>& onAudioSource,
                                        const std::function<void()>& onInput) {
    const auto state = LastState::load(m_ctx.state.statePath);
    if (!state) {
        m_ctx.log.logEvent(QStringLiteral("Az utolsó állapot nem olvasható: ") +
                           m_ctx.state.statePath);
        return;
    }
    const SourceLists& f = m_sources;
    if (state->has(LastState::AudioSource))
        selectEqualEntries(f.audioSource, state->line(LastState::AudioSource), onAudioSource);
    if (state->has(LastState::AudioInput))
        selectEqualEntries(f.audioInput, state->line(LastState::AudioInput), onInput);
    // Lines the file does not have leave their fields as they are.
    auto line = [&state](int number) {
        return state->has(number) ? std::optional<QString>(state->line(number)) : std::nullopt;
    };
    m_timeFields.setTexts(line(LastState::StartTime), line(LastState::EndTime),
                          line(LastState::Duration));
}

void StateBinding::restoreStateLine(int line, QComboBox* list,
                                    const std::function<void()>& onSelected) {
    if (const auto state = loadState(); state && state->has(line))
        setListText(list, state->line(line), onSelected);
}

std::optional<LastState> StateBinding::loadState() {
    RecorderState& s = m_ctx.state;
    s.statePath = LastState::path(s.programDir, s.settings.channelShortName);
    if (!QFileInfo::exists(s.statePath)) return std::nullopt;
    return LastState::load(s.statePath);
}

bool StateBinding::saveStateLine(int line, const QComboBox* list) {
    RecorderState& s = m_ctx.state;
    s.statePath = LastState::path(s.programDir, s.settings.channelShortName);
    if (!QFileInfo::exists(s.statePath)) return false;
    return LastState::saveLine(s.statePath, line, selectedText(list));
}

}  // namespace kelm
