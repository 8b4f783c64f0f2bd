#include "encoder/EncoderProfile.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <numeric>
#include <utility>

namespace kelm {
namespace {

// The two profile texts, value for value as KELM has always handed them to the
// encoder. Line breaks are CR LF; the indentation means nothing.
const char kProfile101[] =
    "<profile version=\"589824\"\r\n"
    "         storageformat=\"1\"\r\n"
    "         name=\"Adaptív átviteli sebességű hang (CBR) / Adaptív átviteli sebességű videó "
    "(CBR)\"\r\n"
    "         description=\"\">\r\n"
    "   <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\"\r\n"
    "                 streamnumber=\"1\"\r\n"
    "                 streamname=\"Audio Stream\"\r\n"
    "                 inputname=\"Audio40e\"\r\n"
    "                 bitrate=\"64040\"\r\n"
    "                 bufferwindow=\"-1\"\r\n"
    "                 reliabletransport=\"0\"\r\n"
    "                 decodercomplexity=\"\"\r\n"
    "                 rfc1766langid=\"hu\"\r\n"
    "   >\r\n"
    "      <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"\r\n"
    "                   bfixedsizesamples=\"1\"\r\n"
    "                   btemporalcompression=\"0\"\r\n"
    "                   lsamplesize=\"1487\">\r\n"
    "         <waveformatex wFormatTag=\"353\"\r\n"
    "                       nChannels=\"2\"\r\n"
    "                       nSamplesPerSec=\"44100\"\r\n"
    "                       nAvgBytesPerSec=\"8005\"\r\n"
    "                       nBlockAlign=\"1487\"\r\n"
    "                       wBitsPerSample=\"16\"\r\n"
    "                       codecdata=\"008800000F00792E0000\"/>\r\n"
    "      </wmmediatype>\r\n"
    "   </streamconfig>\r\n"
    "   <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\"\r\n"
    "                 streamnumber=\"2\"\r\n"
    "                 streamname=\"Video Stream\"\r\n"
    "                 inputname=\"Video40e\"\r\n"
    "                 bitrate=\"12000\"\r\n"
    "                 bufferwindow=\"-1\"\r\n"
    "                 reliabletransport=\"0\"\r\n"
    "                 decodercomplexity=\"CP\"\r\n"
    "                 rfc1766langid=\"hu\"\r\n"
    "   >\r\n"
    "      <videomediaprops maxkeyframespacing=\"10000000\"\r\n"
    "                       quality=\"10\"/>\r\n"
    "      <wmmediatype subtype=\"{33564D57-0000-0010-8000-00AA00389B71}\"\r\n"
    "                   bfixedsizesamples=\"0\"\r\n"
    "                   btemporalcompression=\"1\"\r\n"
    "                   lsamplesize=\"0\">\r\n"
    "         <videoinfoheader dwbitrate=\"12000\"\r\n"
    "                          dwbiterrorrate=\"0\"\r\n"
    "                          avgtimeperframe=\"10000000\">\r\n"
    "            <rcsource left=\"0\"\r\n"
    "                      top=\"0\"\r\n"
    "                      right=\"0\"\r\n"
    "                      bottom=\"0\"/>\r\n"
    "            <rctarget left=\"0\"\r\n"
    "                      top=\"0\"\r\n"
    "                      right=\"0\"\r\n"
    "                      bottom=\"0\"/>\r\n"
    "            <bitmapinfoheader biwidth=\"0\"\r\n"
    "                              biheight=\"0\"\r\n"
    "                              biplanes=\"1\"\r\n"
    "                              bibitcount=\"24\"\r\n"
    "                              bicompression=\"WMV3\"\r\n"
    "                              bisizeimage=\"0\"\r\n"
    "                              bixpelspermeter=\"0\"\r\n"
    "                              biypelspermeter=\"0\"\r\n"
    "                              biclrused=\"0\"\r\n"
    "                              biclrimportant=\"0\"/>\r\n"
    "         </videoinfoheader>\r\n"
    "      </wmmediatype>\r\n"
    "   </streamconfig>\r\n"
    "</profile>\r\n";

const char kProfile102[] =
    "<profile version=\"589824\"\r\n"
    "         storageformat=\"1\"\r\n"
    "         name=\"Video 512 K - Audio 64 K\"\r\n"
    "         description=\"\">\r\n"
    "   <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\"\r\n"
    "                 streamnumber=\"1\"\r\n"
    "                 streamname=\"Audio Stream\"\r\n"
    "                 inputname=\"Audio40e\"\r\n"
    "                 bitrate=\"64032\"\r\n"
    "                 bufferwindow=\"5000\"\r\n"
    "                 reliabletransport=\"0\"\r\n"
    "                 decodercomplexity=\"\"\r\n"
    "                 rfc1766langid=\"hu\"\r\n"
    "   >\r\n"
    "      <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"\r\n"
    "                   bfixedsizesamples=\"1\"\r\n"
    "                   btemporalcompression=\"0\"\r\n"
    "                   lsamplesize=\"1366\">\r\n"
    "         <waveformatex wFormatTag=\"353\"\r\n"
    "                       nChannels=\"2\"\r\n"
    "                       nSamplesPerSec=\"48000\"\r\n"
    "                       nAvgBytesPerSec=\"8004\"\r\n"
    "                       nBlockAlign=\"1366\"\r\n"
    "                       wBitsPerSample=\"16\"\r\n"
    "                       codecdata=\"008800000F00B12A0000\"/>\r\n"
    "      </wmmediatype>\r\n"
    "   </streamconfig>\r\n"
    "   <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\"\r\n"
    "                 streamnumber=\"2\"\r\n"
    "                 streamname=\"Video Stream\"\r\n"
    "                 inputname=\"Video40e\"\r\n"
    "                 bitrate=\"512000\"\r\n"
    "                 bufferwindow=\"-1\"\r\n"
    "                 reliabletransport=\"0\"\r\n"
    "                 decodercomplexity=\"AU\"\r\n"
    "                 rfc1766langid=\"hu\"\r\n"
    "   >\r\n"
    "      <videomediaprops maxkeyframespacing=\"80000000\"\r\n"
    "                       quality=\"60\"/>\r\n"
    "      <wmmediatype subtype=\"{33564D57-0000-0010-8000-00AA00389B71}\"\r\n"
    "                   bfixedsizesamples=\"0\"\r\n"
    "                   btemporalcompression=\"1\"\r\n"
    "                   lsamplesize=\"0\">\r\n"
    "         <videoinfoheader dwbitrate=\"512000\"\r\n"
    "                          dwbiterrorrate=\"0\"\r\n"
    "                          avgtimeperframe=\"400000\">\r\n"
    "            <rcsource left=\"0\"\r\n"
    "                      top=\"0\"\r\n"
    "                      right=\"384\"\r\n"
    "                      bottom=\"288\"/>\r\n"
    "            <rctarget left=\"0\"\r\n"
    "                      top=\"0\"\r\n"
    "                      right=\"384\"\r\n"
    "                      bottom=\"288\"/>\r\n"
    "            <bitmapinfoheader biwidth=\"384\"\r\n"
    "                              biheight=\"288\"\r\n"
    "                              biplanes=\"1\"\r\n"
    "                              bibitcount=\"24\"\r\n"
    "                              bicompression=\"WMV3\"\r\n"
    "                              bisizeimage=\"0\"\r\n"
    "                              bixpelspermeter=\"0\"\r\n"
    "                              biypelspermeter=\"0\"\r\n"
    "                              biclrused=\"0\"\r\n"
    "                              biclrimportant=\"0\"/>\r\n"
    "         </videoinfoheader>\r\n"
    "      </wmmediatype>\r\n"
    "   </streamconfig>\r\n"
    "</profile>\r\n";

const QLatin1StringView kAudioMajorType{"{73647561-0000-0010-8000-00AA00389B71}"};
const QLatin1StringView kVideoMajorType{"{73646976-0000-0010-8000-00AA00389B71}"};
constexpr int kWmaFormatTag = 353;  // 0x0161, Windows Media Audio 9 Standard

// Media subtypes are FOURCC GUIDs: the first eight hex digits hold the code.
// Any Windows Media Video 7/8/9 subtype is accepted and written as WMV2.
bool isWindowsMediaVideo(const QString& subtype, const QString& compression) {
    static const char* const kSubtypes[] = {
        "{31564D57-0000-0010-8000-00AA00389B71}",  // WMV1
        "{32564D57-0000-0010-8000-00AA00389B71}",  // WMV2
        "{33564D57-0000-0010-8000-00AA00389B71}",  // WMV3
    };
    bool subtypeOk = false;
    for (const char* s : kSubtypes)
        subtypeOk = subtypeOk || subtype.compare(QLatin1StringView(s), Qt::CaseInsensitive) == 0;
    const bool compressionOk = compression.isEmpty() || compression == QLatin1StringView("WMV1") ||
                               compression == QLatin1StringView("WMV2") ||
                               compression == QLatin1StringView("WMV3");
    return subtypeOk && compressionOk;
}

EncoderStatus refused(const QString& why) {
    return EncoderStatus::failure(EncoderErrorCode::ProfileRefused,
                                  QStringLiteral("profile refused: ") + why);
}

// Reads an integer attribute; a missing or non-numeric value is an error.
bool readInt(const QXmlStreamAttributes& a, const char* name, qint64* out, QString* error) {
    const QStringView text = a.value(QLatin1StringView(name));
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok) {
        *error =
            QStringLiteral("attribute %1 is missing or not a number").arg(QLatin1StringView(name));
        return false;
    }
    *out = v;
    return true;
}

// The fraction closest to num/den whose terms both stay within `limit`
// (continued fractions): the encoder's time base has 16-bit terms, and
// 10^7/333667 must come out as 30000/1001, not as a rounded-off neighbour.
std::pair<int, int> closestFraction(qint64 num, qint64 den, qint64 limit) {
    const qint64 g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (num <= limit && den <= limit) return {static_cast<int>(num), static_cast<int>(den)};
    qint64 p0 = 0, q0 = 1, p1 = 1, q1 = 0;  // convergents
    qint64 n = num, d = den;
    while (d != 0) {
        const qint64 a = n / d;
        const qint64 p2 = a * p1 + p0, q2 = a * q1 + q0;
        if (p2 > limit || q2 > limit) break;
        p0 = p1, q0 = q1, p1 = p2, q1 = q2;
        const qint64 r = n - a * d;
        n = d;
        d = r;
    }
    if (q1 == 0) return {static_cast<int>(limit), 1};
    return {static_cast<int>(p1), static_cast<int>(q1)};
}

// Reads a profile text element by element. Each element's reader checks
// what the element asks for and refuses what cannot be encoded; the profile
// is handed out only when the whole text has been read and is complete.
class ProfileReader final {
public:
    explicit ProfileReader(const QString& xml) : m_reader(xml) {
        m_profile.videoCodec = QStringLiteral("wmv2");
        m_profile.audioCodec = QStringLiteral("wmav2");
    }

    EncoderStatus read(EncoderProfile* out);

private:
    // Which streamconfig the reader is inside.
    enum class Stream { None, Audio, Video };

    EncoderStatus readElement(QStringView name, const QXmlStreamAttributes& a);
    EncoderStatus readProfile(const QXmlStreamAttributes& a);
    EncoderStatus readStreamConfig(const QXmlStreamAttributes& a);
    EncoderStatus readWaveFormat(const QXmlStreamAttributes& a);
    EncoderStatus readVideoMediaProps(const QXmlStreamAttributes& a);
    EncoderStatus readMediaType(const QXmlStreamAttributes& a) const;
    EncoderStatus readVideoInfoHeader(const QXmlStreamAttributes& a);
    EncoderStatus readBitmapInfoHeader(const QXmlStreamAttributes& a);
    EncoderStatus checkComplete() const;

    QXmlStreamReader m_reader;
    EncoderProfile m_profile;
    bool m_profileSeen = false;
    bool m_audioSeen = false;
    bool m_videoSeen = false;
    Stream m_current = Stream::None;
};

EncoderStatus ProfileReader::read(EncoderProfile* out) {
    while (!m_reader.atEnd()) {
        const auto token = m_reader.readNext();
        if (token == QXmlStreamReader::EndElement &&
            m_reader.name() == QLatin1StringView("streamconfig")) {
            m_current = Stream::None;
            continue;
        }
        if (token != QXmlStreamReader::StartElement) continue;
        const EncoderStatus status = readElement(m_reader.name(), m_reader.attributes());
        if (!status.ok()) return status;
    }
    const EncoderStatus status = checkComplete();
    if (status.ok()) *out = m_profile;
    return status;
}

EncoderStatus ProfileReader::readElement(QStringView name, const QXmlStreamAttributes& a) {
    if (name == QLatin1StringView("profile")) return readProfile(a);
    if (!m_profileSeen) return refused(QStringLiteral("the root element is not a profile"));
    if (name == QLatin1StringView("streamconfig")) return readStreamConfig(a);
    if (name == QLatin1StringView("waveformatex")) return readWaveFormat(a);
    if (name == QLatin1StringView("videomediaprops")) return readVideoMediaProps(a);
    if (name == QLatin1StringView("wmmediatype")) return readMediaType(a);
    if (name == QLatin1StringView("videoinfoheader")) return readVideoInfoHeader(a);
    if (name == QLatin1StringView("bitmapinfoheader")) return readBitmapInfoHeader(a);
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::readProfile(const QXmlStreamAttributes& a) {
    if (m_profileSeen) return refused(QStringLiteral("more than one profile element"));
    m_profileSeen = true;
    m_profile.name = a.value(QLatin1StringView("name")).toString();
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::readStreamConfig(const QXmlStreamAttributes& a) {
    if (m_current != Stream::None) return refused(QStringLiteral("nested streamconfig"));
    const QStringView major = a.value(QLatin1StringView("majortype"));
    QString error;
    qint64 streamBitrate = 0;
    if (!readInt(a, "bitrate", &streamBitrate, &error)) return refused(error);
    if (major.compare(kAudioMajorType, Qt::CaseInsensitive) == 0) {
        if (m_audioSeen) return refused(QStringLiteral("more than one audio stream"));
        m_audioSeen = true;
        m_current = Stream::Audio;
        m_profile.audioBitrate = streamBitrate;
    } else if (major.compare(kVideoMajorType, Qt::CaseInsensitive) == 0) {
        if (m_videoSeen) return refused(QStringLiteral("more than one video stream"));
        m_videoSeen = true;
        m_current = Stream::Video;
        m_profile.videoBitrate = streamBitrate;
    } else {
        return refused(QStringLiteral("unknown stream type ") + major.toString());
    }
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::readWaveFormat(const QXmlStreamAttributes& a) {
    if (m_current != Stream::Audio)
        return refused(QStringLiteral("waveformatex outside the audio stream"));
    QString error;
    qint64 tag = 0, channels = 0, rate = 0, bits = 0;
    if (!readInt(a, "wFormatTag", &tag, &error) || !readInt(a, "nChannels", &channels, &error) ||
        !readInt(a, "nSamplesPerSec", &rate, &error) ||
        !readInt(a, "wBitsPerSample", &bits, &error))
        return refused(error);
    if (tag != kWmaFormatTag)
        return refused(QStringLiteral("audio format tag %1 cannot be encoded").arg(tag));
    if (channels < 1 || channels > 2)
        return refused(QStringLiteral("%1 audio channels cannot be encoded").arg(channels));
    if (rate < 8000 || rate > 48000)
        return refused(QStringLiteral("sample rate %1 Hz cannot be encoded").arg(rate));
    if (bits != 16) return refused(QStringLiteral("%1-bit audio cannot be encoded").arg(bits));
    m_profile.channels = static_cast<int>(channels);
    m_profile.sampleRate = static_cast<int>(rate);
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::readVideoMediaProps(const QXmlStreamAttributes& a) {
    if (m_current != Stream::Video)
        return refused(QStringLiteral("videomediaprops outside the video stream"));
    QString error;
    qint64 spacing = 0;
    if (!readInt(a, "maxkeyframespacing", &spacing, &error)) return refused(error);
    if (spacing <= 0) return refused(QStringLiteral("key-frame spacing must be positive"));
    m_profile.keyFrameSpacingMs = spacing / 10000;  // 100 ns units
    qint64 quality = 0;
    if (readInt(a, "quality", &quality, &error)) m_profile.quality = static_cast<int>(quality);
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::readMediaType(const QXmlStreamAttributes& a) const {
    if (m_current == Stream::Video &&
        !isWindowsMediaVideo(a.value(QLatin1StringView("subtype")).toString(), QString()))
        return refused(QStringLiteral("video subtype ") +
                       a.value(QLatin1StringView("subtype")).toString() +
                       QStringLiteral(" cannot be encoded"));
    if (m_current == Stream::Audio &&
        a.value(QLatin1StringView("subtype"))
                .compare(QLatin1StringView("{00000161-0000-0010-8000-00AA00389B71}"),
                         Qt::CaseInsensitive) != 0)
        return refused(QStringLiteral("audio subtype ") +
                       a.value(QLatin1StringView("subtype")).toString() +
                       QStringLiteral(" cannot be encoded"));
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::readVideoInfoHeader(const QXmlStreamAttributes& a) {
    if (m_current != Stream::Video)
        return refused(QStringLiteral("videoinfoheader outside the video stream"));
    QString error;
    qint64 perFrame = 0;
    if (!readInt(a, "avgtimeperframe", &perFrame, &error)) return refused(error);
    // One frame per second at most ten minutes, at most 60 frames per second.
    if (perFrame < 166666 || perFrame > 6000000000LL)
        return refused(QStringLiteral("frame time %1 (100 ns) cannot be encoded").arg(perFrame));
    // frames per second = 10^7 / perFrame, kept as a reduced fraction.
    const auto [num, den] = closestFraction(10000000, perFrame, 65535);
    m_profile.frameRateNum = num;
    m_profile.frameRateDen = den;
    qint64 dw = 0;
    if (readInt(a, "dwbitrate", &dw, &error) && dw > 0 && m_profile.videoBitrate <= 0)
        m_profile.videoBitrate = dw;
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::readBitmapInfoHeader(const QXmlStreamAttributes& a) {
    if (m_current != Stream::Video)
        return refused(QStringLiteral("bitmapinfoheader outside the video stream"));
    QString error;
    qint64 w = 0, h = 0;
    if (!readInt(a, "biwidth", &w, &error) || !readInt(a, "biheight", &h, &error))
        return refused(error);
    const QString compression = a.value(QLatin1StringView("bicompression")).toString();
    if (!isWindowsMediaVideo(QStringLiteral("{33564D57-0000-0010-8000-00AA00389B71}"), compression))
        return refused(QStringLiteral("video compression ") + compression +
                       QStringLiteral(" cannot be encoded"));
    if (h < 0) h = -h;  // a top-down bitmap; the size is what counts
    const bool source = (w == 0 && h == 0);
    if (!source && (w < 16 || h < 16 || w > 4096 || h > 4096 || w % 2 || h % 2))
        return refused(QStringLiteral("picture size %1x%2 cannot be encoded").arg(w).arg(h));
    m_profile.width = static_cast<int>(w);
    m_profile.height = static_cast<int>(h);
    return EncoderStatus::success();
}

EncoderStatus ProfileReader::checkComplete() const {
    const EncoderProfile& p = m_profile;
    if (m_reader.hasError())
        return refused(QStringLiteral("XML error at line %1: %2")
                           .arg(m_reader.lineNumber())
                           .arg(m_reader.errorString()));
    if (!m_profileSeen) return refused(QStringLiteral("no profile element"));
    if (!m_audioSeen || !m_videoSeen)
        return refused(QStringLiteral("a profile needs one audio and one video stream"));
    if (p.sampleRate == 0) return refused(QStringLiteral("the audio stream has no waveformatex"));
    if (p.frameRateNum == 0)
        return refused(QStringLiteral("the video stream has no videoinfoheader"));
    if (p.keyFrameSpacingMs == 0)
        return refused(QStringLiteral("the video stream has no videomediaprops"));
    if (p.audioBitrate < 8000 || p.audioBitrate > 320000)
        return refused(QStringLiteral("audio bit rate %1 cannot be encoded").arg(p.audioBitrate));
    if (p.videoBitrate < 1000 || p.videoBitrate > 20000000)
        return refused(QStringLiteral("video bit rate %1 cannot be encoded").arg(p.videoBitrate));
    return EncoderStatus::success();
}

}  // namespace

int EncoderProfile::keyFrameSpacingFrames() const {
    if (frameRateNum <= 0 || frameRateDen <= 0) return 1;
    const qint64 frames = keyFrameSpacingMs * frameRateNum / (1000LL * frameRateDen);
    return static_cast<int>(std::clamp<qint64>(frames, 1, 100000));
}

QString EncoderProfile::builtInText(BuiltInProfile id) {
    return QString::fromUtf8(id == BuiltInProfile::Radio ? kProfile101 : kProfile102);
}

QString EncoderProfile::textForVideoSource(const QString& videoSourceText) {
    return builtInText(videoSourceText == QStringLiteral("Videó fájl") ? BuiltInProfile::Radio
                                                                       : BuiltInProfile::Tv);
}

EncoderStatus EncoderProfile::parse(const QString& xml, EncoderProfile* out) {
    return ProfileReader(xml).read(out);
}

}  // namespace kelm
