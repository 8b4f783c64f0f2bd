#include "Wmv2RepeatFrame.h"

#include <cstdint>

namespace kelm {
namespace {

// Most significant bit first, as the WMV2 bit stream is read.
class BitWriter final {
public:
    void put(int bitCount, std::uint32_t value) {
        for (int i = bitCount - 1; i >= 0; --i) {
            if (m_bitsUsed % 8 == 0) m_bytes.append('\0');
            if ((value >> i) & 1u)
                m_bytes[m_bytes.size() - 1] =
                    static_cast<char>(m_bytes.at(m_bytes.size() - 1) | (0x80 >> (m_bitsUsed % 8)));
            ++m_bitsUsed;
        }
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_bitsUsed = 0;
};

class BitReader final {
public:
    BitReader(const unsigned char* data, int bytes) : m_data(data), m_bytes(bytes) {}
    std::uint32_t get(int bitCount) {
        std::uint32_t value = 0;
        for (int i = 0; i < bitCount && m_bit / 8 < m_bytes; ++i, ++m_bit)
            value = (value << 1) | ((m_data[m_bit / 8] >> (7 - m_bit % 8)) & 1u);
        return value;
    }

private:
    const unsigned char* m_data;
    int m_bytes;
    int m_bit = 0;
};

constexpr std::uint32_t kSkipRows = 2;  // skip map coded per macroblock row

}  // namespace

QByteArray wmv2RepeatFrame(const unsigned char* extradata, int extradataBytes, int width,
                           int height) {
    if (!extradata || extradataBytes < 4 || width <= 0 || height <= 0) return {};
    // Sequence header: frame rate (5), bit rate (11), then the flags.
    BitReader sequence(extradata, extradataBytes);
    sequence.get(16);
    const bool mspel = sequence.get(1);
    sequence.get(1);  // loop filter
    const bool abt = sequence.get(1);
    sequence.get(1);  // j-type, key frames only
    sequence.get(1);  // top-left motion vector
    const bool perMacroblockRl = sequence.get(1);
    if (sequence.get(3) == 0) return {};  // slice code 0 is not a valid stream

    BitWriter frame;
    frame.put(1, 1);   // predicted frame
    frame.put(5, 16);  // quantiser: unused, no block is coded
    // The skip map by rows, every macroblock skipped. The first row is given
    // macroblock by macroblock: a map of whole skipped rows only is how a
    // stream says "no new picture at all", and some decoders then show no
    // frame for it; this one is a frame like any other that repeats the last.
    frame.put(2, kSkipRows);
    frame.put(1, 0);
    for (int column = 0; column < (width + 15) / 16; ++column) frame.put(1, 1);
    for (int row = 1; row < (height + 15) / 16; ++row) frame.put(1, 1);
    frame.put(1, 0);                       // coded-block table 0
    if (mspel) frame.put(1, 0);            // no quarter-pel motion
    if (abt) frame.put(1, 0);              // transform chosen per macroblock
    if (perMacroblockRl) frame.put(1, 0);  // run-level table for the frame:
    frame.put(1, 0);                       //   table 0
    frame.put(1, 0);                       // DC table 0
    frame.put(1, 0);                       // motion vector table 0
    return frame.bytes();
}

}  // namespace kelm
