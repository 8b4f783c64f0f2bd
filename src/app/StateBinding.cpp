#include "StateBinding.h"

#include "MainForm.h"
#include "recorder/EventLog.h"
#include "recorder/LastState.h"

#include <QFileInfo>
#include <array>

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
    const MainForm& f = m_ctx.form;
    LastState s;
    s.setLine(LastState::AudioSource, selectedText(f.cboAudioSource));
    s.setLine(LastState::AudioInput, selectedText(f.cboInput));
    s.setLine(LastState::StartTime, f.txtStartTime->text());
    s.setLine(LastState::EndTime, f.txtEnd->text());
    s.setLine(LastState::Duration, f.txtDuration->text());
    s.setLine(LastState::VideoSource, f.cboVideoSource->currentText());
    s.setLine(LastState::VideoInput, f.cboVideoInput->currentText());
    s.setLine(LastState::TvChannel, f.cboChannel->currentText());
    s.setLine(LastState::PixelFormat, f.cboPixelFormat->currentText());
    s.setLine(LastState::TvType, f.cboTVType->currentText());
    s.setLine(LastState::TvStandard, f.cboTVFormat->currentText());
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
    MainForm& f = m_ctx.form;
    if (state->has(LastState::AudioSource))
        selectEqualEntries(f.cboAudioSource, state->line(LastState::AudioSource), onAudioSource);
    if (state->has(LastState::AudioInput))
        selectEqualEntries(f.cboInput, state->line(LastState::AudioInput), onInput);
    // Lines the file does not have leave their fields as they are.
    const std::array<std::pair<int, QLineEdit*>, 3> times{{{LastState::StartTime, f.txtStartTime},
                                                           {LastState::EndTime, f.txtEnd},
                                                           {LastState::Duration, f.txtDuration}}};
    for (const auto& [line, field] : times) {
        if (state->has(line)) field->setText(state->line(line));
    }
}

void StateBinding::RestoreStateLine(int line, QComboBox* list,
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

bool StateBinding::SaveStateLine(int line, const QComboBox* list) {
    RecorderState& s = m_ctx.state;
    s.statePath = LastState::path(s.programDir, s.settings.channelShortName);
    if (!QFileInfo::exists(s.statePath)) return false;
    return LastState::saveLine(s.statePath, line, selectedText(list));
}

}  // namespace kelm
