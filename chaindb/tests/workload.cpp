#include "workload.h"

namespace cdbtest {

using namespace chainDB;

bool g_workloadInFlush = false;

std::map<std::wstring, std::vector<std::wstring>> Model::Texts() const {
  std::map<std::wstring, std::vector<std::wstring>> out;
  for (auto& [name, terms] : chains) {
    if (terms.empty()) continue;
    for (auto& t : terms) out[name].push_back(t.second);
  }
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

}  // namespace

void RunWorkload(const std::wstring& path, uint8_t place, const std::function<void(int, const Model&)>& commit,
                 FILEDESCR*** handle) {
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

std::vector<Model> WorkloadModels() {
  std::vector<Model> models;
  std::wstring name = L"workload-model-" + std::to_wstring(GetTickCount64());
  uint32_t code = ErrorOf([&] {
    RunWorkload(name, kMem, [&](int, const Model& m) { models.push_back(m); });
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
  return out;
}

}  // namespace cdbtest
