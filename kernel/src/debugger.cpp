// The debugger's memory provider over another process.
//
// Invariants:
//   - every transfer sets the state (0 complete, 1 partial, 2 failed) and a
//     failed one keeps the platform's error as the last error;
//   - a remembered breakpoint maps an address to the byte that 0xCC replaced;
//     reads show that byte wherever the process still holds 0xCC there;
//   - string reads never read past the end of the region that holds their
//     start, and never raise: they cut and report state 1;
//   - the breakpoint map lives in C++ memory and holds no collected pointers.
#include "qel6kernel.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <new>

namespace Qel::RunTime::Kernel::Debugger {

namespace {

constexpr uint32_t kComplete = 0, kPartial = 1, kFailed = 2;
constexpr uint8_t kBreakpoint = 0xCC;
constexpr uint32_t kPiece = 2048;           // bytes of one zero-terminated string read
constexpr uint32_t kZStringUnits = 1024;    // units of its result, terminator included

class AnotherProcessMemory final : public IMemoryProvider {
 public:
  explicit AnotherProcessMemory(HANDLE process) : process_(process) {}

  void SetStringLimit(uint32_t bytes) override { limit_ = bytes; }
  uint32_t GetStringLimit() const override { return limit_; }
  uint32_t GetState() const override { return state_; }
  void SetState(uint32_t state) override { state_ = state; }

  uint32_t Read(Address at, void* out, uint32_t n) override {
    uint32_t got = RawRead(at, out, n);
    auto* bytes = static_cast<uint8_t*>(out);
    for (auto it = breakpoints_.lower_bound(at); it != breakpoints_.end() && it->first < at + got; ++it)
      if (bytes[it->first - at] == kBreakpoint) bytes[it->first - at] = it->second;
    return got;
  }
  uint8_t ReadByte(Address at) override { return ReadValue<uint8_t>(at); }
  uint16_t ReadWord16(Address at) override { return ReadValue<uint16_t>(at); }
  uint32_t ReadWord32(Address at) override { return ReadValue<uint32_t>(at); }
  double ReadDouble(Address at) override { return ReadValue<double>(at); }

  uint8_t* ReadBinary(Address data, int32_t maxBytes) override {
    uint32_t size = ReadWord32(data - 4);
    if (state_ != kComplete) return Failed<uint8_t*>();
    if (size < 4) return Failed<uint8_t*>();
    uint32_t n = size - 4;
    bool cut = false;
    if (maxBytes >= 0 && n > static_cast<uint32_t>(maxBytes)) n = static_cast<uint32_t>(maxBytes), cut = true;
    uint32_t readable = ReadableLength(data, n);
    if (readable < n) n = readable, cut = true;
    uint8_t* block = Memory::AllocGStack(n + 4);
    uint32_t got = n ? Read(data, block + 4, n) : 0;
    if (n && state_ == kFailed) return nullptr;
    uint32_t word = got + 4;
    memcpy(block, &word, 4);
    Finish(cut || got < n);
    return block + 4;
  }

  wchar_t* ReadString(Address at, int32_t bytes) override {
    bool cut;
    uint32_t n = Cut(at, bytes, &cut) & ~1u;
    wchar_t* s = Memory::AllocHeapString(n / 2);
    uint32_t got = n ? Read(at, s, n) : 0;
    s[got / 2] = 0;
    Finish(cut || got < n);
    return s;
  }
  char* ReadString8(Address at, int32_t bytes) override {
    bool cut;
    uint32_t n = Cut(at, bytes, &cut);
    auto* s = reinterpret_cast<char*>(Memory::AllocGStack(n + 1));
    uint32_t got = n ? Read(at, s, n) : 0;
    s[got] = 0;
    Finish(cut || got < n);
    return s;
  }
  // The text up to its terminator when that lies in the first piece; else
  // the readable prefix, cut to 1,023 units, with state 1.
  wchar_t* ReadZString(Address at) override {
    wchar_t* s = Memory::AllocHeapString(kZStringUnits - 1);
    uint32_t n = ReadableLength(at, kPiece) & ~1u;
    if (!n) Probe(at);
    uint32_t got = n ? Read(at, s, n) : 0;
    if (state_ == kFailed) return nullptr;
    uint32_t units = got / 2;
    for (uint32_t i = 0; i < units; ++i)
      if (s[i] == 0) {
        state_ = kComplete;
        return s;
      }
    s[units < kZStringUnits - 1 ? units : kZStringUnits - 1] = 0;
    state_ = kPartial;
    return s;
  }

  uint32_t Write(Address at, const void* data, uint32_t n) override {
    SIZE_T done = 0;
    if (!WriteProcessMemory(process_, Ptr(at), data, n, &done) && done == 0) {
      RememberLastError();
      state_ = kFailed;
      return 0;
    }
    state_ = done < n ? kPartial : kComplete;
    return static_cast<uint32_t>(done);
  }
  bool WriteWord32(Address at, uint32_t value) override { return Write(at, &value, 4) == 4; }
  uint32_t ReadWord32OrZero(Address at) override {
    uint32_t v = 0;
    return Read(at, &v, 4) == 4 ? v : 0;
  }

  bool SetBreakpoint(Address at) override {
    uint8_t original;
    if (RawRead(at, &original, 1) != 1) return false;
    if (original == kBreakpoint) {
      // Set already (by us: keep the byte it replaced).
      if (breakpoints_.count(at)) return true;
    }
    if (!WriteCode(at, kBreakpoint)) return false;
    breakpoints_[at] = original;
    return true;
  }
  void RemoveBreakpoint(Address at) override {
    auto it = breakpoints_.find(at);
    if (it == breakpoints_.end()) return;
    uint8_t now;
    if (RawRead(at, &now, 1) == 1 && now == kBreakpoint) WriteCode(at, it->second);
    breakpoints_.erase(it);
  }
  void Reserved18() override {}
  bool IsBreakpointByte(Address at) override {
    uint8_t b;
    return RawRead(at, &b, 1) == 1 && b == kBreakpoint;
  }
  bool IsBreakpointRemembered(Address at) const override { return breakpoints_.count(at) != 0; }

  uint32_t RawRead(Address at, void* out, uint32_t n) override {
    SIZE_T done = 0;
    if (!ReadProcessMemory(process_, Ptr(at), out, n, &done) && done == 0 && n) {
      RememberLastError();
      state_ = kFailed;
      return 0;
    }
    state_ = done < n ? kPartial : kComplete;
    return static_cast<uint32_t>(done);
  }
  uint32_t ReadableLength(Address at, uint32_t n) override {
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQueryEx(process_, Ptr(at), &info, sizeof info)) return n;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD))) return 0;
    uint64_t end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    uint64_t left = end > at ? end - at : 0;
    return left < n ? static_cast<uint32_t>(left) : n;
  }
  uint32_t GetLastError() const override { return lastError_; }
  void RememberLastError() override { lastError_ = ::GetLastError(); }
  void Reserved25() override {}
  void Release() override { delete this; }

 private:
  static void* Ptr(Address at) { return reinterpret_cast<void*>(static_cast<uintptr_t>(at)); }
  template <class T>
  T ReadValue(Address at) {
    T v{};
    if (Read(at, &v, sizeof v) != sizeof v) return T{};
    return v;
  }
  template <class T>
  T Failed() {
    state_ = kFailed;
    return T{};
  }
  // The byte length of a string read: the asked one (-1: the limit), cut
  // to what is readable from `at` on.
  uint32_t Cut(Address at, int32_t bytes, bool* cut) {
    uint32_t n = bytes < 0 ? limit_ : static_cast<uint32_t>(bytes);
    uint32_t readable = ReadableLength(at, n);
    *cut = readable < n;
    if (n && !readable) Probe(at);
    return *cut ? readable : n;
  }
  // A string read that came short ends partial (unless it failed).
  void Finish(bool short_) {
    if (short_ && state_ != kFailed) state_ = kPartial;
  }
  // A one-byte read that records why nothing could be read at `at`.
  void Probe(Address at) {
    uint8_t b;
    if (RawRead(at, &b, 1) == 1) state_ = kPartial;
  }
  bool WriteCode(Address at, uint8_t byte) {
    if (Write(at, &byte, 1) != 1) return false;
    FlushInstructionCache(process_, Ptr(at), 1);
    return true;
  }

  uint32_t state_ = kComplete;
  uint32_t limit_ = 1000;
  std::map<Address, uint8_t> breakpoints_;
  HANDLE process_;
  uint32_t lastError_ = 0;
};

}  // namespace

IMemoryProvider* RMemoryAnotherProcess::Create(void* process) {
  return new (std::nothrow) AnotherProcessMemory(static_cast<HANDLE>(process));
}

}  // namespace Qel::RunTime::Kernel::Debugger
