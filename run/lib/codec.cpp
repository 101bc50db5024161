// Compressed binaries: run-length coding, then a variable-width LZW coder
// whose output mixes codes with runs of plain 8-bit literals.
//
// Data (after the binary's size word):
//   'X', method, u32 length (little-endian), then the bytes (method 0) or the
//   code stream (odd method: widest code width = (method - 1) / 2 + 9).
// The older form starts with 0: byte 1 bits 0-2 method (0 stored, 1 run-length,
// 2 run-length + LZW), bits 4-6 widest width - 9, bytes 2-3 the length, data
// from byte 4; a 24-byte form whose byte 1 has bit 7 clear ends in a count of
// padding bytes.  Data shorter than 24 bytes is never compressed.
#include <cstring>

#include "internal.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"

namespace CorvaneLib::detail {

using namespace Qel::RunTime::Kernel;

constexpr uint32_t kShort = 24;          // shorter data is stored as it is
constexpr uint8_t kFormat = 'X';
constexpr uint8_t kRunMark = 169;        // run-length escape
constexpr uint32_t kSwitch = 189;        // switches between code and literal mode
constexpr uint32_t kLiteral189 = 256;    // the byte 189 in code mode
constexpr uint32_t kFirstCode = 257;
constexpr uint32_t kMaxWidth = 14;
constexpr uint32_t kMaxCode = (1u << kMaxWidth) - 1;
constexpr uint32_t kMaxString = 200;     // longest string a code stands for
constexpr uint32_t kSlots = 18211;       // hash slots of the coder
constexpr uint16_t kEmpty = 0xFFFF;
constexpr uint32_t kEntries = kMaxCode + 1 - kFirstCode;
constexpr uint32_t kKeptMax = 17;

enum : uint32_t { kInvalidBlock = 1081, kInvalidFormat = 1082, kCorrupt = 1083 };

// --- Coder ------------------------------------------------------------------

// Bits least significant first into a bounded buffer.
struct BitWriter {
  uint8_t* out;
  uint32_t capacity;
  uint32_t pos = 0;
  uint64_t acc = 0;
  uint32_t bits = 0;
  bool full = false;

  void Put(uint32_t value, uint32_t width) {
    acc |= static_cast<uint64_t>(value) << bits;
    bits += width;
    while (bits >= 8) {
      Byte(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  void Byte(uint8_t b) {
    if (pos < capacity)
      out[pos++] = b;
    else
      full = true;
  }
  void Flush() {
    if (bits) Byte(static_cast<uint8_t>(acc));
    acc = 0;
    bits = 0;
  }
};

// Writes LZW codes, switching to literal mode where a run of literals costs
// less as bytes than as codes.
struct CodeWriter {
  BitWriter w;
  bool literalMode = false;
  uint8_t kept[kKeptMax] = {};
  uint8_t keptWidth[kKeptMax] = {};
  uint32_t nKept = 0;
  uint32_t keptBits = 0;
  uint32_t widest = 9;

  // `code` was produced while `width` was in force.
  void Code(uint32_t code, uint32_t width) {
    if (width > widest) widest = width;
    bool literal = code < 256 && code != kSwitch;
    if (literalMode) {
      if (literal) {
        w.Put(code, 8);
        return;
      }
      w.Put(kSwitch, 8);
      literalMode = false;
    } else if (literal) {
      kept[nKept] = static_cast<uint8_t>(code);
      keptWidth[nKept] = static_cast<uint8_t>(width);
      keptBits += width;
      ++nKept;
      // Switching costs the switch at the first literal's width, 8 bits per
      // literal and 8 bits for the switch back.  Widths are at least 9, so
      // this holds by the 17th literal at the latest.
      if (keptBits >= keptWidth[0] + 8 * (nKept - 1) + 16) {
        w.Put(kSwitch, keptWidth[0]);
        literalMode = true;
        for (uint32_t i = 0; i < nKept; ++i) w.Put(kept[i], 8);
        nKept = keptBits = 0;
      }
      return;
    }
    FlushKept();
    w.Put(code == kSwitch ? kLiteral189 : code, width);
  }
  void FlushKept() {
    for (uint32_t i = 0; i < nKept; ++i) w.Put(kept[i], keptWidth[i]);
    nKept = keptBits = 0;
  }
  void Finish() {
    FlushKept();
    w.Flush();
  }
};

// The coder's tables: hash slots, prefix codes and suffix bytes of the codes
// 257 to 16383.
struct CoderTables {
  uint16_t slot[kSlots];
  uint16_t prefix[kEntries];
  uint8_t suffix[kEntries];
};

struct LzwCoder {
  CoderTables* t;
  CodeWriter out;
  uint32_t w = kEmpty;   // current string's code, kEmpty before the first byte
  uint32_t length = 0;   // its length in bytes
  uint32_t next = kFirstCode;
  uint32_t width = 9;
  uint32_t mask = 511;

  void Reset() {
    memset(t->slot, 0xFF, sizeof t->slot);
    next = kFirstCode;
    width = 9;
    mask = 511;
  }

  void Feed(uint8_t c) {
    if (w == kEmpty) {
      w = c;
      length = 1;
      return;
    }
    // A string of kMaxString - 1 bytes is not extended: its successor would be
    // the longest allowed, which is added below but never looked up.
    int32_t s = -1;
    if (length < kMaxString - 1) {
      s = static_cast<int32_t>((static_cast<uint32_t>(c) << 6) ^ w);
      int32_t step = s == 0 ? 1 : static_cast<int32_t>(kSlots) - s;
      for (;;) {
        uint16_t e = t->slot[s];
        if (e == kEmpty) break;
        if (t->prefix[e - kFirstCode] == w && t->suffix[e - kFirstCode] == c) {
          w = e;
          ++length;
          return;
        }
        s -= step;
        if (s < 0) s += kSlots;
      }
    }
    out.Code(w, width);
    t->prefix[next - kFirstCode] = static_cast<uint16_t>(w);
    t->suffix[next - kFirstCode] = c;
    if (s >= 0) t->slot[s] = static_cast<uint16_t>(next);
    if (++next > mask) {
      if (width < kMaxWidth) {
        ++width;
        mask = mask * 2 + 1;
      } else {
        Reset();
      }
    }
    w = c;
    length = 1;
  }

  void Finish() {
    if (w != kEmpty) out.Code(w, width);
    out.Finish();
  }
};

// Run-length codes `in` into the coder; stops early once the output is full.
static void RunLengthInto(const uint8_t* in, uint32_t n, LzwCoder& coder) {
  uint32_t i = 0;
  while (i < n) {
    uint8_t b = in[i];
    uint32_t run = 1;
    while (run < 256 && i + run < n && in[i + run] == b) ++run;
    i += run;
    if (run >= 3 || (run == 2 && b == kRunMark)) {
      coder.Feed(kRunMark);
      coder.Feed(static_cast<uint8_t>(run - 1));
      coder.Feed(b);
    } else if (b == kRunMark) {
      coder.Feed(kRunMark);
      coder.Feed(0);
    } else {
      coder.Feed(b);
      if (run == 2) coder.Feed(b);
    }
    if (coder.out.w.full) return;
  }
}

// --- Expander -----------------------------------------------------------------

struct BitReader {
  const uint8_t* in;
  uint32_t n;
  uint32_t pos = 0;
  uint64_t acc = 0;
  uint32_t bits = 0;
  bool literalMode = false;

  bool Get(uint32_t width, uint32_t& value) {
    while (bits < width) {
      if (pos >= n) return false;
      acc |= static_cast<uint64_t>(in[pos++]) << bits;
      bits += 8;
    }
    value = static_cast<uint32_t>(acc & ((1u << width) - 1));
    acc >>= width;
    bits -= width;
    return true;
  }
  // The next LZW code, or false at the end of the stream.
  bool Next(uint32_t width, uint32_t& code) {
    for (;;) {
      uint32_t s;
      if (!Get(literalMode ? 8 : width, s)) return false;
      if (s == kSwitch) {
        literalMode = !literalMode;
        continue;
      }
      code = s == kLiteral189 ? kSwitch : s;
      return true;
    }
  }
};

// Undoes the run-length stage into a bounded output.
struct RunLengthOut {
  uint8_t* out;
  uint32_t n;
  uint32_t pos = 0;
  int state = 0;  // 0 plain, 1 after the mark, 2 after the mark and a count
  uint32_t count = 0;

  void Byte(uint8_t b) {
    if (pos >= n) Raise(kCorrupt);
    out[pos++] = b;
  }
  void Put(uint8_t b) {
    switch (state) {
      case 0:
        if (b == kRunMark)
          state = 1;
        else
          Byte(b);
        return;
      case 1:
        if (b == 0) {
          state = 0;
          Byte(kRunMark);
          return;
        }
        count = b + 1u;
        state = 2;
        return;
      default:
        if (count > n - pos) Raise(kCorrupt);
        memset(out + pos, b, count);
        pos += count;
        state = 0;
        return;
    }
  }
  bool Complete() const { return pos == n && state == 0; }
};

static void ExpandRunLength(const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t n) {
  RunLengthOut rl{out, n};
  for (uint32_t i = 0; i < inLength; ++i) rl.Put(in[i]);
  if (!rl.Complete()) Raise(kCorrupt);
}

// Decodes a code stream whose codes are at most `limit` bits wide, then undoes
// the run-length stage, into exactly n bytes.  Stops once n bytes are out, so
// padding after the stream is ignored.
static void ExpandLzw(const uint8_t* in, uint32_t inLength, uint32_t limit, uint8_t* out,
                      uint32_t n) {
  uint32_t codes = 1u << limit;
  uint8_t* mark = Memory::MarkGStack();
  auto* prefix = reinterpret_cast<uint16_t*>(Memory::AllocGStack(codes * 2));
  uint8_t* suffix = Memory::AllocGStack(codes);
  uint8_t* first = Memory::AllocGStack(codes);
  uint8_t* length = Memory::AllocGStack(codes);  // capped at kMaxString + 1

  BitReader reader{in, inLength};
  RunLengthOut rl{out, n};
  uint32_t prev = kEmpty, next = kFirstCode, width = 9, mask = 511;
  uint8_t string[kMaxString];
  while (rl.pos < n) {
    uint32_t code;
    if (!reader.Next(width, code)) break;
    if (width > limit) Raise(kCorrupt);
    if (code >= kFirstCode && (prev == kEmpty || code > next)) Raise(kCorrupt);
    if (prev != kEmpty) {
      if (next >= codes) Raise(kCorrupt);
      uint8_t head = code == next ? (prev < 256 ? prev : first[prev])
                                  : (code < 256 ? code : first[code]);
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = head;
      first[next] = prev < 256 ? static_cast<uint8_t>(prev) : first[prev];
      uint32_t prevLength = prev < 256 ? 1 : length[prev];
      length[next] = static_cast<uint8_t>(prevLength > kMaxString ? kMaxString + 1 : prevLength + 1);
      ++next;
    }
    if (code < 256) {
      rl.Put(static_cast<uint8_t>(code));
    } else {
      uint32_t len = length[code];
      if (len > kMaxString) Raise(kCorrupt);
      uint32_t c = code;
      for (uint32_t i = len; i-- > 1;) {
        string[i] = suffix[c];
        c = prefix[c];
      }
      string[0] = static_cast<uint8_t>(c);
      for (uint32_t i = 0; i < len; ++i) rl.Put(string[i]);
    }
    prev = code;
    // The coder added an entry after writing this code.
    if (next + 1 > mask) {
      if (width < kMaxWidth) {
        ++width;
        mask = mask * 2 + 1;
      } else {
        next = kFirstCode;
        width = 9;
        mask = 511;
        prev = kEmpty;
      }
    }
  }
  // What follows the last code is the partial byte's zero bits and padding.
  if (!rl.Complete() || reader.acc) Raise(kCorrupt);
  for (uint32_t i = reader.pos; i < inLength; ++i)
    if (in[i]) Raise(kCorrupt);
  Memory::ReleaseGStack(mark);
}

static uint8_t* CopyToGStack(const uint8_t* data, uint32_t n) {
  uint8_t* copy = NewGStackBinary(n);
  if (n) memcpy(copy, data, n);
  return copy;
}

static uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// The largest output a stream of n bytes can give: each code (8 bits at
// least) stands for at most 200 bytes, each 3 of which expand to at most 256.
static bool PlausibleLength(uint64_t length, uint32_t streamBytes) {
  return length <= static_cast<uint64_t>(streamBytes) * kMaxString * 86;
}

}  // namespace CorvaneLib::detail

namespace CorvaneBinary {

using namespace CorvaneLib::detail;
using namespace Qel::RunTime::Kernel;

uint8_t* CompressBinary(const uint8_t* binary) {
  uint32_t n = BinaryLength(binary);
  if (n < kShort) return CopyToGStack(binary, n);
  // One block: size word, header, a stream buffer the size of the input (which
  // also holds the stored form), then the coder's tables, trimmed at the end.
  uint64_t tablesAt = (4ull + 6 + n + 7) & ~7ull;
  uint64_t total = tablesAt + sizeof(CoderTables);
  if (total > 0xFFFFFFFFull) Errors::RunTimeError(201, n);
  uint8_t* block = Memory::AllocGStack(static_cast<uint32_t>(total));
  uint8_t* data = block + 4;
  auto* tables = reinterpret_cast<CoderTables*>(block + tablesAt);

  LzwCoder coder{tables, CodeWriter{BitWriter{data + 6, n}}};
  coder.Reset();
  RunLengthInto(binary, n, coder);
  if (!coder.out.w.full) coder.Finish();
  uint32_t length;
  data[0] = kFormat;
  if (coder.out.w.full) {
    data[1] = 0;
    memcpy(data + 6, binary, n);
    length = 6 + n;
  } else {
    data[1] = static_cast<uint8_t>(2 * (coder.out.widest - 9) + 1);
    length = 6 + coder.out.w.pos;
    // Shorter data would read back as stored: pad it (the expander stops at
    // the recorded length).
    if (length < kShort) {
      memset(data + length, 0, kShort - length);
      length = kShort;
    }
  }
  memcpy(data + 2, &n, 4);
  uint32_t size = length + 4;
  memcpy(block, &size, 4);
  Memory::AdjustGStackAlloc(block, size);
  return data;
}

uint8_t* ExpandBinary(const uint8_t* binary) {
  uint32_t total = BinaryLength(binary);
  if (total < kShort) return CopyToGStack(binary, total);
  uint8_t method = binary[1];
  if (binary[0] == kFormat) {
    uint32_t n = ReadU32(binary + 2);
    const uint8_t* stream = binary + 6;
    uint32_t streamBytes = total - 6;
    if (method & 0x80) Raise(kCorrupt);
    if (method == 0) {
      if (n != streamBytes) Raise(kInvalidFormat);
      return CopyToGStack(stream, n);
    }
    if (!(method & 1) || (method - 1u) / 2 + 9 > kMaxWidth) Raise(kCorrupt);
    if (!PlausibleLength(n, streamBytes) || n > 0xFFFFFFFFu - 4) Raise(kInvalidFormat);
    uint8_t* out = NewGStackBinary(n);
    ExpandLzw(stream, streamBytes, (method - 1) / 2 + 9, out, n);
    return out;
  }
  if (binary[0] != 0) Raise(kInvalidBlock);
  // The older form.
  uint32_t n = binary[2] | static_cast<uint32_t>(binary[3]) << 8;
  uint32_t end = total;
  if (total <= kShort && !(method & 0x80)) {
    uint32_t padding = binary[total - 1];
    if (padding == 0 || padding > total - 4) Raise(kInvalidFormat);
    end = total - padding;
  }
  const uint8_t* stream = binary + 4;
  uint32_t streamBytes = end - 4;
  uint32_t widest = ((method >> 4) & 7) + 9;
  if (n >= 65521 || widest > kMaxWidth) Raise(kInvalidFormat);
  switch (method & 7) {
    case 0:
      if (n != streamBytes) Raise(kInvalidFormat);
      return CopyToGStack(stream, n);
    case 1: {
      uint8_t* out = NewGStackBinary(n);
      ExpandRunLength(stream, streamBytes, out, n);
      return out;
    }
    case 2: {
      if (!PlausibleLength(n, streamBytes)) Raise(kInvalidFormat);
      uint8_t* out = NewGStackBinary(n);
      ExpandLzw(stream, streamBytes, widest, out, n);
      return out;
    }
    default:
      Raise(kCorrupt);
  }
}

}  // namespace CorvaneBinary
