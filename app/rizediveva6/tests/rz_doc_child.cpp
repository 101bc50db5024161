// A fresh process that opens a document file with a plain db_open (so an
// update mark refuses it) and prints what it holds: every chain with its
// strings, every B+tree with its keys in order.  Exit code 0, or 2 with the
// error number when the open or a read raises.
//   rz_doc_child.exe <file>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "chainDB/chainDb.h"
#include "exception/exception.h"

using namespace tav;
namespace K = Qel::RunTime::Kernel;

namespace {

void Print(const wchar_t* prefix, const wchar_t* text) {
  std::wstring line = std::wstring(prefix) + text + L"\n";
  char buffer[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
  fwrite(buffer, 1, n > 0 ? n - 1 : 0, stdout);
}

void Dump(tav::chainDB* db) {
  db->db_chains([&](const wchar_t* chain) {
    Print(L"chain ", chain);
    db->chain_terms(T::Domain(tav::domains::string), chain, [&](RefTerm rt) {
      Print(L"  ", reinterpret_cast<const wchar_t*>(rt.t));
      K::Fail();
    });
    K::Fail();
  });
  db->db_btrees([&](const wchar_t* tree) {
    Print(L"tree ", tree);
    int32_t selector, ref;
    db->bt_open(tree, &selector);
    for (bool more = db->key_first(selector, &ref); more; more = db->key_next(selector, &ref)) {
      const wchar_t* key;
      if (db->key_current(selector, &key, &ref)) Print(L"  ", key);
    }
    db->bt_close(selector);
    K::Fail();
  });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || InitializeUnit()) return 3;
  _setmode(_fileno(stdout), _O_BINARY);
  K::Control::TPrologThreadData::SetPrologExceptionPredicate(&runtime_exception::raiser, 4096, nullptr, nullptr);
  exception::setexceptionstate(exceptionState::New());
  const uint32_t code = K::RunTrapped([&] {
    tav::chainDB* db = tav::chainDB::db_open(argv[1], place::in_file);
    Dump(db);
    db->db_close();
  });
  if (!code) return 0;
  uint32_t number = 0;
  exception::getdescriptor_nd(code, [&](const TraceEntry* e) {
    const ValueTerm* v = exception::trygetextrainfo(e, L"error code");
    if (v && v->Kind() == ValueKind::unsigned_) number = v->As<uint32_t>();
  });
  printf("error %u\n", number);
  return 2;
}
