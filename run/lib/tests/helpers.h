// Shared helpers of the library tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qel6kernel.h"

namespace runlib_test {

using namespace Qel::RunTime::Kernel;

// A binary held by the test: size word, then the data.
struct Binary {
  std::vector<uint8_t> block;
  explicit Binary(const std::vector<uint8_t>& data) : block(data.size() + 4) {
    uint32_t size = static_cast<uint32_t>(data.size() + 4);
    memcpy(block.data(), &size, 4);
    if (!data.empty()) memcpy(block.data() + 4, data.data(), data.size());
  }
  explicit Binary(const std::string& text)
      : Binary(std::vector<uint8_t>(text.begin(), text.end())) {}
  const uint8_t* get() const { return block.data() + 4; }
};

inline uint32_t SizeWord(const uint8_t* binary) {
  uint32_t size;
  memcpy(&size, binary - 4, 4);
  return size;
}

inline std::vector<uint8_t> Bytes(const uint8_t* binary) {
  return std::vector<uint8_t>(binary, binary + SizeWord(binary) - 4);
}

// Deterministic pseudo-random bytes (a linear congruential generator, top byte).
inline std::vector<uint8_t> NoiseBytes(uint32_t seed, size_t n) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    out[i] = static_cast<uint8_t>(seed >> 24);
  }
  return out;
}

// The last error's text after "Exception in module: ...\r\n" and the position.
inline std::wstring ErrorText() {
  std::wstring m = Control::TPrologThreadData::GetCurrentLastErrorMessage();
  size_t eol = m.find(L"\r\n");
  if (eol != std::wstring::npos) m = m.substr(eol + 2);
  return m;
}

inline std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

}  // namespace runlib_test
