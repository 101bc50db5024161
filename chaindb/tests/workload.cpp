#include "workload.h"

#include <cstdio>

#include "faults.h"

namespace cdbtest {

using namespace chainDB;

bool g_workloadInFlush = false;

namespace {

std::wstring TreeEntry(const std::wstring& name) { return L"<tree> " + name; }

}  // namespace

std::map<std::wstring, std::vector<std::wstring>> Model::Texts() const {
  std::map<std::wstring, std::vector<std::wstring>> out;
  for (auto& [name, terms] : chains) {
    if (terms.empty()) continue;
    for (auto& t : terms) out[name].push_back(t.second);
  }
  for (auto& [name, keys] : trees)
    for (auto& [key, text] : keys) out[TreeEntry(name)].push_back(key + L"=" + text);
  return out;
}

// --- Db: both variants through one handle type ---

using namespace chainDB8;

void Db::Create(const std::wstring& path, uint8_t place) {
  if (wide) return QEL_DB_Create(&h, path.c_str(), &place);
  QEL_DB8_Create(&sel, path.c_str(), &place);
}
void Db::Open(const std::wstring& path, uint8_t place) {
  if (wide) return QEL_DB_Open(&h, path.c_str(), &place);
  QEL_DB8_Open(&sel, path.c_str(), &place);
}
void Db::OpenInvalid(const std::wstring& path, uint8_t place) {
  if (wide) return QEL_DB_OpenInvalid(&h, path.c_str(), &place);
  QEL_DB8_OpenInvalid(&sel, path.c_str(), &place);
}
void Db::OpenShare(const std::wstring& path) {
  const uint8_t access = 2, deny = 1;
  if (wide) return QEL_DB_OpenShare(&h, path.c_str(), &access, &deny);
  QEL_DB8_OpenShare(&sel, path.c_str(), &access, &deny);
}
void Db::Close() { wide ? QEL_DB_Close(h) : QEL_DB8_Close(&sel); }
void Db::Copy(const std::wstring& path, uint8_t place) {
  wide ? QEL_DB_Copy(h, path.c_str(), &place) : QEL_DB8_Copy(&sel, path.c_str(), &place);
}
void Db::Flush() { wide ? QEL_DB_Flush(h) : QEL_DB8_Flush(&sel); }
void Db::Begin(uint8_t mode) { wide ? QEL_DB_BeginTransaction(h, &mode) : QEL_DB8_BeginTransaction(&sel, &mode); }
void Db::End() { wide ? QEL_DB_EndTransaction(h) : QEL_DB8_EndTransaction(&sel); }
void Db::SetRetry(int32_t delay, int32_t count) {
  wide ? QEL_DB_SetRetry(h, delay, count) : QEL_DB8_SetRetry(&sel, delay, count);
}
void Db::GarbageCollect() { wide ? QEL_DB_GarbageCollect(h) : QEL_DB8_GarbageCollect(&sel); }
TRef Db::Insertz(const wchar_t* c, term t) {
  return wide ? QEL_DB_ChainInsertz(Str(), h, c, t) : QEL_DB8_ChainInsertz(Str(), &sel, c, t);
}
TRef Db::Inserta(const wchar_t* c, term t) {
  return wide ? QEL_DB_ChainInserta(Str(), h, c, t) : QEL_DB8_ChainInserta(Str(), &sel, c, t);
}
TRef Db::InsertAfter(const wchar_t* c, TRef a, term t) {
  return wide ? QEL_DB_ChainInsertAfter(Str(), h, c, a, t) : QEL_DB8_ChainInsertAfter(Str(), &sel, c, a, t);
}
void Db::Replace(TRef r, term t) { wide ? QEL_DB_TermReplace(Str(), h, r, t) : QEL_DB8_TermReplace(Str(), &sel, r, t); }
void Db::TermDelete(const wchar_t* c, TRef r) { wide ? QEL_DB_TermDelete(h, c, r) : QEL_DB8_TermDelete(&sel, c, r); }
void Db::ChainDelete(const wchar_t* c) { wide ? QEL_DB_ChainDelete(h, c) : QEL_DB8_ChainDelete(&sel, c); }
TRef Db::First(const wchar_t* c) { return wide ? QEL_DB_ChainFirst(h, c) : QEL_DB8_ChainFirst(&sel, c); }
TRef Db::Next(TRef r) { return wide ? QEL_DB_ChainNext(h, r) : QEL_DB8_ChainNext(&sel, r); }
std::wstring Db::Text(TRef r) { return TextOf(wide ? QEL_DB_RefTerm(Str(), h, r) : QEL_DB8_RefTerm(Str(), &sel, r)); }
void Db::BtCreate(const wchar_t* name, int32_t* s, int32_t keyLen, int32_t order) {
  wide ? QEL_DB_BtCreate6(h, name, s, keyLen, order, false) : QEL_DB8_BtCreate6(&sel, name, s, keyLen, order, false);
}
void Db::BtOpen(const wchar_t* name, int32_t* s) { wide ? QEL_DB_BtOpen(h, name, s) : QEL_DB8_BtOpen(&sel, name, s); }
void Db::BtClose(int32_t s) { wide ? QEL_DB_BtClose(h, s) : QEL_DB8_BtClose(&sel, s); }
void Db::KeyInsert(int32_t s, const wchar_t* k, TRef r) {
  wide ? QEL_DB_KeyInsert(h, s, k, r) : QEL_DB8_KeyInsert(&sel, s, k, r);
}
void Db::KeyDelete(int32_t s, const wchar_t* k, TRef r) {
  wide ? QEL_DB_KeyDelete(h, s, k, r) : QEL_DB8_KeyDelete(&sel, s, k, r);
}
void Db::KeyFirst(int32_t s, TRef* r) { wide ? QEL_DB_KeyFirst(h, s, r) : QEL_DB8_KeyFirst(&sel, s, r); }
void Db::KeyNext(int32_t s, TRef* r) { wide ? QEL_DB_KeyNext(h, s, r) : QEL_DB8_KeyNext(&sel, s, r); }
void Db::KeyCurrent(int32_t s, const wchar_t** k, TRef* r) {
  wide ? QEL_DB_KeyCurrent(h, s, k, r) : QEL_DB8_KeyCurrent(&sel, s, k, r);
}
void Db::Chains(TNameContinuation next) { wide ? QEL_DB_Chains(h, next, nullptr) : QEL_DB8_Chains(&sel, next, nullptr); }
void Db::BTrees(TNameContinuation next) { wide ? QEL_DB_BTrees(h, next, nullptr) : QEL_DB8_Btrees(&sel, next, nullptr); }

std::string Scenario::Name() const {
  const char* names[] = {"Chains", "Index", "Paging", "Blocks"};
  std::string n = names[static_cast<int>(w)];
  return n + (shared ? "Shared" : "") + (wide ? "" : "Eight");
}
std::string Scenario::Encode() const {
  return std::to_string(static_cast<int>(w)) + "," + (shared ? "1" : "0") + "," + (wide ? "1" : "0");
}
Scenario Scenario::Decode(const char* s) {
  int w = 0, shared = 0, wide = 1;
  sscanf(s, "%d,%d,%d", &w, &shared, &wide);
  return Scenario{static_cast<Workload>(w), shared != 0, wide != 0};
}

namespace {

term T(const std::wstring& s) {
  return reinterpret_cast<term>(Qel::RunTime::Kernel::Memory::CopyStringToGStack(s.c_str()));
}

std::wstring Text(int i, int width) {
  std::wstring s = L"t" + std::to_wstring(i);
  while (static_cast<int>(s.size()) < width) s += static_cast<wchar_t>(L'a' + s.size() % 26);
  return s;
}

std::wstring Key(int i) {
  wchar_t b[8];
  swprintf(b, 8, L"k%04d", i);
  return b;
}

// The operations of a workload, each applied to the database and the model.
struct Script {
  Db& db;
  Model& m;
  std::function<void()> commit;

  TRef Z(const std::wstring& chain, const std::wstring& text) {
    TRef r = db.Insertz(chain.c_str(), T(text));
    m.chains[chain].push_back({r, text});
    return r;
  }
  TRef A(const std::wstring& chain, const std::wstring& text) {
    TRef r = db.Inserta(chain.c_str(), T(text));
    auto& c = m.chains[chain];
    c.insert(c.begin(), {r, text});
    return r;
  }
  TRef After(const std::wstring& chain, size_t i, const std::wstring& text) {
    auto& c = m.chains[chain];
    TRef r = db.InsertAfter(chain.c_str(), c[i].first, T(text));
    c.insert(c.begin() + i + 1, {r, text});
    return r;
  }
  void Replace(const std::wstring& chain, size_t i, const std::wstring& text) {
    auto& c = m.chains[chain];
    db.Replace(c[i].first, T(text));
    c[i].second = text;
  }
  void Delete(const std::wstring& chain, size_t i) {
    auto& c = m.chains[chain];
    db.TermDelete(chain.c_str(), c[i].first);
    c.erase(c.begin() + i);
    if (c.empty()) m.chains.erase(chain);
  }
  void DeleteRef(const std::wstring& chain, TRef r) {
    auto& c = m.chains[chain];
    for (size_t i = 0; i < c.size(); ++i)
      if (c[i].first == r) return Delete(chain, i);
  }
  void DeleteChain(const std::wstring& chain) {
    db.ChainDelete(chain.c_str());
    m.chains.erase(chain);
  }
};

void ChainsWorkload(Script& s) {
  for (int i = 0; i < 5; ++i) s.Z(L"a", Text(i, 8));
  for (int i = 0; i < 3; ++i) s.Z(L"b", Text(10 + i, 20));
  s.commit();
  s.Replace(L"a", 1, Text(99, 300));
  s.After(L"a", 2, Text(50, 40));
  s.Delete(L"b", 0);
  s.A(L"a", L"front");
  s.commit();
  for (int i = 0; i < 12; ++i) s.Z(L"c", Text(100 + i, 700));
  s.commit();
  s.DeleteChain(L"b");
  for (size_t i = 0; i < 12; i += 3) s.Replace(L"c", i, Text(200 + static_cast<int>(i), 5));
  s.db.GarbageCollect();
  s.commit();
  for (int i = 0; i < 6; ++i) s.Z(L"b", Text(300 + i, 30));
  s.Delete(L"c", s.m.chains[L"c"].size() - 1);
  s.commit();
}

void IndexWorkload(Script& s) {
  Db& db = s.db;
  int32_t sel = 0;
  db.BtCreate(L"index", &sel, 6, 1);
  auto& keys = s.m.trees[L"index"];
  std::map<std::wstring, TRef> refs;
  auto add = [&](int i) {
    std::wstring text = Text(i, 12);
    TRef r = s.Z(L"keyed", text);
    db.KeyInsert(sel, Key(i).c_str(), r);
    keys[Key(i)] = text;
    refs[Key(i)] = r;
  };
  auto remove = [&](int i) {
    TRef r = refs[Key(i)];
    db.KeyDelete(sel, Key(i).c_str(), r);
    s.DeleteRef(L"keyed", r);
    keys.erase(Key(i));
  };
  // Splits: even keys in rising order, then odd ones between them.
  for (int i = 0; i < 48; i += 2) add(i);
  s.commit();
  for (int i = 1; i < 24; i += 2) add(i);
  s.commit();
  // Merges: most keys go, from both ends and the middle.
  for (int i = 0; i < 48; ++i)
    if (i % 5 != 2 && keys.count(Key(i))) remove(i);
  s.commit();
  db.GarbageCollect();
  for (int i = 100; i < 110; ++i) add(i);
  s.commit();
  while (!keys.empty()) remove(std::stoi(keys.begin()->first.substr(1)));
  db.BtClose(sel);
  s.commit();
}

constexpr int kPagingBase = 1015;

void PagingWorkload(Script& s) {
  // The base: block 0 nearly full, committed before I/O calls count.
  for (int i = 0; i < kPagingBase; ++i) s.Z(L"many", Text(i, 4));
  for (int i = 0; i < 3; ++i) s.Z(L"side", Text(2000 + i, 10));
  s.commit();
  ArmFaults();
  // References 1019-1023, then the switch to the paged table and block 1.
  for (int i = 0; i < 4; ++i) s.Z(L"many", Text(3000 + i, 6));
  s.A(L"side", L"front");
  for (int i = 0; i < 3; ++i) s.Z(L"side", Text(3100 + i, 8));
  s.Replace(L"many", 5, Text(3200, 60));
  s.commit();
  // Deletes in both blocks, an insert after, a move, a garbage collection.
  s.Delete(L"many", 0);
  s.Delete(L"many", 700);
  s.Delete(L"side", s.m.chains[L"side"].size() - 2);
  s.After(L"many", 10, Text(3300, 30));
  s.Replace(L"side", 0, Text(3400, 40));
  s.db.GarbageCollect();
  s.commit();
  // Freed references handed out again; a block-1 term moved.
  for (int i = 0; i < 4; ++i) s.Z(L"new", Text(3500 + i, 12));
  s.Replace(L"side", s.m.chains[L"side"].size() - 1, Text(3600, 3));
  s.commit();
  s.DeleteChain(L"new");
  s.Z(L"many", Text(3700, 9));
  s.commit();
}

// From a base that fills block 0 and nearly all of block 1: a third block,
// freed references of every block reused, a move and a chain delete.
void BlocksWorkload(Script& s) {
  for (int i = 0; i < 2030; ++i) s.Z(i % 2 ? L"odd" : L"even", Text(i, 3));
  s.commit();
  // A record that takes the free block the paging left, so that the new
  // reference block lands at the end of the file.
  s.Z(L"big", Text(5000, 2000));
  s.commit();
  ArmFaults();
  for (int i = 0; i < 20; ++i) s.Z(L"odd", Text(4000 + i, 5));
  s.Replace(L"even", 3, Text(4100, 50));
  s.commit();
  s.Delete(L"even", 1);
  s.Delete(L"odd", 600);
  s.Delete(L"odd", s.m.chains[L"odd"].size() - 1);
  s.commit();
  for (int i = 0; i < 3; ++i) s.A(L"tail", Text(4200 + i, 7));
  s.commit();
  s.DeleteChain(L"tail");
  s.db.GarbageCollect();
  s.commit();
}

}  // namespace

void RunWorkload(const std::wstring& path, uint8_t place, const std::function<void(int, const Model&)>& commit,
                 Db* handle, Scenario run) {
  Db local;
  Db& db = handle ? *handle : local;
  db.wide = run.wide;
  Model m;
  int k = 0;
  bool shared = run.shared && place == kFile;
  const uint8_t kReadWrite = 2;
  Script s{db, m, [&] {
             g_workloadInFlush = true;
             if (shared) {
               db.End();
             } else {
               db.Flush();
             }
             g_workloadInFlush = false;
             commit(++k, m);
             if (shared) db.Begin(kReadWrite);
           }};
  if (run.w == Workload::Paging || run.w == Workload::Blocks) HoldFaults();
  db.Create(path, place);
  if (shared) {
    db.Close();
    db.OpenShare(path);
    db.SetRetry(1, 1000);
    db.Begin(kReadWrite);
  }
  commit(0, m);
  if (run.w == Workload::Chains) ChainsWorkload(s);
  if (run.w == Workload::Index) IndexWorkload(s);
  if (run.w == Workload::Paging) PagingWorkload(s);
  if (run.w == Workload::Blocks) BlocksWorkload(s);
  if (shared) db.End();
  db.Close();
}

std::vector<Model> WorkloadModels(Workload w) {
  std::vector<Model> models;
  std::wstring name = L"workload-model-" + std::to_wstring(GetTickCount64());
  uint32_t code = ErrorOf([&] {
    RunWorkload(name, kMem, [&](int, const Model& m) { models.push_back(m); }, nullptr, Scenario{w});
    QEL_DB_Delete(name.c_str(), &kMem);
  });
  ClearFaults();
  EXPECT_EQ(code, 0u);
  return models;
}

namespace {
std::vector<std::wstring> g_names;
void Collect(void*, const wchar_t* n) {
  g_names.push_back(n);
  Qel::RunTime::Kernel::Fail();
}
}  // namespace

std::map<std::wstring, std::vector<std::wstring>> ReadAll(Db& db) {
  g_names.clear();
  Succeeds([&] { db.Chains(Collect); });
  std::vector<std::wstring> chains = g_names;
  std::map<std::wstring, std::vector<std::wstring>> out;
  for (auto& n : chains) {
    TRef r = 0;
    if (!Succeeds([&] { r = db.First(n.c_str()); })) continue;
    do out[n].push_back(db.Text(r));
    while (Succeeds([&] { r = db.Next(r); }));
  }
  g_names.clear();
  Succeeds([&] { db.BTrees(Collect); });
  std::vector<std::wstring> trees = g_names;
  for (auto& n : trees) {
    int32_t s = 0;
    TRef r = 0;
    db.BtOpen(n.c_str(), &s);
    auto& entries = out[TreeEntry(n)];
    if (Succeeds([&] { db.KeyFirst(s, &r); })) {
      do {
        const wchar_t* k = nullptr;
        db.KeyCurrent(s, &k, &r);
        entries.push_back(std::wstring(k) + L"=" + db.Text(r));
      } while (Succeeds([&] { db.KeyNext(s, &r); }));
    }
    db.BtClose(s);
    if (entries.empty()) out.erase(TreeEntry(n));
  }
  return out;
}

std::map<std::wstring, std::vector<std::wstring>> ReadAll(FILEDESCR** h) {
  Db db;
  db.h = h;
  return ReadAll(db);
}

}  // namespace cdbtest
