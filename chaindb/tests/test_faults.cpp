// Faults at every I/O call of the scripted workloads: failed and short
// transfers in process, and a child process ended at each call.  The
// reopened file is the state of the last completed flush (or of the flush
// that was running), verified, or it is refused with 1317 and OpenInvalid
// opens it.
#include <cstdio>
#include <random>
#include <set>

#include "child_process.h"
#include "db.h"
#include "faults.h"
#include "workload.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

bool IsStorageError(uint32_t code) { return code == 1111 || code == 1112 || code == 1336; }

// Reopened files that opened as valid databases.
int g_validOpens = 0;

// Chain and tree names with their sizes, for failure messages.
std::string Summary(const std::map<std::wstring, std::vector<std::wstring>>& texts) {
  std::string s;
  for (auto& [name, entries] : texts) s += Narrow(name) + ":" + std::to_string(entries.size()) + " ";
  return s;
}

// A repaired copy holds every chain as it was read; a tree holds only
// entries that were read (the copy's tree is in order where a torn node
// was read out of order, and it drops entries whose references lead to no
// record of a chain).
bool HoldsWhatWasRead(const std::map<std::wstring, std::vector<std::wstring>>& copy,
                      const std::map<std::wstring, std::vector<std::wstring>>& read) {
  for (auto& [name, entries] : read) {
    auto it = copy.find(name);
    const std::vector<std::wstring> none;
    const std::vector<std::wstring>& kept = it == copy.end() ? none : it->second;
    if (name.rfind(L"<tree> ", 0) != 0) {
      if (kept != entries) return false;
      continue;
    }
    std::set<std::wstring> wasRead(entries.begin(), entries.end());
    for (const std::wstring& e : kept)
      if (!wasRead.count(e)) return false;
  }
  for (auto& [name, entries] : copy)
    if (!read.count(name)) return false;
  return true;
}

// A file refused with 1317: OpenInvalid takes it, and closing that handle
// leaves the mark (Open still refuses the file); a Copy of what OpenInvalid
// reads is a sound file with those contents.
void CheckInvalidOpen(Db& db, const std::wstring& path, const std::string& where) {
  ASSERT_EQ(ErrorOf([&] { db.OpenInvalid(path, kFile); }), 0u) << where << "\n" << Verified(path);
  std::map<std::wstring, std::vector<std::wstring>> read, copy;
  uint32_t readCode = ErrorOf([&] { read = ReadAll(db); });
  std::wstring repaired = path + L".repaired";
  DeleteFileW(repaired.c_str());
  uint32_t copied = ErrorOf([&] { db.Copy(repaired, kFile); });
  EXPECT_EQ(ErrorOf([&] { db.Close(); }), 0u) << where;
  std::vector<uint8_t> bytes = ReadBytes(path);
  size_t mark = db.wide ? 64 : 56;
  EXPECT_TRUE(bytes.size() > mark && bytes[mark] == 1) << where << ": closed after OpenInvalid without its mark";
  Db again = db;
  EXPECT_EQ(ErrorOf([&] {
              again.Open(path, kFile);
              again.Close();
            }),
            1317u)
      << where;
  if (readCode == 0) {
    EXPECT_EQ(copied, 0u) << where << ": the Copy of a file OpenInvalid read whole: " << Narrow(LastError());
  }
  if (copied != 0) return;
  EXPECT_EQ(Verified(repaired), "") << where << ": the Copy of a file opened invalid";
  uint32_t reopened = ErrorOf([&] { again.Open(repaired, kFile); });
  ASSERT_EQ(reopened, 0u) << where;
  // Terms are copied as they are: a term the source could not read stays so.
  uint32_t copyRead = ErrorOf([&] { copy = ReadAll(again); });
  EXPECT_EQ(ErrorOf([&] { again.Close(); }), 0u) << where;
  if (readCode == 0) {
    EXPECT_EQ(copyRead, 0u) << where << ": " << Narrow(LastError());
    EXPECT_TRUE(HoldsWhatWasRead(copy, read)) << where << ": the Copy holds other contents: " << Summary(copy);
  }
}

// Reopens the file the way a fresh process would, exclusively and (with
// `readShared`) shared with a read transaction, and checks it against the
// models of commit `last` and the one after it.
void CheckReopened(const std::wstring& path, const std::vector<Model>& models, int last, const std::string& where,
                   bool wide = true, bool readShared = true) {
  Db db, shared;
  db.wide = shared.wide = wide;
  shared.sel = 8;
  uint32_t code = ErrorOf([&] { db.Open(path, kFile); });
  if (last < 0 && code != 0) {
    // The create itself failed: whatever exists is no valid database.
    EXPECT_TRUE(code == 1111 || code == 1317 || code == 1326 || code == 1336) << where << " code " << code;
    return;
  }
  auto beginShared = [&] {
    shared.OpenShare(path);
    shared.SetRetry(1, 10);
    shared.Begin(1);
  };
  if (code == 0) {
    ++g_validOpens;
    std::map<std::wstring, std::vector<std::wstring>> got, viaShare;
    EXPECT_EQ(ErrorOf([&] { got = ReadAll(db); }), 0u) << where;
    db.Close();
    EXPECT_EQ(Verified(path), "") << where;
    bool matches = (last >= 0 && got == models[last].Texts()) ||
                   (last + 1 < static_cast<int>(models.size()) && got == models[last + 1].Texts());
    EXPECT_TRUE(matches) << where << ": contents of neither commit " << last << " nor the next: " << Summary(got);
    if (!readShared) return;
    EXPECT_EQ(ErrorOf([&] {
                beginShared();
                viaShare = ReadAll(shared);
                shared.End();
              }),
              0u)
        << where;
    ErrorOf([&] { shared.Close(); });
    EXPECT_TRUE(viaShare == got) << where << ": a shared reader sees other contents";
    return;
  }
  ASSERT_EQ(code, 1317u) << where << "\n" << Verified(path);
  if (readShared) {
    EXPECT_EQ(ErrorOf(beginShared), 1317u) << where;
    ErrorOf([&] { shared.Close(); });
  }
  CheckInvalidOpen(db, path, where);
}

// This run's share of the kill points: CDB_SHARD="i/n" takes the points
// with N mod n = i.
void Shard(uint64_t* index, uint64_t* count) {
  char spec[32];
  *index = 0;
  *count = 1;
  unsigned long long i = 0, n = 1;
  if (GetEnvironmentVariableA("CDB_SHARD", spec, sizeof spec) && sscanf(spec, "%llu/%llu", &i, &n) == 2 && n > 0 &&
      i < n) {
    *index = i;
    *count = n;
  }
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkUnit(), 0);
    if (!GetParam().wide) chainDB8::QEL_DB8_SetCodePage(1252);
    path_ = Scratch(L"faults") + L"w.km6";
    models_ = WorkloadModels(GetParam().w);
    ASSERT_GE(models_.size(), 6u);
    SetFaults(Fault::None, 0);
    ASSERT_EQ(ErrorOf([&] { RunWorkload(path_, kFile, [](int, const Model&) {}, nullptr, GetParam()); }), 0u);
    total_ = Faults().calls;
    ClearFaults();
    EXPECT_EQ(Verified(path_), "");
    printf("%s: %llu I/O calls\n", GetParam().Name().c_str(), static_cast<unsigned long long>(total_));
  }
  std::wstring path_;
  std::vector<Model> models_;
  uint64_t total_ = 0;
};

TEST_P(FaultSweep, EveryFailedOrShortTransferKeepsTheRule) {
  // The retried flush and the abandoned descriptor need the wide exclusive
  // form; the other runs are covered by kills and power cuts.
  if (GetParam().shared || !GetParam().wide) GTEST_SKIP() << "exclusive wide runs only";
  int fired = 0;
  for (Fault kind : {Fault::ShortWrite, Fault::FailWrite, Fault::FailFlush, Fault::ShortRead}) {
    for (uint64_t n = 1; n <= total_; ++n) {
      DeleteFileW(path_.c_str());
      int last = -1;
      Db db;
      FILEDESCR**& h = db.h;
      SetFaults(kind, n);
      uint32_t code = ErrorOf([&] { RunWorkload(path_, kFile, [&](int k, const Model&) { last = k; }, &db, GetParam()); });
      bool hit = Faults().fired;
      ClearFaults();
      std::string where = "fault " + std::to_string(static_cast<int>(kind)) + " at call " + std::to_string(n);
      if (!hit) {
        EXPECT_EQ(code, 0u) << where;
        continue;
      }
      ++fired;
      EXPECT_TRUE(IsStorageError(code)) << where << " code " << code;
      bool inFlush = g_workloadInFlush;
      g_workloadInFlush = false;
      if (h && *h && inFlush) {
        // The process goes on: a retried flush succeeds and commits.
        EXPECT_EQ(ErrorOf([&] { QEL_DB_Flush(h); }), 0u) << where;
        EXPECT_EQ(ErrorOf([&] { QEL_DB_Close(h); }), 0u) << where;
        CheckReopened(path_, models_, last + 1, where);
        continue;
      }
      if (h && *h) {
        // A change cut in half: the database refuses to flush as clean.
        if ((*h)->changing) {
          EXPECT_EQ(ErrorOf([&] { QEL_DB_Flush(h); }), 1317u) << where;
        }
        Abandon(h);
      }
      CheckReopened(path_, models_, last, where);
    }
  }
  EXPECT_GT(fired, 100);
}

// The kill point and the file of a child run (CDB_CHILD "N|path"); false
// outside one.
bool ChildRun(uint64_t* at, std::wstring* path) {
  char spec[600], file[512];
  unsigned long long n = 0;
  if (!GetEnvironmentVariableA("CDB_CHILD", spec, sizeof spec) || sscanf(spec, "%llu|%511[^\n]", &n, file) != 2)
    return false;
  *at = n;
  *path = std::wstring(file, file + strlen(file));
  return true;
}

// The child side of the kill sweep: runs the workload and reports each
// commit on its standard output as soon as the call returns.
TEST(FaultChild, Run) {
  uint64_t at = 0;
  std::wstring wpath;
  if (!ChildRun(&at, &wpath)) GTEST_SKIP();
  ASSERT_EQ(LinkUnit(), 0);
  char kind[16] = "0";
  GetEnvironmentVariableA("CDB_WORKLOAD", kind, sizeof kind);
  Scenario run = Scenario::Decode(kind);
  if (!run.wide) chainDB8::QEL_DB8_SetCodePage(1252);
  SetFaults(Fault::Kill, at);
  ErrorOf([&] {
    RunWorkload(
        wpath, kFile,
        [](int k, const Model&) {
          printf("commit %d\n", k);
          fflush(stdout);
        },
        nullptr, run);
  });
  printf("done\n");
  fflush(stdout);
}

// The shell's kill -9 rounds (kill_rounds.sh): the workload, reporting its
// commits, until the shell ends the process.
TEST(FaultChild, Endless) {
  char path[512];
  if (!GetEnvironmentVariableA("CDB_ENDLESS", path, sizeof path)) GTEST_SKIP();
  ASSERT_EQ(LinkUnit(), 0);
  std::wstring file(path, path + strlen(path));
  char kind[16] = "0";
  GetEnvironmentVariableA("CDB_WORKLOAD", kind, sizeof kind);
  Scenario run = Scenario::Decode(kind);
  if (!run.wide) chainDB8::QEL_DB8_SetCodePage(1252);
  for (int round = 0; round < 10000; ++round) {
    // The previous round's file goes before "start" is reported, so a kill
    // between the report and the create never leaves that round's last
    // state to be checked against this round's commits.
    DeleteFileW(file.c_str());
    printf("start\n");
    fflush(stdout);
    uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
    ErrorOf([&] {
      RunWorkload(
          file, kFile,
          [](int k, const Model&) {
            printf("commit %d\n", k);
            fflush(stdout);
          },
          nullptr, run);
    });
    Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
  }
  printf("done\n");
  fflush(stdout);
}

// ...and the fresh process that checks the file after each kill.
TEST(FaultChild, Check) {
  char spec[600];
  if (!GetEnvironmentVariableA("CDB_CHECK", spec, sizeof spec)) GTEST_SKIP();
  ASSERT_EQ(LinkUnit(), 0);
  int last = -1;
  char path[512];
  ASSERT_EQ(sscanf(spec, "%d|%511[^\n]", &last, path), 2);
  std::wstring file(path, path + strlen(path));
  char kind[16] = "0";
  GetEnvironmentVariableA("CDB_WORKLOAD", kind, sizeof kind);
  Scenario run = Scenario::Decode(kind);
  if (!run.wide) chainDB8::QEL_DB8_SetCodePage(1252);
  std::vector<Model> models = WorkloadModels(run.w);
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // No file: killed before the create, or after a finished round removed
    // its file for the next one.
    EXPECT_TRUE(last == -1 || last == static_cast<int>(models.size()) - 1) << "last commit " << last;
    return;
  }
  CheckReopened(file, models, last, "kill -9 after commit " + std::to_string(last), run.wide);
}

// Runs the child test `test` killed at call `at`; returns the last commit
// it reported.
// With `killAfterMs`, the parent ends the child that long after its start,
// and the commits count from the child's last "start".
int RunChild(uint64_t at, const std::wstring& path, const wchar_t* test = L"FaultChild.Run", Scenario run = {},
             uint32_t killAfterMs = 0) {
  std::wstring exe = testchild::ThisProgram();
  std::string spec = std::to_string(at) + "|" + std::string(path.begin(), path.end());
  SetEnvironmentVariableA("CDB_CHILD", spec.c_str());
  if (killAfterMs) SetEnvironmentVariableA("CDB_ENDLESS", std::string(path.begin(), path.end()).c_str());
  SetEnvironmentVariableA("CDB_WORKLOAD", run.Encode().c_str());
  std::wstring cmd = L"\"" + exe + L"\" --gtest_filter=" + test + L" --watchdog=60";
  // Under load Wine now and then fails to start a process (1359).  When the
  // child's file is still absent the child never ran, and starting it again
  // repeats no kill point.
  testchild::Child c;
  for (int attempt = 0; attempt < 3; ++attempt) {
    c = testchild::Start(exe, cmd);
    if (c.error != ERROR_INTERNAL_ERROR || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    printf("child start failed (1359), started again\n");
    Sleep(200);
  }
  SetEnvironmentVariableA("CDB_CHILD", nullptr);
  SetEnvironmentVariableA("CDB_ENDLESS", nullptr);
  if (!c.Started()) {
    ADD_FAILURE() << "CreateProcess failed at call " << at << ": " << c.error;
    return -2;
  }
  // A child that hangs is ended after a minute and a half.
  testchild::Wait(c, 90000, killAfterMs);
  if (c.hung) ADD_FAILURE() << "child hung at call " << at;
  const std::string& out = c.text;
  int last = -1;
  size_t from = out.rfind("start");
  for (size_t at = out.find("commit ", from == std::string::npos ? 0 : from); at != std::string::npos;
       at = out.find("commit ", at + 1))
    last = atoi(out.c_str() + at + 7);
  return last;
}

// The parent ends a child running the workload again and again at random
// moments (CDB_TERMINATE_ROUNDS rounds, 12 by default; the seed is printed).
TEST_P(FaultSweep, ParentTerminatesAtRandomMomentsKeepsTheRule) {
  char text[32];
  int rounds = GetEnvironmentVariableA("CDB_TERMINATE_ROUNDS", text, sizeof text) ? atoi(text) : 12;
  unsigned seed = static_cast<unsigned>(GetTickCount64());
  printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < rounds; ++round) {
    DeleteFileW(path_.c_str());
    uint32_t delay = 150 + rng() % 1500;
    int last = RunChild(0, path_, L"FaultChild.Endless", GetParam(), delay);
    ASSERT_NE(last, -2);
    std::string where = "terminated after " + std::to_string(delay) + " ms, last commit " + std::to_string(last);
    if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
      // Before the first create, or between a finished round and the next.
      EXPECT_TRUE(last == -1 || last == static_cast<int>(models_.size()) - 1) << where;
      continue;
    }
    CheckReopened(path_, models_, last, where, GetParam().wide);
  }
}

TEST_P(FaultSweep, ChildKilledAtEveryCallKeepsTheRule) {
  uint64_t shard, shards, points = 0;
  Shard(&shard, &shards);
  for (uint64_t n = 1; n <= total_ + 1; ++n) {
    if (n % shards != shard) continue;
    DeleteFileW(path_.c_str());
    int last = RunChild(n, path_, L"FaultChild.Run", GetParam());
    ASSERT_NE(last, -2);
    CheckReopened(path_, models_, last, "kill at call " + std::to_string(n), GetParam().wide);
    ++points;
  }
  printf("%s: %llu kill points (shard %llu of %llu)\n", GetParam().Name().c_str(),
         static_cast<unsigned long long>(points), static_cast<unsigned long long>(shard),
         static_cast<unsigned long long>(shards));
  RecordProperty("kill_points", static_cast<int>(points));
}

// Power cuts: every file the cut could leave.  Writes before the last
// completed barrier are on disk; of the writes after it any subset may be,
// and a write may be torn at a 512-byte sector.
TEST_P(FaultSweep, EveryFileAPowerCutCouldLeaveKeepsTheRule) {
  DeleteFileW(path_.c_str());
  std::vector<int> commitsAtBarrier;  // commits reported when barrier b completed
  int commits = -1;
  StartWriteLog();
  ASSERT_EQ(ErrorOf([&] {
              RunWorkload(
                  path_, kFile,
                  [&](int k, const Model&) {
                    commits = k;
                    commitsAtBarrier.resize(Barriers() + 1, -1);
                    commitsAtBarrier[Barriers()] = k;
                  },
                  nullptr, GetParam());
            }),
            0u);
  StopWriteLog();
  std::vector<LoggedWrite> log = WriteLog();
  int barriers = Barriers();
  size_t armed = ArmedLogIndex();
  ClearFaults();
  ASSERT_GT(barriers, 10);
  // The last commit reported before barrier b completed.
  std::vector<int> lastCommit(barriers + 2, -1);
  for (int b = 0, k = -1; b <= barriers + 1; ++b) {
    if (b < static_cast<int>(commitsAtBarrier.size()) && commitsAtBarrier[b] > k) k = commitsAtBarrier[b];
    lastCommit[b] = k;
  }
  std::mt19937 rng(77);
  int images = 0;
  g_validOpens = 0;
  std::vector<uint8_t> disk;
  auto apply = [](std::vector<uint8_t>& f, const LoggedWrite& w, size_t upto) {
    if (f.size() < w.offset + upto) f.resize(w.offset + upto, 0);
    std::copy(w.bytes.begin(), w.bytes.begin() + upto, f.begin() + w.offset);
  };
  // A base built before the workload counts is on disk whole.
  size_t next = 0;
  for (; next < armed; ++next) apply(disk, log[next], log[next].bytes.size());
  int first = armed < log.size() ? log[armed].barrier : barriers;
  for (int b = first; b <= barriers; ++b) {
    // The writes in flight after barrier b.
    std::vector<size_t> flight;
    while (next < log.size() && log[next].barrier == b) flight.push_back(next++);
    std::vector<std::vector<bool>> subsets = {std::vector<bool>(flight.size(), false),
                                              std::vector<bool>(flight.size(), true)};
    for (size_t i = 0; i < flight.size(); ++i) {
      std::vector<bool> one(flight.size(), false), prefix(flight.size(), false);
      one[i] = true;
      for (size_t j = 0; j <= i; ++j) prefix[j] = true;
      subsets.push_back(one);
      subsets.push_back(prefix);
    }
    for (int r = 0; r < 6 && !flight.empty(); ++r) {
      std::vector<bool> any(flight.size());
      for (size_t i = 0; i < any.size(); ++i) any[i] = rng() % 2;
      subsets.push_back(any);
    }
    for (size_t s = 0; s < subsets.size(); ++s) {
      for (bool torn : {false, true}) {
        std::vector<uint8_t> image = disk;
        bool tore = false;
        for (size_t i = 0; i < flight.size(); ++i) {
          if (!subsets[s][i]) continue;
          const LoggedWrite& w = log[flight[i]];
          size_t upto = w.bytes.size();
          // Torn: only the sectors up to the first boundary inside the write.
          if (torn && !tore && upto > 1) {
            size_t cut = (w.offset / 512 + 1) * 512 - w.offset;
            if (cut < upto) {
              upto = cut;
              tore = true;
            }
          }
          apply(image, w, upto);
        }
        if (torn && !tore) continue;
        WriteBytes(path_, image);
        ++images;
        CheckReopened(path_, models_, lastCommit[b],
                      "power cut after barrier " + std::to_string(b) + ", subset " + std::to_string(s) +
                          (torn ? " torn" : ""),
                      GetParam().wide, GetParam().shared);
      }
    }
    for (size_t i : flight) apply(disk, log[i], log[i].bytes.size());
  }
  printf("%s: %d power-cut images, %d opened valid\n", GetParam().Name().c_str(), images, g_validOpens);
  EXPECT_GT(images, 100);
  (void)commits;
}

// Failed and short transfers in process need the wide descriptor and the
// exclusive Flush; kills and power cuts run every mode and variant.
// The change that opens a new reference block writes the first-level table
// in place; cut before the new header, the file holds the old header, marked,
// over a table that names a block past that header's end of file.
// OpenInvalid opens it; the block is not the header's.
TEST(PowerCut, NewReferenceBlockBeforeItsHeaderOpensInvalid) {
  ASSERT_EQ(LinkUnit(), 0);
  std::wstring path = Scratch(L"refblock") + L"r.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, path.c_str(), &kFile);
              // 1023 unpaged references, then all 1024 slots of block 1.
              for (int i = 0; i < 2047; ++i) QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"x"));
              QEL_DB_Close(h);
            }),
            0u);
  std::vector<uint8_t> before = ReadBytes(path);
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Open(&h, path.c_str(), &kFile);
              QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"block 2"));
              QEL_DB_Close(h);
            }),
            0u);
  std::vector<uint8_t> image = ReadBytes(path);
  std::copy(before.begin(), before.begin() + 320, image.begin());
  image[64] = 1;  // the update mark the change wrote first
  WriteBytes(path, image);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Open(&h, path.c_str(), &kFile); }), 1317u);
  ASSERT_EQ(ErrorOf([&] { QEL_DB_OpenInvalid(&h, path.c_str(), &kFile); }), 0u);
  std::map<std::wstring, std::vector<std::wstring>> got;
  ErrorOf([&] { got = ReadAll(h); });
  EXPECT_EQ(ErrorOf([&] { QEL_DB_RefTerm(Str(), h, 2); }), 1319u);  // block 2, slot 0
  Abandon(h);
}

INSTANTIATE_TEST_SUITE_P(
    Workloads, FaultSweep,
    ::testing::Values(Scenario{Workload::Chains}, Scenario{Workload::Index}, Scenario{Workload::Paging},
                      Scenario{Workload::Blocks}, Scenario{Workload::Chains, true}, Scenario{Workload::Index, true},
                      Scenario{Workload::Paging, true}, Scenario{Workload::Chains, false, false},
                      Scenario{Workload::Index, false, false}, Scenario{Workload::Paging, true, false},
                      Scenario{Workload::Blocks, true, false}),
    [](const auto& info) { return info.param.Name(); });

// The document a save writes: chains and a B+tree in memory.
void BuildDocument(FILEDESCR*** h, const wchar_t* name, int terms) {
  QEL_DB_Create(h, name, &kMem);
  int32_t s;
  QEL_DB_BtCreate6(*h, L"index", &s, 10, 2, false);
  for (int i = 0; i < terms; ++i) {
    TRef r = QEL_DB_ChainInsertz(ItemDomain(), *h, i % 2 ? L"duties" : L"locks", MakeItem(i, L"ward"));
    std::wstring key = L"k" + std::to_wstring(i);
    QEL_DB_KeyInsert(*h, s, key.c_str(), r);
  }
  QEL_DB_BtClose(*h, s);
}

// A Copy over `target` that ends the process at call `at`; "commit 1"
// when it got through.
void CopyEndedAt(FILEDESCR** h, const std::wstring& target, uint64_t at) {
  SetFaults(Fault::Kill, at);
  ErrorOf([&] { QEL_DB_Copy(h, target.c_str(), &kFile); });
  printf("commit 1\n");
  fflush(stdout);
}

// The child side of the save sweep: a Copy over the document file, ended at
// call N.
TEST(FaultChild, Save) {
  uint64_t at = 0;
  std::wstring target;
  if (!ChildRun(&at, &target)) GTEST_SKIP();
  ASSERT_EQ(LinkUnit(), 0);
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] { BuildDocument(&h, L"save-source", 60); }), 0u);
  CopyEndedAt(h, target, at);
}

// A save killed at each of its I/O calls (the temporary file's writes and
// syncs, the rename) leaves the old document or the new one, whole.
TEST(SaveSweep, ChildKilledAtEveryCallOfACopyLeavesOldOrNew) {
  ASSERT_EQ(LinkUnit(), 0);
  std::wstring dir = Scratch(L"save");
  std::wstring target = dir + L"doc.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              BuildDocument(&h, L"save-old", 7);
              QEL_DB_Copy(h, target.c_str(), &kFile);
              QEL_DB_Close(h);
              QEL_DB_Delete(L"save-old", &kMem);
            }),
            0u);
  std::vector<uint8_t> old = ReadBytes(target);
  // The calls of one save, counted in process; the new document's contents.
  std::map<std::wstring, std::vector<std::wstring>> fresh;
  uint64_t calls = 0;
  ASSERT_EQ(ErrorOf([&] {
              BuildDocument(&h, L"save-new", 60);
              std::wstring probe = dir + L"probe.km6";
              SetFaults(Fault::None, 0);
              QEL_DB_Copy(h, probe.c_str(), &kFile);
              calls = Faults().calls;
              ClearFaults();
              QEL_DB_Close(h);
              QEL_DB_Delete(L"save-new", &kMem);
              QEL_DB_Open(&h, probe.c_str(), &kFile);
              fresh = ReadAll(h);
              QEL_DB_Close(h);
            }),
            0u);
  printf("a save makes %llu I/O calls\n", static_cast<unsigned long long>(calls));
  std::wstring temp = target + L"~cdb";
  int olds = 0, news = 0, leftovers = 0;
  for (uint64_t n = 1; n <= calls + 1; ++n) {
    WriteBytes(target, old);
    // Each save starts beside the temporary file the previous kill left.
    RunChild(n, target, L"FaultChild.Save");
    std::string where = "save killed at call " + std::to_string(n);
    bool leftover = GetFileAttributesW(temp.c_str()) != INVALID_FILE_ATTRIBUTES;
    leftovers += leftover;
    if (n == calls + 1) {
      EXPECT_FALSE(leftover) << "a finished save left its temporary file";
    }
    std::vector<uint8_t> now = ReadBytes(target);
    if (now == old) {
      ++olds;
      continue;
    }
    ++news;
    EXPECT_EQ(Verified(target), "") << where;
    std::map<std::wstring, std::vector<std::wstring>> got;
    EXPECT_EQ(ErrorOf([&] {
                QEL_DB_Open(&h, target.c_str(), &kFile);
                got = ReadAll(h);
                int32_t s;
                QEL_DB_BtOpen(h, L"index", &s);
                uint32_t st[6];
                QEL_DB_BtStatistics(h, s, st, st + 1, st + 2, st + 3, st + 4, st + 5);
                EXPECT_EQ(st[0], 60u) << where;
                QEL_DB_Close(h);
              }),
              0u)
        << where;
    EXPECT_EQ(got.size(), fresh.size()) << where;
    EXPECT_TRUE(got == fresh) << where;
  }
  EXPECT_GT(olds, 0);
  EXPECT_GT(news, 0);
  printf("%d of %llu kills left a temporary file\n", leftovers, static_cast<unsigned long long>(calls));
}

// The child side of the next test: a Copy of the file database CDB_SOURCE
// over the document, ended at call N ("commit 0" once the source is open).
TEST(FaultChild, CopyFromFile) {
  uint64_t at = 0;
  std::wstring target;
  char source[512];
  if (!ChildRun(&at, &target) || !GetEnvironmentVariableA("CDB_SOURCE", source, sizeof source)) GTEST_SKIP();
  ASSERT_EQ(LinkUnit(), 0);
  std::wstring from(source, source + strlen(source));
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Open(&h, from.c_str(), &kFile); }), 0u);
  printf("commit 0\n");
  fflush(stdout);
  CopyEndedAt(h, target, at);
}

// A Copy removes the temporary file a killed Copy left beside its target
// before it makes its own, which it makes only once it has the whole
// image: killed while it reads its source, it leaves none.
TEST(SaveSweep, CopyKilledWhileReadingItsSourceLeavesNoTemporaryFile) {
  ASSERT_EQ(LinkUnit(), 0);
  std::wstring dir = Scratch(L"leftover");
  std::wstring source = dir + L"source.km6", target = dir + L"doc.km6", temp = target + L"~cdb";
  FILEDESCR** h = nullptr;
  std::vector<char> kinds;
  ASSERT_EQ(ErrorOf([&] {
              BuildDocument(&h, L"leftover-source", 400);
              QEL_DB_Copy(h, source.c_str(), &kFile);
              QEL_DB_Close(h);
              QEL_DB_Delete(L"leftover-source", &kMem);
              QEL_DB_Open(&h, source.c_str(), &kFile);
              SetFaults(Fault::None, 0);
              QEL_DB_Copy(h, (dir + L"probe.km6").c_str(), &kFile);
              kinds = CallKinds();
              ClearFaults();
              QEL_DB_Close(h);
            }),
            0u);
  SetEnvironmentVariableA("CDB_SOURCE", std::string(source.begin(), source.end()).c_str());
  int reads = 0;
  for (uint64_t n = 1; n <= kinds.size(); ++n) {
    if (kinds[n - 1] != 'r') continue;
    ++reads;
    WriteBytes(temp, std::vector<uint8_t>(5000, 0xEE));
    // 0: the source opened, the Copy killed.
    EXPECT_EQ(RunChild(n, target, L"FaultChild.CopyFromFile"), 0) << "call " << n;
    EXPECT_EQ(GetFileAttributesW(temp.c_str()), INVALID_FILE_ATTRIBUTES) << "killed at call " << n << " (a read)";
  }
  SetEnvironmentVariableA("CDB_SOURCE", nullptr);
  EXPECT_GT(reads, 0) << std::string(kinds.begin(), kinds.end());
}

}  // namespace
