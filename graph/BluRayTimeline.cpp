#include "graph/BluRayTimeline.h"

namespace {

constexpr size_t kSourcePacket = 192;
constexpr size_t kArrivalHeader = 4;
constexpr size_t kPacket = 188;
constexpr uint64_t kWrap = uint64_t{1} << 33;

uint64_t Shifted(uint64_t value, int64_t shift) {
    return (value + static_cast<uint64_t>(shift)) & (kWrap - 1);
}

// The 33-bit base of a program clock reference at p (6 bytes); the extension stays.
void ShiftClockReference(uint8_t* p, int64_t shift) {
    const uint64_t base = (uint64_t{p[0]} << 25) | (uint64_t{p[1]} << 17) | (uint64_t{p[2]} << 9) |
                          (uint64_t{p[3]} << 1) | (p[4] >> 7);
    const uint64_t moved = Shifted(base, shift);
    p[0] = static_cast<uint8_t>(moved >> 25);
    p[1] = static_cast<uint8_t>(moved >> 17);
    p[2] = static_cast<uint8_t>(moved >> 9);
    p[3] = static_cast<uint8_t>(moved >> 1);
    p[4] = static_cast<uint8_t>(((moved & 1) << 7) | (p[4] & 0x7F));
}

// A PES time stamp at p (5 bytes); its prefix and marker bits stay.
void ShiftStamp(uint8_t* p, int64_t shift) {
    const uint64_t stamp = (uint64_t{(p[0] >> 1) & 0x07u} << 30) | (uint64_t{p[1]} << 22) |
                           ((uint64_t{p[2]} >> 1) << 15) | (uint64_t{p[3]} << 7) | (p[4] >> 1);
    const uint64_t moved = Shifted(stamp, shift);
    p[0] = static_cast<uint8_t>((p[0] & 0xF1) | ((moved >> 29) & 0x0E));
    p[1] = static_cast<uint8_t>(moved >> 22);
    p[2] = static_cast<uint8_t>((p[2] & 0x01) | ((moved >> 14) & 0xFE));
    p[3] = static_cast<uint8_t>(moved >> 7);
    p[4] = static_cast<uint8_t>((p[4] & 0x01) | ((moved << 1) & 0xFE));
}

// Stream ids whose PES packets carry no optional header (maps, padding, private 2, ...).
bool HasOptionalHeader(uint8_t streamId) {
    switch (streamId) {
        case 0xBC:
        case 0xBE:
        case 0xBF:
        case 0xF0:
        case 0xF1:
        case 0xF2:
        case 0xF8:
        case 0xFF:
            return false;
        default:
            return true;
    }
}

// The time stamps in the header of a PES packet that starts at p with room bytes left.
void ShiftPesHeader(uint8_t* p, size_t room, int64_t shift) {
    if (room < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1 || !HasOptionalHeader(p[3])) return;
    if ((p[6] & 0xC0) != 0x80) return;  // not an MPEG-2 PES header
    const unsigned flags = p[7] >> 6;
    if (flags >= 2 && room >= 14) ShiftStamp(p + 9, shift);
    if (flags == 3 && room >= 19) ShiftStamp(p + 14, shift);
}

void ShiftPacket(uint8_t* p, int64_t shift) {
    if (p[0] != 0x47) return;
    const bool unitStart = p[1] & 0x40;
    const unsigned control = (p[3] >> 4) & 0x03;
    size_t payload = 4;
    if (control & 0x02) {
        const size_t length = p[4];
        if (5 + length > kPacket) return;
        if (length >= 7 && (p[5] & 0x10)) ShiftClockReference(p + 6, shift);
        payload = 5 + length;
    }
    if ((control & 0x01) && unitStart && payload < kPacket)
        ShiftPesHeader(p + payload, kPacket - payload, shift);
}

}  // namespace

void ShiftTransportTimes(uint8_t* data, size_t size, int64_t shift) {
    if (shift == 0) return;
    for (size_t at = 0; at + kSourcePacket <= size; at += kSourcePacket)
        ShiftPacket(data + at + kArrivalHeader, shift);
}
