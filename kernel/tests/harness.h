// The assembler harnesses of harness.S, seen from C++.
#pragma once
#include <cstdint>

struct MemberRun {
  void* cell;
  void* list;
  void (*callback)(void* ctx, void* cell);
  void* ctx;
  uint64_t cut;
  uint64_t count;
};

struct Stkb1Run {
  void* cell;
  void* gtopAtPush;
  void* trapAtPush;
  void* rbpAtPush;
  void* gtopAtRetry;
  void* trapAtRetry;
  void* rbpAtRetry;
  void* rspAtRetry;
  uint64_t cellTagAtRetry;
};

// rax, rbx, rcx, rdx, rsi, rdi, r8 ... r15
enum Reg { RAX, RBX, RCX, RDX, RSI, RDI, R8, R9, R10, R11, R12, R13, R14, R15, kRegs };

extern "C" {
uint64_t harness_member(MemberRun* run);
void harness_stkb1(Stkb1Run* run);
void harness_call_regs(uint64_t* regs, const void* entry);
const void* harness_setpos();
void harness_ellipsis(const uint64_t* block, uint64_t* out);
}
