// Several processes on one shared file under one wineserver: two writers
// bump a counter term and add log terms with keys, two readers check in read
// transactions that counter, log and keys agree and every key's term lives.
#include <cstdio>

#include "cdb_test.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

const uint8_t kRW = 2, kRD = 1, kDenyNone = 1, kReadWrite = 2;

struct Child {
  PROCESS_INFORMATION pi{};
  HANDLE out = nullptr;
  std::string text;
};

Child Spawn(const char* role, const std::wstring& path, int id) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::string spec = std::string(role) + "|" + std::to_string(id) + "|" + std::string(path.begin(), path.end());
  SetEnvironmentVariableA("CDB_PEER", spec.c_str());
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  CreatePipe(&readEnd, &writeEnd, &sa, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  Child c;
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=Peer.Run --watchdog=300";
  CreateProcessW(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &c.pi);
  SetEnvironmentVariableA("CDB_PEER", nullptr);
  CloseHandle(writeEnd);
  c.out = readEnd;
  return c;
}

// Reads every child's output until all have ended.
void Collect(std::vector<Child>& children) {
  for (bool alive = true; alive;) {
    alive = false;
    for (auto& c : children) {
      DWORD avail = 0, n = 0;
      char buffer[4096];
      while (PeekNamedPipe(c.out, nullptr, 0, nullptr, &avail, nullptr) && avail &&
             ReadFile(c.out, buffer, sizeof buffer, &n, nullptr) && n)
        c.text.append(buffer, n);
      if (WaitForSingleObject(c.pi.hProcess, 0) == WAIT_TIMEOUT) alive = true;
    }
    Sleep(5);
  }
  for (auto& c : children) {
    DWORD avail = 0, n = 0;
    char buffer[4096];
    while (PeekNamedPipe(c.out, nullptr, 0, nullptr, &avail, nullptr) && avail &&
           ReadFile(c.out, buffer, sizeof buffer, &n, nullptr) && n)
      c.text.append(buffer, n);
    CloseHandle(c.out);
    CloseHandle(c.pi.hProcess);
    CloseHandle(c.pi.hThread);
  }
}

int Count(const std::string& text, const char* word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

constexpr int kTransactions = 500;

// One peer: a writer or a reader, reporting each commit or check.
TEST(Peer, Run) {
  char spec[700];
  if (!GetEnvironmentVariableA("CDB_PEER", spec, sizeof spec)) GTEST_SKIP();
  ASSERT_EQ(LinkUnit(), 0);
  char role[16], path[600];
  int id = 0;
  ASSERT_EQ(sscanf(spec, "%15[^|]|%d|%599[^\n]", role, &id, path), 3);
  std::wstring file(path, path + strlen(path));
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_OpenShare(&h, file.c_str(), &kReadWrite, &kDenyNone);
              QEL_DB_SetRetry(h, 1, 100000);
            }),
            0u);
  bool writer = std::string(role) == "writer";
  for (int i = 0; i < kTransactions; ++i) {
    std::string verdict = "ok";
    uint32_t code = ErrorOf([&] {
      QEL_DB_BeginTransaction(h, writer ? &kRW : &kRD);
      TRef counter = QEL_DB_ChainFirst(h, L"counter");
      int32_t n = reinterpret_cast<const Item*>(QEL_DB_RefTerm(ItemDomain(), h, counter))->n;
      int32_t sel;
      QEL_DB_BtOpen(h, L"keys", &sel);
      if (writer) {
        QEL_DB_TermReplace(ItemDomain(), h, counter, MakeItem(n + 1, L"counter"));
        TRef r = QEL_DB_ChainInsertz(ItemDomain(), h, L"log", MakeItem(n + 1, L"log"));
        std::wstring key = L"w" + std::to_wstring(id) + L"-" + std::to_wstring(i);
        QEL_DB_KeyInsert(h, sel, key.c_str(), r);
      } else {
        int logs = 0, keys = 0;
        TRef r;
        if (Succeeds([&] { r = QEL_DB_ChainFirst(h, L"log"); }))
          do ++logs;
          while (Succeeds([&] { r = QEL_DB_ChainNext(h, r); }));
        if (Succeeds([&] { QEL_DB_KeyFirst(h, sel, &r); }))
          do {
            QEL_DB_RefTerm(ItemDomain(), h, r);
            ++keys;
          } while (Succeeds([&] { QEL_DB_KeyNext(h, sel, &r); }));
        if (logs != n || keys != n) verdict = "bad";
      }
      QEL_DB_BtClose(h, sel);
      QEL_DB_EndTransaction(h);
    });
    if (code) verdict = "error" + std::to_string(code);
    printf("%s %d\n", writer ? (verdict == "ok" ? "commit" : verdict.c_str()) : verdict.c_str(), i);
    fflush(stdout);
  }
  QEL_DB_Close(h);
}

TEST(Concurrency, TwoWritersAndTwoReadersKeepTheInvariants) {
  ASSERT_EQ(LinkUnit(), 0);
  std::wstring path = Scratch(L"peers") + L"shared.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, path.c_str(), &kFile);
              QEL_DB_ChainInsertz(ItemDomain(), h, L"counter", MakeItem(0, L"counter"));
              int32_t s;
              QEL_DB_BtCreate6(h, L"keys", &s, 16, 4, false);
              QEL_DB_BtClose(h, s);
              QEL_DB_Close(h);
            }),
            0u);
  std::vector<Child> peers;
  peers.push_back(Spawn("writer", path, 1));
  peers.push_back(Spawn("reader", path, 2));
  peers.push_back(Spawn("writer", path, 3));
  peers.push_back(Spawn("reader", path, 4));
  Collect(peers);
  int commits = Count(peers[0].text, "commit ") + Count(peers[2].text, "commit ");
  EXPECT_EQ(commits, 2 * kTransactions);
  for (auto& p : peers) {
    EXPECT_EQ(Count(p.text, "bad "), 0) << p.text.substr(0, 400);
    EXPECT_EQ(Count(p.text, "error"), 0) << p.text.substr(0, 400);
  }
  EXPECT_EQ(Count(peers[1].text, "ok ") + Count(peers[3].text, "ok "), 2 * kTransactions);
  int32_t n = -1;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Open(&h, path.c_str(), &kFile);
              n = reinterpret_cast<const Item*>(QEL_DB_RefTerm(ItemDomain(), h, QEL_DB_ChainFirst(h, L"counter")))->n;
              QEL_DB_Close(h);
            }),
            0u);
  EXPECT_EQ(n, commits);
  EXPECT_EQ(Verified(path), "");
}

}  // namespace
