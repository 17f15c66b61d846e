// ID3 tags built byte by byte for the tag tests.
#pragma once
#include <cstdint>
#include <string>

namespace qmtest::tagbytes {

inline std::string be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
inline std::string synchsafe(uint32_t v) {
    return {char((v >> 21) & 0x7F), char((v >> 14) & 0x7F), char((v >> 7) & 0x7F), char(v & 0x7F)};
}

// A field of a fixed width, padded with pad.
inline std::string fixed(std::string s, size_t width, char pad) {
    s.resize(width, pad);
    return s;
}

// The 128-byte ID3v1 block.
inline std::string v1(const std::string& title, char pad = ' ', char genre = 17, const char* marker = "TAG") {
    return std::string(marker) + fixed(title, 30, pad) + fixed("Interpret", 30, ' ') + fixed("Album", 30, ' ') +
           "1999" + fixed("Kommentar", 30, '\0') + genre;
}

// A frame of version major: 2.3 sizes are 32-bit big-endian, 2.4 synchsafe,
// 2.2 24-bit big-endian with a 3-character identifier.
inline std::string frame(int major, const std::string& id, const std::string& content) {
    const auto n = static_cast<uint32_t>(content.size());
    if (major == 2) return id + std::string{char(n >> 16), char(n >> 8), char(n)} + content;
    return id + (major == 4 ? synchsafe(n) : be32(n)) + std::string(2, '\0') + content;
}
inline std::string text(int major, const std::string& id, const std::string& value) {
    return frame(major, id, std::string(1, '\0') + value);
}

// The tag: header (its size synchsafe over body) and body.
inline std::string tag(int major, const std::string& body, char flags = 0, int minor = 0) {
    return "ID3" + std::string{char(major), char(minor), flags} + synchsafe(static_cast<uint32_t>(body.size())) + body;
}

}  // namespace qmtest::tagbytes
