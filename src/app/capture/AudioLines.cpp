#include "AudioLines.h"

#include "FormParts.h"
#include "LevelMeters.h"
#include "Messenger.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>

namespace kelm {

namespace {
int row(const QListWidget* list) {
    return list->currentRow();
}
}  // namespace

AudioLines::AudioLines(const SourceLists& sources, const MixerLineWidgets& lines,
                       SoundMixerDevices& mixers, Messenger& messenger, LevelMeters& meters)
    : m_sources(sources),
      m_lines(lines),
      m_mixers(mixers),
      m_messenger(messenger),
      m_meters(meters) {}

AudioLines::~AudioLines() = default;

void AudioLines::wire() {
    QObject::connect(m_lines.sourceVolume, &QSlider::valueChanged, m_lines.sourceVolume,
                     [this] { sourceVolumeChanged(); });
    QObject::connect(m_lines.destinationVolume, &QSlider::valueChanged, m_lines.destinationVolume,
                     [this] { destinationVolumeChanged(); });
    QObject::connect(m_lines.destinationLine, &QComboBox::activated, m_lines.destinationLine,
                     [this] { destLineSelected(); });
}

// A list with no controls at all (a line without levels or switches) has
// nothing for its slider to follow; it does not hold up the status tick.
bool AudioLines::hasSelection() const {
    const auto chosen = [](const QListWidget* list) {
        return list->count() == 0 || list->currentRow() >= 0;
    };
    return chosen(m_lines.sourceLines) && chosen(m_lines.destinationLines);
}

int AudioLines::followedValue(const Controls& controls, const QListWidget* list,
                              const QSlider* slider) const {
    const int i = row(list);
    if (i < 0 || i >= kMaxControls) return slider->value();
    return mixerControlValue(controls[size_t(i)]);
}

int AudioLines::sourceControlValue() const {
    return followedValue(m_sourceLineControls, m_lines.sourceLines, m_lines.sourceVolume);
}

int AudioLines::destinationControlValue() const {
    return followedValue(m_destinationLineControls, m_lines.destinationLines,
                         m_lines.destinationVolume);
}

int AudioLines::mixerControlValue(const MixerControl& control) const {
    return m_mixer ? MixerValues::get(*m_mixer, control) : 0;
}

bool AudioLines::setMixerControlValue(const MixerControl& control, int value) {
    return m_mixer && MixerValues::set(*m_mixer, control, value);
}

void AudioLines::audioSourceSelected() {
    m_meters.stopVuMeter();
    const QString card = m_sources.audioSource->currentText();
    m_mixer = m_mixers.open(card);
    if (!m_mixer) {
        m_messenger.show(QStringLiteral("A hangkártya használatban van!"),
                         Messenger::Icon::Critical);
        return;
    }
    listMixerDestinations();
    destLineSelected();
    destinationVolumeChanged();
    m_meters.startVuMeter(card);
}

void AudioLines::listMixerDestinations() {
    QComboBox* list = m_lines.destinationLine;
    {
        const QSignalBlocker quiet(list);
        list->clear();
        for (int d = 0; m_mixer && d < m_mixer->destinationCount(); ++d) {
            if (const auto line = m_mixer->destination(d))
                list->addItem(line->name, line->connections);
        }
    }
    if (list->count() > 0)
        setListText(list, list->itemText(list->count() >= 2 ? 1 : 0),
                    [this] { destLineSelected(); });
}

void AudioLines::destLineSelected() {
    QComboBox* inputs = m_sources.audioInput;
    const QSignalBlocker quiet(inputs);
    inputs->clear();
    const int d = m_lines.destinationLine->currentIndex();
    if (!m_mixer || d < 0) return;
    const auto line = m_mixer->destination(d);
    if (!line) return;
    listLineControls(*line, m_destinationLineControls, m_lines.destinationLines);
    const int sources = m_lines.destinationLine->itemData(d).toInt();
    for (int s = 0; s < sources; ++s) {
        if (const auto source = m_mixer->source(d, s)) inputs->addItem(source->name);
    }
    inputs->setCurrentIndex(-1);  // the saved or the card's own line is chosen later
}

void AudioLines::inputSelected() {
    {
        const QSignalBlocker quiet(m_lines.sourceLines);
        m_lines.sourceLines->clear();
    }
    if (!m_mixer) return;
    const auto line = m_mixer->source(m_lines.destinationLine->currentIndex(),
                                      m_sources.audioInput->currentIndex());
    if (!line) return;
    listLineControls(*line, m_sourceLineControls, m_lines.sourceLines);
    // The destination's source selector counts its items from the last line:
    // the last line is item 0. Only a selector is set this way; a level in its
    // place would otherwise be turned down to the line's number.
    const int c = m_sources.audioInput->count();
    const int k = m_sources.audioInput->currentIndex();
    const int chosen = row(m_lines.destinationLines);
    if (k >= 0 && chosen >= 0 && chosen < kMaxControls &&
        m_destinationLineControls[size_t(chosen)].multipleItems)
        setMixerControlValue(m_destinationLineControls[size_t(chosen)], c - k - 1);
}

void AudioLines::listLineControls(const MixerLine& line, Controls& controls, QListWidget* list) {
    const bool sourceList = list == m_lines.sourceLines;
    {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    const auto all = m_mixer ? m_mixer->controls(line) : std::nullopt;
    if (!all) return;
    // Lines with more than 21 controls show their first 21.
    const int count = std::min(int(all->size()), kMaxControls);
    for (int i = 0; i < count; ++i) {
        controls[size_t(i)] = (*all)[size_t(i)];
        const QSignalBlocker quiet(list);
        list->addItem(controls[size_t(i)].shortName);
    }
    const auto select = [&](int position) {
        {
            const QSignalBlocker quiet(list);
            list->setCurrentRow(position);
        }
        if (sourceList)
            sourceLinesSelected();
        else
            destinationLinesSelected();
    };
    if (list->count() > 0) select(0);
    // A line whose first control is a switch (reads 0 or 1) ends on its last control.
    if (sourceList && list->count() > 0 && mixerControlValue(controls[size_t(row(list))]) <= 1)
        select(list->count() - 1);
}

void AudioLines::listSelected(const Controls& controls, QListWidget* list, QSlider* slider) {
    const int i = row(list);
    if (i < 0 || i >= kMaxControls) return;
    const MixerControl& c = controls[size_t(i)];
    {
        // Only the value set last is the card's: the bounds must not push a
        // clamped value to the card on the way.
        const QSignalBlocker quiet(slider);
        slider->setMaximum(c.maximum);
        slider->setMinimum(c.minimum);
    }
    const int value = mixerControlValue(c);
    if (slider->value() == value) return;
    slider->setValue(value);
}

void AudioLines::sourceLinesSelected() {
    listSelected(m_sourceLineControls, m_lines.sourceLines, m_lines.sourceVolume);
}

void AudioLines::destinationLinesSelected() {
    listSelected(m_destinationLineControls, m_lines.destinationLines, m_lines.destinationVolume);
}

void AudioLines::sourceVolumeChanged() {
    const int i = row(m_lines.sourceLines);
    if (i >= 0 && i < kMaxControls)
        setMixerControlValue(m_sourceLineControls[size_t(i)], m_lines.sourceVolume->value());
}

void AudioLines::destinationVolumeChanged() {
    const int i = row(m_lines.destinationLines);
    if (i < 0 || i >= kMaxControls) return;
    QSlider* slider = m_lines.destinationVolume;
    setMixerControlValue(m_destinationLineControls[size_t(i)], slider->value());
    QComboBox* inputs = m_sources.audioInput;
    const int position = inputs->count() - slider->value() - 1;
    if (inputs->count() != slider->maximum() + 1 || position < 0 || position >= inputs->count())
        return;
    {
        const QSignalBlocker quiet(inputs);
        inputs->setCurrentIndex(position);
    }
    inputSelected();
}

}  // namespace kelm
