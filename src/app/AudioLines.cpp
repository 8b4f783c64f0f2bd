#include "AudioLines.h"

#include "LevelMeters.h"
#include "MainForm.h"
#include "Messenger.h"

#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>

namespace kelm {

namespace {
int row(const QListWidget* list) {
    return list->currentRow();
}
}  // namespace

AudioLines::AudioLines(MainForm& form, SoundMixerDevices& mixers, Messenger& messenger,
                       LevelMeters& meters)
    : m_form(form), m_mixers(mixers), m_messenger(messenger), m_meters(meters) {}

AudioLines::~AudioLines() = default;

void AudioLines::wire() {
    QObject::connect(m_form.Slider1, &QSlider::valueChanged, m_form.Slider1,
                     [this] { slider1Changed(); });
    QObject::connect(m_form.Slider2, &QSlider::valueChanged, m_form.Slider2,
                     [this] { slider2Changed(); });
    QObject::connect(m_form.cboDestLine, &QComboBox::activated, m_form.cboDestLine,
                     [this] { destLineSelected(); });
}

// A list with no controls at all (a line without levels or switches) has
// nothing for its slider to follow; it does not hold up the status tick.
bool AudioLines::hasSelection() const {
    const auto chosen = [](const QListWidget* list) {
        return list->count() == 0 || list->currentRow() >= 0;
    };
    return chosen(m_form.List2) && chosen(m_form.List3);
}

int AudioLines::followedValue(const Controls& controls, const QListWidget* list,
                              const QSlider* slider) const {
    const int i = row(list);
    if (i < 0 || i >= kMaxControls) return slider->value();
    return GetMixerControlValue(controls[size_t(i)]);
}

int AudioLines::sourceControlValue() const {
    return followedValue(m_sourceLineControls, m_form.List2, m_form.Slider1);
}

int AudioLines::destinationControlValue() const {
    return followedValue(m_destinationLineControls, m_form.List3, m_form.Slider2);
}

int AudioLines::GetMixerControlValue(const MixerControl& control) const {
    return m_mixer ? MixerValues::get(*m_mixer, control) : 0;
}

bool AudioLines::SetMixerControlValue(const MixerControl& control, int value) {
    return m_mixer && MixerValues::set(*m_mixer, control, value);
}

void AudioLines::audioSourceSelected() {
    m_meters.StopVUMeter();
    const QString card = m_form.cboAudioSource->currentText();
    m_mixer = m_mixers.open(card);
    if (!m_mixer) {
        m_messenger.show(QStringLiteral("A hangkártya használatban van!"),
                         Messenger::Icon::Critical);
        return;
    }
    ListMixerDestinations();
    destLineSelected();
    slider2Changed();
    m_meters.StartVUMeter(card);
}

void AudioLines::ListMixerDestinations() {
    QComboBox* list = m_form.cboDestLine;
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
    QComboBox* inputs = m_form.cboInput;
    const QSignalBlocker quiet(inputs);
    inputs->clear();
    const int d = m_form.cboDestLine->currentIndex();
    if (!m_mixer || d < 0) return;
    const auto line = m_mixer->destination(d);
    if (!line) return;
    ListLineControls(*line, m_destinationLineControls, m_form.List3);
    const int sources = m_form.cboDestLine->itemData(d).toInt();
    for (int s = 0; s < sources; ++s) {
        if (const auto source = m_mixer->source(d, s)) inputs->addItem(source->name);
    }
    inputs->setCurrentIndex(-1);  // the saved or the card's own line is chosen later
}

void AudioLines::inputSelected() {
    {
        const QSignalBlocker quiet(m_form.List2);
        m_form.List2->clear();
    }
    if (!m_mixer) return;
    const auto line =
        m_mixer->source(m_form.cboDestLine->currentIndex(), m_form.cboInput->currentIndex());
    if (!line) return;
    ListLineControls(*line, m_sourceLineControls, m_form.List2);
    // The destination's source selector counts its items from the last line:
    // the last line is item 0. Only a selector is set this way; a level in its
    // place would otherwise be turned down to the line's number.
    const int c = m_form.cboInput->count();
    const int k = m_form.cboInput->currentIndex();
    const int chosen = row(m_form.List3);
    if (k >= 0 && chosen >= 0 && chosen < kMaxControls &&
        m_destinationLineControls[size_t(chosen)].multipleItems)
        SetMixerControlValue(m_destinationLineControls[size_t(chosen)], c - k - 1);
}

void AudioLines::ListLineControls(const MixerLine& line, Controls& controls, QListWidget* list) {
    const bool sourceList = list == m_form.List2;
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
            list2Selected();
        else
            list3Selected();
    };
    if (list->count() > 0) select(0);
    // A line whose first control is a switch (reads 0 or 1) ends on its last control.
    if (sourceList && list->count() > 0 && GetMixerControlValue(controls[size_t(row(list))]) <= 1)
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
    const int value = GetMixerControlValue(c);
    if (slider->value() == value) return;
    slider->setValue(value);
}

void AudioLines::list2Selected() {
    listSelected(m_sourceLineControls, m_form.List2, m_form.Slider1);
}

void AudioLines::list3Selected() {
    listSelected(m_destinationLineControls, m_form.List3, m_form.Slider2);
}

void AudioLines::slider1Changed() {
    const int i = row(m_form.List2);
    if (i >= 0 && i < kMaxControls)
        SetMixerControlValue(m_sourceLineControls[size_t(i)], m_form.Slider1->value());
}

void AudioLines::slider2Changed() {
    const int i = row(m_form.List3);
    if (i < 0 || i >= kMaxControls) return;
    QSlider* slider = m_form.Slider2;
    SetMixerControlValue(m_destinationLineControls[size_t(i)], slider->value());
    QComboBox* inputs = m_form.cboInput;
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
