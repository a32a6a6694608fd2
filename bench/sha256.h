#pragma once
// SHA-256 (FIPS 180-4), for the benchmark's list digest: the same list on
// every run and thread count must give the same digest.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sizewalk::bench {

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t size);
    // The digest as 64 lowercase hex digits; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const unsigned char* p);

    std::uint32_t m_state[8];
    unsigned char m_buffer[64];
    std::size_t m_nBuffered = 0;
    std::uint64_t m_nBytes = 0;
};

}  // namespace sizewalk::bench
