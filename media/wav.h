#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A WAV file (RIFF, PCM, one channel) of the samples as a Newton holds them:
// 8-bit samples unsigned, as WAV's are; 16-bit ones signed and most
// significant byte first, turned round for WAV.
std::string EncodeWav(uint32_t rate, int bits, const uint8_t* samples, size_t length);
