// DDE between two processes: this program as client, kwi_dde_server (on the
// layer) as server: execute, poke, request (CR LF to LF), an advise loop, an
// asynchronous execute giving a transaction-complete event, and an unknown
// item with and without validation.  Between transactions the queue is
// pumped, as the program's message loop does: Wine's DDE library leaves an
// acknowledgement there after a request's data, which the conversation must
// see before its next transaction.  Under Wine 8 here an advise stop and a
// synchronous transaction after an asynchronous one time out, so neither is
// part of the test.
#include <gtest/gtest.h>

#include "checks.h"
#include "gui.h"

#include <ddeml.h>

using namespace QEL_KWI;
using namespace kwitest;

namespace {

std::wstring Beside(const wchar_t* file) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring p = self;
  return p.substr(0, p.find_last_of(L'\\') + 1) + file;
}

std::wstring Text(const dde_data_struct* d) {
  return d && d->kind == dd_str ? reinterpret_cast<const wchar_t*>(d->value) : L"<not a string>";
}

void Pump() { kwi_ProcessEvents(1, 0); }

TEST(Dde, ClientAndServerInTwoProcesses) {
  std::vector<std::wstring> advised;
  std::vector<LONG_PTR> completed;
  TaskOptions options;
  options.events = [&](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind != e_dde) Fail();
    auto* ev = reinterpret_cast<const dde_event*>(e->w[1]);
    if (ev->alt == 1) advised.push_back(Text(reinterpret_cast<const dde_data_struct*>(ev->w[2])));
    if (ev->alt == 13) completed.push_back(ev->w[2]);
    return DDE_FACK;
  };
  std::wstring greeting, name, lines;
  uintptr_t unknownKind = 0;
  LONG_PTR asyncId = 0, syncId = -1;
  std::vector<int> raised, unexpected;
  RunInTask([&](HWND) {
    ilist_struct none{ListNil, 0, nullptr};
    dde_Init(&none);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring server = Beside(L"kwi_dde_server.exe");
    ASSERT_TRUE(CreateProcessW(server.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    kwi_ArgValidation(0);
    LONG_PTR conv = 0;
    for (int i = 0; i < 200 && !conv; ++i, Sleep(50)) conv = dde_Connect(L"KwiServer", L"Roster");
    kwi_ArgValidation(1);
    ASSERT_NE(conv, 0);
    RaiseLog raises;
    dde_data_struct* d = nullptr;
    auto ask = [&](const wchar_t* item) {
      Pump();
      dde_Request(conv, item, CF_TEXT, 3000, &d);
      return Text(d);
    };
    syncId = dde_Execute(conv, L"store greeting hello", 3000);
    greeting = ask(L"greeting");
    Pump();
    dde_data_struct mueller{dd_str, reinterpret_cast<LONG_PTR>(L"M\u00fcller")};
    dde_Poke(conv, L"name", &mueller, CF_TEXT, 3000);
    name = ask(L"name");
    lines = ask(L"lines");
    Pump();
    ilist_struct noFlags{ListNil, 0, nullptr};
    dde_StartAdv(conv, L"name", CF_TEXT, &noFlags, 3000);
    Pump();
    dde_Execute(conv, L"store name Meier", 3000);
    PumpUntil([&] { return !advised.empty(); }, 5000);
    unexpected = raises.Take();
    kwi_ArgValidation(0);
    Pump();
    dde_Request(conv, L"nothing", CF_TEXT, 3000, &d);
    unknownKind = d->kind;
    kwi_ArgValidation(1);
    ask(L"nothing");
    raised = raises.Take();
    Pump();
    asyncId = dde_Execute(conv, L"store late value", 0);
    PumpUntil([&] { return !completed.empty(); }, 5000);
    dde_DisConnect(conv);
    dde_End();
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hProcess);
  }, options);
  EXPECT_TRUE(unexpected.empty()) << testing::PrintToString(unexpected);
  EXPECT_EQ(syncId, 0);
  EXPECT_EQ(greeting, L"hello");
  EXPECT_EQ(name, L"M\u00fcller");
  EXPECT_EQ(lines, L"a\nb");
  EXPECT_EQ(advised, std::vector<std::wstring>{L"Meier"});
  EXPECT_NE(asyncId, 0);
  EXPECT_EQ(completed, std::vector<LONG_PTR>{asyncId});
  EXPECT_EQ(unknownKind, dd_nodata);
  EXPECT_EQ(raised, std::vector<int>{6609});
}

}  // namespace
