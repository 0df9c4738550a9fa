#pragma once
// Reads a fuzzer's input as a script: small numbers, choices and byte runs. Past the
// end every read gives zero, so any input is a complete script.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tervex::fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

    bool Done() const { return FPos >= FSize; }
    size_t Left() const { return Done() ? 0 : FSize - FPos; }

    uint8_t Byte() { return Done() ? 0 : FData[FPos++]; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    uint32_t Dword() { return static_cast<uint32_t>(Word() | static_cast<uint32_t>(Word()) << 16); }
    bool Flag() { return (Byte() & 1) != 0; }
    // 0 .. n-1
    uint32_t Below(uint32_t n) { return n <= 1 ? 0 : (n <= 256 ? Byte() % n : Dword() % n); }
    template <typename T, size_t N>
    const T& Pick(const T (&choices)[N]) { return choices[Below(N)]; }

    // Up to max bytes, the count taken from the script.
    std::vector<uint8_t> Bytes(size_t max) {
        const size_t n = Below(static_cast<uint32_t>(max + 1));
        std::vector<uint8_t> out;
        for (size_t i = 0; i < n && !Done(); ++i) out.push_back(Byte());
        return out;
    }
    std::string Text(size_t max) {
        const std::vector<uint8_t> b = Bytes(max);
        return std::string(b.begin(), b.end());
    }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

}  // namespace tervex::fuzz
