#include "AlsaMixer.h"
#include <QDebug>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "AlsaSoundCards.h"

#include <alsa/asoundlib.h>

namespace kelm {
namespace {

struct MixerClose {
    void operator()(snd_mixer_t* m) const { snd_mixer_close(m); }
};
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerClose>;

enum class Kind { PlaybackVolume, PlaybackSwitch, CaptureVolume, CaptureSwitch, CaptureSelector };

struct Control {
    snd_mixer_elem_t* elem = nullptr;
    Kind kind = Kind::CaptureVolume;
    MixerControl info;
};

struct Line {
    MixerLine info;
    std::vector<int> controls;  // indices into the mixer's control table
};

struct Destination {
    Line line;
    std::vector<Line> sources;
};

MixerHandle openMixer(const QString& device) {
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0) return nullptr;
    MixerHandle mixer(raw);
    const QByteArray name = device.toUtf8();
    if (snd_mixer_attach(mixer.get(), name.constData()) < 0 ||
        snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0 ||
        snd_mixer_load(mixer.get()) < 0)
        return nullptr;
    return mixer;
}

class AlsaMixer final : public SoundMixer {
public:
    explicit AlsaMixer(MixerHandle mixer) : m_mixer(std::move(mixer)) { build(); }

    int destinationCount() override { return int(m_destinations.size()); }

    std::optional<MixerLine> destination(int d) override {
        if (d < 0 || d >= destinationCount()) return std::nullopt;
        return m_destinations[size_t(d)].line.info;
    }

    std::optional<MixerLine> source(int d, int s) override {
        if (d < 0 || d >= destinationCount()) return std::nullopt;
        const auto& sources = m_destinations[size_t(d)].sources;
        if (s < 0 || s >= int(sources.size())) return std::nullopt;
        return sources[size_t(s)].info;
    }

    std::optional<std::vector<MixerControl>> controls(const MixerLine& line) override {
        const Line* found = findLine(line.lineId);
        if (!found) return std::nullopt;
        std::vector<MixerControl> result;
        for (int c : found->controls) result.push_back(m_controls[size_t(c)].info);
        return result;
    }

    bool readValues(const MixerControl& control, std::span<std::uint32_t> values) override {
        if (control.id >= m_controls.size() || values.empty()) return false;
        // Changes made outside KELM arrive as events; without this the simple
        // mixer keeps answering its old values.
        snd_mixer_handle_events(m_mixer.get());
        const Control& c = m_controls[control.id];
        long volume = 0;
        int on = 0;
        unsigned item = 0;
        switch (c.kind) {
            case Kind::PlaybackVolume:
                if (snd_mixer_selem_get_playback_volume(c.elem, SND_MIXER_SCHN_FRONT_LEFT,
                                                        &volume) < 0)
                    return false;
                values[0] = std::uint32_t(volume);
                return true;
            case Kind::CaptureVolume:
                if (snd_mixer_selem_get_capture_volume(c.elem, SND_MIXER_SCHN_FRONT_LEFT, &volume) <
                    0)
                    return false;
                values[0] = std::uint32_t(volume);
                return true;
            case Kind::PlaybackSwitch:
                if (snd_mixer_selem_get_playback_switch(c.elem, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0)
                    return false;
                values[0] = on ? 1 : 0;
                return true;
            case Kind::CaptureSwitch:
                if (snd_mixer_selem_get_capture_switch(c.elem, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0)
                    return false;
                values[0] = on ? 1 : 0;
                return true;
            case Kind::CaptureSelector:
                if (snd_mixer_selem_get_enum_item(c.elem, SND_MIXER_SCHN_FRONT_LEFT, &item) < 0)
                    return false;
                for (auto& v : values) v = 0;
                if (item < values.size()) values[item] = 1;
                return true;
        }
        return false;
    }

    bool writeValues(const MixerControl& control, std::span<const std::uint32_t> values) override {
        if (control.id >= m_controls.size() || values.empty()) return false;
        const Control& c = m_controls[control.id];
        const long value = long(std::int32_t(values[0]));
        if (c.kind != Kind::CaptureSelector && (value < c.info.minimum || value > c.info.maximum))
            return false;
        switch (c.kind) {
            case Kind::PlaybackVolume:
                return snd_mixer_selem_set_playback_volume_all(c.elem, value) == 0;
            case Kind::CaptureVolume:
                return snd_mixer_selem_set_capture_volume_all(c.elem, value) == 0;
            case Kind::PlaybackSwitch:
                return snd_mixer_selem_set_playback_switch_all(c.elem, int(value)) == 0;
            case Kind::CaptureSwitch:
                return snd_mixer_selem_set_capture_switch_all(c.elem, int(value)) == 0;
            case Kind::CaptureSelector:
                for (size_t i = 0; i < values.size(); ++i) {
                    if (values[i] != 0) {
                        bool ok = false;
                        for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch)
                            ok = snd_mixer_selem_set_enum_item(
                                     c.elem, snd_mixer_selem_channel_id_t(ch), unsigned(i)) == 0 ||
                                 ok;
                        return ok;
                    }
                }
                return false;
        }
        return false;
    }

private:
    int addControl(snd_mixer_elem_t* elem, Kind kind) {
        Control c;
        c.elem = elem;
        c.kind = kind;
        c.info.id = std::uint32_t(m_controls.size());
        const QString name = QString::fromUtf8(snd_mixer_selem_get_name(elem));
        long lo = 0;
        long hi = 1;
        switch (kind) {
            case Kind::PlaybackVolume:
                snd_mixer_selem_get_playback_volume_range(elem, &lo, &hi);
                c.info.shortName = name + QStringLiteral(" Volume");
                break;
            case Kind::CaptureVolume:
                snd_mixer_selem_get_capture_volume_range(elem, &lo, &hi);
                c.info.shortName = name + QStringLiteral(" Volume");
                break;
            case Kind::PlaybackSwitch:
            case Kind::CaptureSwitch:
                c.info.shortName = name + QStringLiteral(" Switch");
                break;
            case Kind::CaptureSelector: {
                const int items = snd_mixer_selem_get_enum_items(elem);
                c.info.shortName = name;
                c.info.multipleItems = true;
                c.info.itemCount = std::max(items, 0);
                lo = 0;
                hi = std::max(items - 1, 0);
                break;
            }
        }
        c.info.minimum = std::int32_t(lo);
        c.info.maximum = std::int32_t(hi);
        m_controls.push_back(c);
        return int(c.info.id);
    }

    void addCaptureControls(Line& line, snd_mixer_elem_t* elem) {
        if (snd_mixer_selem_has_capture_volume(elem))
            line.controls.push_back(addControl(elem, Kind::CaptureVolume));
        if (snd_mixer_selem_has_capture_switch(elem))
            line.controls.push_back(addControl(elem, Kind::CaptureSwitch));
    }

    // The mixer's simple elements as the lines are made of them.
    struct Elements {
        snd_mixer_elem_t* master = nullptr;      // the playback destination's own controls
        std::vector<snd_mixer_elem_t*> playing;  // the other playback elements
        std::vector<snd_mixer_elem_t*> capturing;
        snd_mixer_elem_t* capture = nullptr;   // the capture destination's own controls
        snd_mixer_elem_t* selector = nullptr;  // the capture-source selector
    };

    void build() {
        const Elements found = findElements();
        std::uint32_t nextLineId = 1;
        if (found.master || !found.playing.empty()) addPlaybackDestination(found, &nextLineId);
        if (found.selector || !found.capturing.empty()) addCaptureDestination(found, &nextLineId);
        for (Destination& d : m_destinations) {
            d.line.info.connections = int(d.sources.size());
            d.line.info.controlCount = int(d.line.controls.size());
            for (Line& s : d.sources) s.info.controlCount = int(s.controls.size());
        }
    }

    Elements findElements() const {
        Elements found;
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer.get()); e;
             e = snd_mixer_elem_next(e)) {
            if (!snd_mixer_selem_is_active(e)) continue;
            const QString name = QString::fromUtf8(snd_mixer_selem_get_name(e));
            if (snd_mixer_selem_is_enum_capture(e)) {
                if (!found.selector) found.selector = e;
                continue;
            }
            if (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e)) {
                if (name == u"Master" && !found.master)
                    found.master = e;
                else
                    found.playing.push_back(e);
            }
            if (snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e)) {
                found.capturing.push_back(e);
                if (name == u"Capture" && !found.capture) found.capture = e;
            }
        }
        if (!found.capture && !found.capturing.empty()) found.capture = found.capturing.front();
        return found;
    }

    void addPlaybackControls(Line& line, snd_mixer_elem_t* elem) {
        if (snd_mixer_selem_has_playback_volume(elem))
            line.controls.push_back(addControl(elem, Kind::PlaybackVolume));
        if (snd_mixer_selem_has_playback_switch(elem))
            line.controls.push_back(addControl(elem, Kind::PlaybackSwitch));
    }

    void addPlaybackDestination(const Elements& found, std::uint32_t* nextLineId) {
        Destination d;
        d.line.info.name = QStringLiteral("Playback");
        d.line.info.lineId = (*nextLineId)++;
        if (found.master) addPlaybackControls(d.line, found.master);
        for (snd_mixer_elem_t* e : found.playing) {
            Line s;
            s.info.name = QString::fromUtf8(snd_mixer_selem_get_name(e));
            s.info.lineId = (*nextLineId)++;
            addPlaybackControls(s, e);
            d.sources.push_back(std::move(s));
        }
        m_destinations.push_back(std::move(d));
    }

    void addCaptureDestination(const Elements& found, std::uint32_t* nextLineId) {
        Destination d;
        d.line.info.name = QStringLiteral("Capture");
        d.line.info.lineId = (*nextLineId)++;
        if (found.selector)
            d.line.controls.push_back(addControl(found.selector, Kind::CaptureSelector));
        if (found.capture) addCaptureControls(d.line, found.capture);
        if (found.selector) {
            addSelectorSources(d, found, nextLineId);
        } else {
            for (snd_mixer_elem_t* e : found.capturing) {
                Line s;
                s.info.name = QString::fromUtf8(snd_mixer_selem_get_name(e));
                s.info.lineId = (*nextLineId)++;
                addCaptureControls(s, e);
                d.sources.push_back(std::move(s));
            }
        }
        m_destinations.push_back(std::move(d));
    }

    // Source line k is the selector's item (count - k - 1).
    void addSelectorSources(Destination& d, const Elements& found, std::uint32_t* nextLineId) {
        const int items = snd_mixer_selem_get_enum_items(found.selector);
        for (int k = 0; k < items; ++k) {
            char name[64] = {};
            snd_mixer_selem_get_enum_item_name(found.selector, unsigned(items - k - 1),
                                               sizeof name - 1, name);
            Line s;
            s.info.name = QString::fromUtf8(name);
            s.info.lineId = (*nextLineId)++;
            for (snd_mixer_elem_t* e : found.capturing) {
                if (s.info.name == QString::fromUtf8(snd_mixer_selem_get_name(e)))
                    addCaptureControls(s, e);
            }
            d.sources.push_back(std::move(s));
        }
    }

    const Line* findLine(std::uint32_t id) const {
        for (const Destination& d : m_destinations) {
            if (d.line.info.lineId == id) return &d.line;
            for (const Line& s : d.sources) {
                if (s.info.lineId == id) return &s;
            }
        }
        return nullptr;
    }

    MixerHandle m_mixer;
    std::vector<Control> m_controls;
    std::vector<Destination> m_destinations;
};

}  // namespace

namespace {

// How long opening a mixer may take. A sound server that does not answer
// (stopped, hung) holds the open for as long as it is away; the card then
// counts as one whose mixer cannot be used now.
constexpr int kOpenDeadlineMs = 1500;

// An open on its own thread, which may outlive the caller that stopped
// waiting; the mixer it opened late is closed there.
struct PendingOpen {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    MixerHandle mixer{nullptr};
};

}  // namespace

std::unique_ptr<SoundMixer> AlsaMixerDevices::open(const QString& card) {
    const QString device = AlsaNames::mixerDevice(m_cards.pcmName(card));
    auto pending = std::make_shared<PendingOpen>();
    std::thread([pending, device] {
        MixerHandle mixer = openMixer(device);
        std::lock_guard guard(pending->lock);
        pending->finished = true;
        if (!pending->abandoned) pending->mixer = std::move(mixer);
        pending->done.notify_all();
    }).detach();
    std::unique_lock lock(pending->lock);
    if (!pending->done.wait_for(lock, std::chrono::milliseconds(kOpenDeadlineMs),
                                [&] { return pending->finished; })) {
        pending->abandoned = true;
        qWarning().noquote() << "the mixer of" << device << "did not open within" << kOpenDeadlineMs
                             << "ms";
        return nullptr;
    }
    if (!pending->mixer) return nullptr;
    return std::make_unique<AlsaMixer>(std::move(pending->mixer));
}

}  // namespace kelm
