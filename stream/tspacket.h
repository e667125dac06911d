// A view of one 188-byte transport stream packet, with the fields the reader
// uses by name. It reads only bytes 0-4, and byte 4 only when the packet has
// an adaptation field, so it may sit on a packet that the end of a block cuts.
#pragma once

#include <cstdint>

constexpr int kTsPacketSize = 188;
constexpr std::uint8_t kTsSync = 0x47;

class ts_packet {
public:
    explicit ts_packet(const std::uint8_t* bytes) : m_b(bytes) {}

    const std::uint8_t* bytes() const { return m_b; }
    bool has_sync() const { return m_b[0] == kTsSync; }
    bool transport_error() const { return (m_b[1] & 0x80) != 0; }
    // A PES packet (or section) starts in this payload.
    bool unit_start() const { return (m_b[1] & 0x40) != 0; }
    int pid() const { return ((m_b[1] & 0x1F) << 8) | m_b[2]; }
    bool has_adaptation_field() const { return (m_b[3] & 0x20) != 0; }
    bool has_payload() const { return (m_b[3] & 0x10) != 0; }
    // 4, plus the adaptation field and its length byte. Above 188 when the
    // adaptation field claims more than the packet holds.
    int payload_offset() const { return 4 + (has_adaptation_field() ? m_b[4] + 1 : 0); }

private:
    const std::uint8_t* m_b;
};
