#include "media/wav.h"

#include "media/byte_string.h"

std::string EncodeWav(uint32_t rate, int bits, const uint8_t* samples, size_t length) {
  size_t frameBytes = static_cast<size_t>(bits / 8);
  size_t data = length / frameBytes * frameBytes;
  std::string out = "RIFF";
  AppendLittle32(out, static_cast<uint32_t>(36 + data + data % 2));
  out += "WAVEfmt ";
  AppendLittle32(out, 16);
  AppendLittle16(out, 1);  // PCM
  AppendLittle16(out, 1);  // channels
  AppendLittle32(out, rate);
  AppendLittle32(out, static_cast<uint32_t>(rate * frameBytes));
  AppendLittle16(out, static_cast<uint16_t>(frameBytes));
  AppendLittle16(out, static_cast<uint16_t>(bits));
  out += "data";
  AppendLittle32(out, static_cast<uint32_t>(data));
  size_t start = out.size();
  out.append(reinterpret_cast<const char*>(samples), data);
  if (bits == 16) {
    for (size_t i = start; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  }
  if (data % 2) out += '\0';  // chunks are padded to even lengths
  return out;
}
