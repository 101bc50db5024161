// Helpers of the program's tests: see the header.
#include "program_test.h"

#include <commctrl.h>

#include "SYSTEM/orv_list/remember_files.h"
#include "kalmoradb/staff_db.h"

namespace programtest {

namespace K = Qel::RunTime::Kernel;

namespace {

constexpr UINT kRunBody = WM_APP + 0x77;
const std::function<void(HWND)>* g_body = nullptr;
bool g_relearned = false;

// Runs the pending body when its thread message is taken from the queue,
// once the task window exists.
LRESULT CALLBACK TakeBody(int code, WPARAM removing, LPARAM message) {
  MSG* m = reinterpret_cast<MSG*>(message);
  if (code == HC_ACTION && removing == PM_REMOVE && !m->hwnd && m->message == kRunBody && g_body) {
    m->message = WM_NULL;
    HWND task = reinterpret_cast<HWND>(QEL_KWI::kwi_GetTaskWin());
    // Before the task window's first posted event builds the tree.
    if (task && !g_relearned) {
      g_relearned = true;
      K::RunAtCallbackBoundary([] { alltest::RelearnTreeViewClass(); });
    }
    if (!task || !IsWindowVisible(task)) {
      PostThreadMessageW(GetCurrentThreadId(), kRunBody, 0, 0);
    } else {
      const std::function<void(HWND)>* body = g_body;
      g_body = nullptr;
      // The message window is a dialog too: hidden, so that every visible
      // box is one a command shows.
      for (HWND box : testbox::VisibleBoxes()) ShowWindow(box, SW_HIDE);
      K::RunAtCallbackBoundary([&] { (*body)(task); });
      if (IsWindow(task)) DestroyWindow(task);
    }
  }
  return CallNextHookEx(nullptr, code, removing, message);
}

}  // namespace

void RunProgram(const std::function<void(HWND task)>& body) {
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, TakeBody, nullptr, GetCurrentThreadId());
  g_body = &body;
  g_relearned = false;
  alltest::ResetComtree();
  PostThreadMessageW(GetCurrentThreadId(), kRunBody, 0, 0);
  kalmora::taskWindow::new_()->show();
  g_body = nullptr;
  UnhookWindowsHookEx(hook);
  alltest::ResetComtree();
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
}

HWND TreeControl() {
  using all::comtree;
  if (!comtree::db6.xtreeviewwin.has()) return nullptr;
  return tav::kwiTreeView::getnativewindow(comtree::db6.xtreeviewwin.get());
}

namespace {
HTREEITEM Next(HWND tree, WPARAM how, HTREEITEM from) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(from)));
}
}  // namespace

void SetItemText(HWND tree, HTREEITEM item, const wchar_t* text) {
  TVITEMW it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.pszText = const_cast<wchar_t*>(text);
  SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

HTREEITEM TreeRoot() {
  HWND tree = TreeControl();
  return tree ? Next(tree, TVGN_ROOT, nullptr) : nullptr;
}

std::vector<std::wstring> TreeRoots() {
  std::vector<std::wstring> out;
  HWND tree = TreeControl();
  if (!tree) return out;
  for (HTREEITEM item = Next(tree, TVGN_CHILD, TreeRoot()); item; item = Next(tree, TVGN_NEXT, item))
    out.push_back(alltest::TreeItemText(tree, item));
  return out;
}

int TreeCount() {
  HWND tree = TreeControl();
  return tree ? static_cast<int>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)) : 0;
}

HWND TopPane() {
  using all::comtree;
  return comtree::db6.xdata_wintop.has() ? reinterpret_cast<HWND>(comtree::db6.xdata_wintop.get()) : nullptr;
}

void ProgramTest::SetUp() {
  alltest::Roster::SetUp();
  // The toolkit's own boxes, answered by the answerer.
  delete recorder_;
  recorder_ = nullptr;
  alltest::ComtreeCalls().clear();
}

void ProgramTest::TearDown() {
  all::kalmora_DB::uninit();
  alltest::Roster::TearDown();
}

std::wstring ProgramTest::MakeRoster(const wchar_t* name, const alltest::RosterSpec& spec) {
  const std::wstring path = Path(name);
  rztest::DialogRecorder quiet;  // the fixture's own messages are no boxes
  Run([&] {
    rizediveva6::document* doc = rizediveva6::orvDB::new_file_def(
        rizediveva6::make_file_def(tav::HeapCopy(path.c_str()), true, rizediveva6::kBackupNone));
    all::kalmora_DB::init(doc);
    alltest::WriteSpec(spec);
    all::kalmora_DB::save_kalmora();
    all::kalmora_DB::uninit();
    doc->orv_close(rizediveva6::MakeList<const wchar_t*>({}), false);
  });
  return path;
}

void ProgramTest::OpenThrough(HWND task, const std::wstring& path) {
  Script s({ChooseFile(L"Select file", path)});
  Command(task, IDM_FILE_OPEN);
  s.Finish();
}

void ProgramTest::Change() {
  Run([] { all::staff_db::add_name(L"Zed"); });
}

std::vector<Seen> ProgramTest::Answered(std::vector<Step> steps, const std::function<void()>& command,
                                        DWORD waitMs) {
  Script s(std::move(steps), 50, waitMs);
  command();
  s.Finish();
  return s.Boxes();
}

std::vector<Seen> ProgramTest::Unasked(const std::function<void()>& command) {
  return Answered({Step{nullptr, [](HWND d) { UntilGone(d, [&] { testbox::CloseBox(d); }); }}}, command, 300);
}

std::wstring ProgramTest::LastFile() {
  std::wstring out;
  Run([&] {
    const wchar_t* name = L"";
    rizediveva6::remember_files::get_last_file(&name);
    out = name;
  });
  return out;
}

std::vector<std::wstring> ProgramTest::Calls() {
  std::vector<std::wstring> out;
  for (const alltest::ComtreeCall& c : alltest::ComtreeCalls())
    out.push_back(c.text.empty() ? c.op : c.op + L" " + c.text);
  return out;
}

}  // namespace programtest
