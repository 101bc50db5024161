// A scripted workload over one database with a model of its expected
// contents after each commit (a Flush), and the reader that compares a
// reopened file with a model.
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

// Chains: inserts, replacements, deletes and a garbage collection on a few
// small chains.  Index: a B+tree of small nodes grown through splits and
// emptied through merges, with a garbage collection between them.
enum class Workload { Chains, Index };

// Creates `path` at `place` and runs the workload; `commit(k, model)` is
// called after commit k returned (k = 0 after the create).  Errors pass.
void RunWorkload(const std::wstring& path, uint8_t place, const std::function<void(int, const Model&)>& commit,
                 chainDB::FILEDESCR*** handle = nullptr, Workload w = Workload::Chains);

// Set while the workload's Flush runs.
extern bool g_workloadInFlush;

// The models after each commit, from a run in memory.
std::vector<Model> WorkloadModels(Workload w = Workload::Chains);

// The chains and texts of an open database, and its trees as Model::Texts
// gives them.
std::map<std::wstring, std::vector<std::wstring>> ReadAll(chainDB::FILEDESCR** h);

}  // namespace cdbtest
