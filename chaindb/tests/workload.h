// A scripted workload over one database with a model of its expected
// contents after each commit (a Flush, or the End of a read-write
// transaction on a shared file), and the reader that compares a reopened
// file with a model.  Both variants run it through one handle type.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cdb_test.h"

namespace cdbtest {

struct Model {
  std::map<std::wstring, std::vector<std::pair<chainDB::TRef, std::wstring>>> chains;
  // B+tree name -> key -> text of the term its reference names.
  std::map<std::wstring, std::map<std::wstring, std::wstring>> trees;
  // Chains by name, then each tree as "<tree> name" with "key=text" entries.
  std::map<std::wstring, std::vector<std::wstring>> Texts() const;
};

// An open database of either variant: a wide handle or an 8-bit selector.
struct Db {
  bool wide = true;
  chainDB::FILEDESCR** h = nullptr;
  uint8_t sel = 7;

  void Create(const std::wstring& path, uint8_t place);
  void Open(const std::wstring& path, uint8_t place);
  void OpenInvalid(const std::wstring& path, uint8_t place);
  void OpenShare(const std::wstring& path);  // read and write, deny none
  void Close();
  void Flush();
  void Copy(const std::wstring& path, uint8_t place);
  void Begin(uint8_t mode);  // 1 read, 2 read-write
  void End();
  void SetRetry(int32_t delay, int32_t count);
  void GarbageCollect();
  chainDB::TRef Insertz(const wchar_t* chain, chainDB::term t);
  chainDB::TRef Inserta(const wchar_t* chain, chainDB::term t);
  chainDB::TRef InsertAfter(const wchar_t* chain, chainDB::TRef after, chainDB::term t);
  void Replace(chainDB::TRef r, chainDB::term t);
  void TermDelete(const wchar_t* chain, chainDB::TRef r);
  void ChainDelete(const wchar_t* chain);
  chainDB::TRef First(const wchar_t* chain);
  chainDB::TRef Next(chainDB::TRef r);
  std::wstring Text(chainDB::TRef r);
  void BtCreate(const wchar_t* name, int32_t* s, int32_t keyLen, int32_t order);
  void BtOpen(const wchar_t* name, int32_t* s);
  void BtClose(int32_t s);
  void KeyInsert(int32_t s, const wchar_t* key, chainDB::TRef r);
  void KeyDelete(int32_t s, const wchar_t* key, chainDB::TRef r);
  void KeyFirst(int32_t s, chainDB::TRef* r);
  void KeyNext(int32_t s, chainDB::TRef* r);
  void KeyCurrent(int32_t s, const wchar_t** key, chainDB::TRef* r);
  void Chains(chainDB::TNameContinuation next);
  void BTrees(chainDB::TNameContinuation next);
  // The descriptor (wide handles only; 8-bit selectors hide it).
  chainDB::FILEDESCR* Descriptor() const { return wide && h ? *h : nullptr; }
};

// Chains: inserts, replacements, deletes and a garbage collection on a few
// small chains.  Index: a B+tree of small nodes grown through splits and
// emptied through merges, with a garbage collection between them.  Paging:
// from a base of 1015 references, the switch to the paged reference table
// and a new reference block, with deletes, reuse of freed references,
// replaces that move records and a garbage collection.  Blocks: from a base
// of 2030 references, a third reference block.
enum class Workload { Chains, Index, Paging, Blocks };

// How the workload commits and which variant it uses.
struct Scenario {
  Workload w = Workload::Chains;
  bool shared = false;  // OpenShare, commits by End of read-write transactions
  bool wide = true;
  std::string Name() const;
  std::string Encode() const;
  static Scenario Decode(const char* s);
};

// Creates `path` at `place` and runs the workload; `commit(k, model)` is
// called after commit k returned (k = 0 after the create).  The Paging
// workload builds its base before it counts I/O calls (faults.h: held, then
// armed after the base's commit).  Errors pass.
void RunWorkload(const std::wstring& path, uint8_t place, const std::function<void(int, const Model&)>& commit,
                 Db* db = nullptr, Scenario run = {});

// Set while the workload's commit (Flush or End) runs.
extern bool g_workloadInFlush;

// The models after each commit, from a run in memory.
std::vector<Model> WorkloadModels(Workload w = Workload::Chains);

// The chains and texts of an open database, and its trees as Model::Texts
// gives them.
std::map<std::wstring, std::vector<std::wstring>> ReadAll(Db& db);
std::map<std::wstring, std::vector<std::wstring>> ReadAll(chainDB::FILEDESCR** h);

}  // namespace cdbtest
