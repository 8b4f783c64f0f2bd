#pragma once

#include "capture/CaptureDevices.h"
#include "capture/LevelCapture.h"
#include "capture/SoundMixer.h"
#include "capture/TunerTables.h"
#include "capture/VuMeter.h"

#include <QHash>
#include <QSet>
#include <cmath>
#include <map>
#include <vector>

namespace kelm::test {

// The meters' display: the last levels, how often they and the waveforms
// came, and the first point of the left waveform.
class MeterDisplay final : public LevelDisplay {
public:
    int scopeHeight() const override { return 44; }
    void showLevels(int l, int r) override {
        left = l;
        right = r;
        ++levelUpdates;
    }
    void showTraces(const WaveTrace& l, const WaveTrace&) override {
        ++traces;
        firstY = l.points[0].y();
    }
    int left = -1;
    int right = -1;
    int levelUpdates = 0;
    int traces = 0;
    int firstY = -1;
};

class FakeSoundCards final : public SoundCardList {
public:
    QStringList captureDevices() override { return cards; }
    QStringList cards{QStringLiteral("Teszt hangkártya"), QStringLiteral("Másik kártya")};
};

// Capture devices that behave like ideal V4L2 cards: every request is
// recorded (device, what, value) and answered Done, unless the test makes a
// device fail or refuse a kind of request. Tuning is recorded as "channel",
// the questions as "standard" and "pixelFormat"; the settings the engine
// brings the device to as "apply" (the input).
class FakeVideoDevices final : public VideoDeviceList {
public:
    struct Request {
        QString device;
        QString what;  // channel, standard, pixelFormat, apply
        std::int64_t value;
        bool operator==(const Request&) const = default;
    };

    QStringList devices() override { return names; }
    QStringList inputs(const QString& device) override {
        ++inputQueries;
        if (!names.contains(device)) return {};  // no such card: no node to ask
        return deviceInputs.value(device,
                                  {QStringLiteral("Video Tuner"), QStringLiteral("Composite")});
    }
    QString nodeOf(const QString& device) override {
        return names.contains(device) ? QStringLiteral("/dev/video-fake") : QString();
    }
    int highestChannel(const QString& device, const VideoCaptureSettings& settings) override {
        if (failing.contains(device)) return 0;
        return highest.value(
            device,
            int(ChannelTables::table(ChannelTables::TunerInput(settings.tunerInput)).size()));
    }
    std::optional<int> currentChannel(const QString& device, const VideoCaptureSettings&) override {
        if (failing.contains(device) || !channel.contains(device)) return std::nullopt;
        return channel.value(device);
    }
    DeviceResult tune(const QString& d, const VideoCaptureSettings& settings) override {
        const DeviceResult r = record(d, QStringLiteral("channel"), settings.channel);
        if (r == DeviceResult::Done) {
            channel.insert(d, settings.channel);
            tunedTables << settings.tunerInput;
        }
        return r;
    }
    DeviceResult checkStandard(const QString& d, int, std::uint32_t value) override {
        return record(d, QStringLiteral("standard"), value);
    }
    DeviceResult checkPixelFormat(const QString& d, std::uint32_t value) override {
        return record(d, QStringLiteral("pixelFormat"), value);
    }
    DeviceResult applyCaptureSettings(const QString& d,
                                      const VideoCaptureSettings& settings) override {
        applied.push_back(settings);
        return record(d, QStringLiteral("apply"), settings.input);
    }

    // The requests of one kind, in order.
    std::vector<std::int64_t> sent(const QString& what) const {
        std::vector<std::int64_t> result;
        for (const Request& r : requests) {
            if (r.what == what) result.push_back(r.value);
        }
        return result;
    }

    QStringList names;
    QHash<QString, QStringList> deviceInputs;
    QHash<QString, int> highest;
    QHash<QString, int> channel;
    QList<int> tunedTables;               // the table of every tuning, in order
    QSet<QString> failing;                // every request fails
    QHash<QString, DeviceResult> refuse;  // what -> answer instead of Done
    std::vector<Request> requests;
    std::vector<VideoCaptureSettings> applied;
    int inputQueries = 0;

private:
    DeviceResult record(const QString& device, const QString& what, std::int64_t value) {
        if (failing.contains(device)) return DeviceResult::Failed;
        requests.push_back({device, what, value});
        return refuse.value(what, DeviceResult::Done);
    }
};

// A sound card's mixer held in memory: destinations with their own controls
// and source lines with theirs. Values are per control; a selector holds the
// chosen item. Writes outside a control's bounds are refused.
struct FakeMixerModel {
    struct Control {
        MixerControl info;
        std::int32_t value = 0;  // a selector: the chosen item, -1 none
    };
    struct Line {
        QString name;
        std::vector<int> controls;  // indices into `controls`
    };
    struct Destination {
        Line line;
        std::vector<Line> sources;
    };

    int addControl(const QString& name, std::int32_t minimum, std::int32_t maximum,
                   std::int32_t value, int items = 0) {
        Control c;
        c.info.id = std::uint32_t(controls.size());
        c.info.shortName = name;
        c.info.minimum = minimum;
        c.info.maximum = maximum;
        c.info.multipleItems = items > 0;
        c.info.itemCount = items;
        c.value = value;
        controls.push_back(c);
        return int(c.info.id);
    }

    // A typical card: "Playback" (Master) and "Capture" with a three-way
    // selector over Mic, Line and CD, each line with a volume and a switch.
    static FakeMixerModel typicalCard() {
        FakeMixerModel m;
        Destination play;
        play.line.name = QStringLiteral("Playback");
        play.line.controls = {m.addControl(QStringLiteral("Master Volume"), 0, 31, 20)};
        m.destinations.push_back(play);
        Destination rec;
        rec.line.name = QStringLiteral("Capture");
        rec.line.controls = {m.addControl(QStringLiteral("Capture Source"), 0, 2, 0, 3),
                             m.addControl(QStringLiteral("Capture Volume"), 0, 65536, 40000)};
        for (const char* name : {"Mic", "Line", "CD"}) {
            Line s;
            s.name = QString::fromLatin1(name);
            s.controls = {m.addControl(s.name + QStringLiteral(" Volume"), 0, 65536, 40000),
                          m.addControl(s.name + QStringLiteral(" Switch"), 0, 1, 1)};
            rec.sources.push_back(s);
        }
        m.destinations.push_back(rec);
        return m;
    }

    std::vector<Control> controls;
    std::vector<Destination> destinations;
    int writes = 0;
    bool failReads = false;
    bool refuseWrites = false;
};

class FakeMixer final : public SoundMixer {
public:
    explicit FakeMixer(FakeMixerModel& model) : m_model(model) {}

    int destinationCount() override { return int(m_model.destinations.size()); }
    std::optional<MixerLine> destination(int d) override {
        if (d < 0 || d >= destinationCount()) return std::nullopt;
        const auto& dest = m_model.destinations[size_t(d)];
        return MixerLine{dest.line.name, lineId(d, -1), int(dest.sources.size()),
                         int(dest.line.controls.size())};
    }
    std::optional<MixerLine> source(int d, int s) override {
        if (d < 0 || d >= destinationCount() || s < 0 ||
            s >= int(m_model.destinations[size_t(d)].sources.size()))
            return std::nullopt;
        const auto& line = m_model.destinations[size_t(d)].sources[size_t(s)];
        return MixerLine{line.name, lineId(d, s), 0, int(line.controls.size())};
    }
    std::optional<std::vector<MixerControl>> controls(const MixerLine& line) override {
        const int d = int(line.lineId / 100) - 1;
        const int s = int(line.lineId % 100) - 1;
        if (d < 0 || d >= destinationCount()) return std::nullopt;
        const auto& dest = m_model.destinations[size_t(d)];
        const auto& l = s < 0 ? dest.line : dest.sources.at(size_t(s));
        std::vector<MixerControl> result;
        for (int c : l.controls) result.push_back(m_model.controls[size_t(c)].info);
        return result;
    }
    bool readValues(const MixerControl& control, std::span<std::uint32_t> values) override {
        if (m_model.failReads || control.id >= m_model.controls.size()) return false;
        const auto& c = m_model.controls[control.id];
        if (c.info.multipleItems) {
            for (size_t i = 0; i < values.size(); ++i)
                values[i] = std::int32_t(i) == c.value ? 1 : 0;
        } else {
            values[0] = std::uint32_t(c.value);
        }
        return true;
    }
    bool writeValues(const MixerControl& control, std::span<const std::uint32_t> values) override {
        ++m_model.writes;
        lastWritten.assign(values.begin(), values.end());
        if (m_model.refuseWrites || control.id >= m_model.controls.size()) return false;
        auto& c = m_model.controls[control.id];
        if (c.info.multipleItems) {
            for (size_t i = 0; i < values.size(); ++i) {
                if (values[i] != 0) {
                    c.value = std::int32_t(i);
                    return true;
                }
            }
            return false;
        }
        const auto v = std::int32_t(values[0]);
        if (v < c.info.minimum || v > c.info.maximum) return false;
        c.value = v;
        return true;
    }
    std::vector<std::uint32_t> lastWritten;

private:
    static std::uint32_t lineId(int d, int s) { return std::uint32_t((d + 1) * 100 + (s + 1)); }
    FakeMixerModel& m_model;
};

// Mixers of several cards by name; a card not in `models` or in `busy`
// cannot be opened.
class FakeSoundMixers final : public SoundMixerDevices {
public:
    FakeSoundMixers() {
        models[QStringLiteral("Teszt hangkártya")] = FakeMixerModel::typicalCard();
        models[QStringLiteral("Másik kártya")] = FakeMixerModel::typicalCard();
    }
    std::unique_ptr<SoundMixer> open(const QString& card) override {
        opened << card;
        if (busy.contains(card) || !models.count(card)) return nullptr;
        auto mixer = std::make_unique<FakeMixer>(models[card]);
        last = mixer.get();
        return mixer;
    }
    std::map<QString, FakeMixerModel> models;
    QSet<QString> busy;
    QStringList opened;
    FakeMixer* last = nullptr;
};

// A capture device that fills queued buffers on demand with frames from a
// generator (a full-scale square wave, a tone of a level, silence).
class FakeLevelCapture final : public LevelCapture {
public:
    bool open(const QString& card) override {
        opened << card;
        if (refuse.contains(card)) return false;
        m_open = true;
        m_card = card;
        return true;
    }
    bool isOpen() const override { return m_open; }
    bool addBuffer(CaptureBuffer& buffer) override {
        ++added;
        return m_queue.push(buffer);
    }
    bool collect() override {
        ++collects;
        if (lost) return false;
        deliver(pendingFrames);
        pendingFrames = 0;
        return true;
    }
    void close() override {
        m_queue.returnAll();
        m_open = false;
    }

    // Fills `frames` frames into the queued buffers now, from `sample(i)`
    // (left, right) counted on from the last frame delivered.
    void deliver(int frames) {
        while (frames > 0) {
            CaptureBuffer* b = m_queue.head();
            if (!b) return;
            const int n = std::min(frames, CaptureBuffer::kFrames - b->framesRecorded);
            for (int i = 0; i < n; ++i) {
                const auto [l, r] = sample(m_frame++);
                b->samples[size_t(b->framesRecorded + i) * 2] = l;
                b->samples[size_t(b->framesRecorded + i) * 2 + 1] = r;
            }
            m_queue.advance(n);
            frames -= n;
        }
    }
    int queued() const { return m_queue.size(); }
    QString card() const { return m_card; }

    std::function<std::pair<std::int16_t, std::int16_t>(std::int64_t frame)> sample =
        [](std::int64_t) {
            return std::pair<std::int16_t, std::int16_t>{0, 0};
        };
    int pendingFrames = 0;  // delivered at the next collect()
    bool lost = false;
    QSet<QString> refuse;
    QStringList opened;
    int added = 0;
    int collects = 0;

private:
    CaptureQueue m_queue;
    bool m_open = false;
    QString m_card;
    std::int64_t m_frame = 0;
};

}  // namespace kelm::test
