#pragma once

#include <QString>
#include <cstdint>

namespace kelm {

// Error numbers of the encoder component. The recorder's handlers select on
// these numbers, so every back end maps its failures onto exactly this set.
namespace EncoderErrorCode {
constexpr std::uint32_t None = 0;
constexpr std::uint32_t ObjectNotSet = 91;             // encoder object missing
constexpr std::uint32_t ComponentMissing = 429;        // engine or essential elements missing
constexpr std::uint32_t StandardRefused = 0x80070001;  // TV standard refused by the device
constexpr std::uint32_t FileInUse = 0x80070020;        // output file held by another recorder
constexpr std::uint32_t FileExists = 0x80070050;       // output file name taken by an existing file
constexpr std::uint32_t WriteFault = 0x8007001D;       // the output file could not be written on
constexpr std::uint32_t OutputFileCreate = 0x80070052;   // the output file cannot be created
constexpr std::uint32_t DiskFull = 0x80070070;           // no room left for the output file
constexpr std::uint32_t Codec = 0x80070057;              // codec or negotiation failure
constexpr std::uint32_t SoundCard = 0xC00D0072;          // sound card cannot be used
constexpr std::uint32_t VideoCodecMissing = 0xC00D0BC4;  // video encoder not available
constexpr std::uint32_t ProfileRefused = 0xC00D0BC6;  // profile does not parse or cannot be encoded
constexpr std::uint32_t VideoInput = 0xC00D1B8A;      // video input cannot be used or is busy
constexpr std::uint32_t NoAnswer = 0x800705B4;        // a device or the disk did not answer in time
}  // namespace EncoderErrorCode

// Outcome of an encoder operation: 0 for success, otherwise one of the numbers
// above with a human-readable description (English, for the log only).
struct EncoderStatus {
    std::uint32_t code = EncoderErrorCode::None;
    QString description;

    bool ok() const { return code == EncoderErrorCode::None; }
    static EncoderStatus success() { return {}; }
    static EncoderStatus failure(std::uint32_t c, QString text) { return {c, std::move(text)}; }
    // The number as the log shows it: a signed 32-bit value, so component
    // errors appear negative.
    qint32 signedCode() const { return static_cast<qint32>(code); }
};

}  // namespace kelm
