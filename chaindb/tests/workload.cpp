#include "workload.h"

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

template <class Z, class F>
void RunIndexWorkload(FILEDESCR** h, Model& m, Z& z, F& flush) {
  int32_t s = 0;
  QEL_DB_BtCreate6(h, L"index", &s, 6, 1, false);
  auto& keys = m.trees[L"index"];
  auto& keyed = m.chains[L"keyed"];
  std::map<std::wstring, TRef> refs;
  auto add = [&](int i) {
    std::wstring text = Text(i, 12);
    z(L"keyed", text);
    QEL_DB_KeyInsert(h, s, Key(i).c_str(), keyed.back().first);
    keys[Key(i)] = text;
    refs[Key(i)] = keyed.back().first;
  };
  auto remove = [&](int i) {
    TRef r = refs[Key(i)];
    QEL_DB_KeyDelete(h, s, Key(i).c_str(), r);
    QEL_DB_TermDelete(h, L"keyed", r);
    keys.erase(Key(i));
    for (size_t j = 0; j < keyed.size(); ++j)
      if (keyed[j].first == r) keyed.erase(keyed.begin() + j);
  };
  // Splits: even keys in rising order, then odd ones between them.
  for (int i = 0; i < 48; i += 2) add(i);
  flush();
  for (int i = 1; i < 24; i += 2) add(i);
  flush();
  // Merges: most keys go, from both ends and the middle.
  for (int i = 0; i < 48; ++i)
    if (i % 5 != 2 && keys.count(Key(i))) remove(i);
  flush();
  QEL_DB_GarbageCollect(h);
  for (int i = 100; i < 110; ++i) add(i);
  flush();
  while (!keys.empty()) remove(std::stoi(keys.begin()->first.substr(1)));
  QEL_DB_BtClose(h, s);
  flush();
}

}  // namespace

void RunWorkload(const std::wstring& path, uint8_t place, const std::function<void(int, const Model&)>& commit,
                 FILEDESCR*** handle, Workload w) {
  FILEDESCR** local = nullptr;
  FILEDESCR**& h = handle ? *handle : local;
  Model m;
  int k = 0;
  auto z = [&](const std::wstring& chain, const std::wstring& text) {
    m.chains[chain].push_back({QEL_DB_ChainInsertz(Str(), h, chain.c_str(), T(text)), text});
  };
  auto flush = [&] {
    g_workloadInFlush = true;
    QEL_DB_Flush(h);
    g_workloadInFlush = false;
    commit(++k, m);
  };
  QEL_DB_Create(&h, path.c_str(), &place);
  commit(0, m);
  if (w == Workload::Index) {
    RunIndexWorkload(h, m, z, flush);
    QEL_DB_Close(h);
    return;
  }
  for (int i = 0; i < 5; ++i) z(L"a", Text(i, 8));
  for (int i = 0; i < 3; ++i) z(L"b", Text(10 + i, 20));
  flush();
  {
    auto& a = m.chains[L"a"];
    QEL_DB_TermReplace(Str(), h, a[1].first, T(Text(99, 300)));
    a[1].second = Text(99, 300);
    std::wstring after = Text(50, 40);
    TRef r = QEL_DB_ChainInsertAfter(Str(), h, L"a", a[2].first, T(after));
    a.insert(a.begin() + 3, {r, after});
    auto& b = m.chains[L"b"];
    QEL_DB_TermDelete(h, L"b", b[0].first);
    b.erase(b.begin());
    QEL_DB_ChainInserta(Str(), h, L"a", T(L"front"));
    a.insert(a.begin(), {QEL_DB_ChainFirst(h, L"a"), L"front"});
  }
  flush();
  for (int i = 0; i < 12; ++i) z(L"c", Text(100 + i, 700));
  flush();
  {
    QEL_DB_ChainDelete(h, L"b");
    m.chains.erase(L"b");
    auto& c = m.chains[L"c"];
    for (size_t i = 0; i < c.size(); i += 3) {
      QEL_DB_TermReplace(Str(), h, c[i].first, T(Text(200 + static_cast<int>(i), 5)));
      c[i].second = Text(200 + static_cast<int>(i), 5);
    }
    QEL_DB_GarbageCollect(h);
  }
  flush();
  for (int i = 0; i < 6; ++i) z(L"b", Text(300 + i, 30));
  {
    auto& c = m.chains[L"c"];
    QEL_DB_TermDelete(h, L"c", c.back().first);
    c.pop_back();
  }
  flush();
  QEL_DB_Close(h);
}

std::vector<Model> WorkloadModels(Workload w) {
  std::vector<Model> models;
  std::wstring name = L"workload-model-" + std::to_wstring(GetTickCount64());
  uint32_t code = ErrorOf([&] {
    RunWorkload(name, kMem, [&](int, const Model& m) { models.push_back(m); }, nullptr, w);
    QEL_DB_Delete(name.c_str(), &kMem);
  });
  EXPECT_EQ(code, 0u);
  return models;
}

std::map<std::wstring, std::vector<std::wstring>> ReadAll(FILEDESCR** h) {
  static std::vector<std::wstring> names;
  names.clear();
  Succeeds([&] {
    QEL_DB_Chains(h, [](void*, const wchar_t* n) {
      names.push_back(n);
      Qel::RunTime::Kernel::Fail();
    }, nullptr);
  });
  std::map<std::wstring, std::vector<std::wstring>> out;
  for (auto& n : names) {
    TRef r = 0;
    if (!Succeeds([&] { r = QEL_DB_ChainFirst(h, n.c_str()); })) continue;
    do out[n].push_back(TextOf(QEL_DB_RefTerm(Str(), h, r)));
    while (Succeeds([&] { r = QEL_DB_ChainNext(h, r); }));
  }
  names.clear();
  Succeeds([&] {
    QEL_DB_BTrees(h, [](void*, const wchar_t* n) {
      names.push_back(n);
      Qel::RunTime::Kernel::Fail();
    }, nullptr);
  });
  for (auto& n : names) {
    int32_t s = 0;
    TRef r = 0;
    QEL_DB_BtOpen(h, n.c_str(), &s);
    auto& entries = out[TreeEntry(n)];
    if (Succeeds([&] { QEL_DB_KeyFirst(h, s, &r); })) {
      do {
        const wchar_t* k = nullptr;
        QEL_DB_KeyCurrent(h, s, &k, &r);
        entries.push_back(std::wstring(k) + L"=" + TextOf(QEL_DB_RefTerm(Str(), h, r)));
      } while (Succeeds([&] { QEL_DB_KeyNext(h, s, &r); }));
    }
    QEL_DB_BtClose(h, s);
    if (entries.empty()) out.erase(TreeEntry(n));
  }
  return out;
}

}  // namespace cdbtest
