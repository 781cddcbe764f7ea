// Ogg pages built for the tests, with their checksum computed independently
// of the program's own code.
#pragma once

#include <cstdint>
#include <string>

inline uint32_t reference_crc(const std::string &page) {
    uint32_t crc = 0;
    for (unsigned char byte : page) {
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; bit++) {
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
        }
    }
    return crc;
}

// A page of version 0 with the given lacing values and a body of their sum.
inline std::string page(const std::string &lacing, char version = 0) {
    std::string header("OggS", 4);
    header += version;
    header += std::string(21, '\x01');
    header += static_cast<char>(lacing.size());
    size_t body = 0;
    for (unsigned char value : lacing) {
        body += value;
    }
    std::string whole = header + lacing + std::string(body, 'b');
    whole.replace(22, 4, std::string(4, '\0'));
    uint32_t crc = reference_crc(whole);
    for (int i = 0; i < 4; i++) {
        whole[22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    }
    return whole;
}
