#pragma once
// Bytes that do not compress, the same for the same seed.
#include <random>
#include <string>

inline std::string Noise(size_t size, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(random());
    return out;
}
