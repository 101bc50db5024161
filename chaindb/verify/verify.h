// An independent reader of the chain-database file layout: it checks the
// header, tables, free lists, name trees, references, chains and the cover
// of the file by blocks, and reports every inconsistency it finds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace chaindb_verify {

struct Report {
  std::vector<std::string> problems;
  bool wide = true;
  bool marked = false;       // the update mark is set
  uint32_t terms = 0;        // live references
  uint32_t chains = 0;
  uint32_t trees = 0;
  bool ok() const { return problems.empty(); }
  std::string Text() const;
};

// treeRefs: every B+tree entry must name a live reference.
Report Verify(const std::vector<uint8_t>& file, bool treeRefs = true);
Report VerifyFile(const std::wstring& path, bool treeRefs = true);

}  // namespace chaindb_verify
