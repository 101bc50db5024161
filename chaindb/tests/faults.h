// Faults of the file layer for tests: the N-th I/O call (read, write or
// flush of a file, rename) fails, transfers half, or ends the process; the
// process also ends at an open, close or delete of a file when that call
// is the N-th.
#pragma once

#include <cstdint>
#include <vector>

namespace cdbtest {

enum class Fault { None, ShortWrite, FailWrite, FailFlush, ShortRead, FailRename, Kill };

struct FaultPlan {
  Fault kind = Fault::None;
  uint64_t at = 0;     // 1-based call number
  uint64_t calls = 0;  // calls made so far
  bool fired = false;
  bool held = false;   // calls are not counted until ArmFaults
};

// Installs the counting wrappers (once) and sets the plan.
void SetFaults(Fault kind, uint64_t at);
FaultPlan& Faults();
// The kind of each call counted since the plan was set: 'o'pen, 'c'lose,
// 'd'elete, 'r'ead, 'w'rite, 'f'lush, 'm'ove.
const std::vector<char>& CallKinds();
void ClearFaults();
// A workload's base, built before the calls that count: HoldFaults stops
// counting, ArmFaults starts it from 0 and marks the write log's start.
void HoldFaults();
void ArmFaults();

// The write log of power-cut tests: every write with its offset and bytes,
// and a barrier at every completed flush of the file's buffers.
struct LoggedWrite {
  uint64_t offset;
  std::vector<uint8_t> bytes;
  int barrier;  // barriers completed before this write
};
void StartWriteLog();
std::vector<LoggedWrite>& WriteLog();
int Barriers();
// The write-log entry and barrier count at the last ArmFaults (0 without one).
size_t ArmedLogIndex();
void StopWriteLog();

}  // namespace cdbtest
