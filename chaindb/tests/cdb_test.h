// Helpers of the chain-database tests: the test domains, a scratch folder,
// calls that give an error code or a failure, file bytes and the verifier.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include <cstdint>
#include <string>
#include <vector>

#include "qel6chaindb.h"
#include "qel6decl.h"
#include "qel6run_db.h"
#include "verify.h"

namespace cdbtest {

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;

// item = item(integer, string)
struct Item {
  uint64_t functor;
  int32_t n;
  const wchar_t* text;
};
extern RIntegralDomain integer;
extern RDomainRecord str;
extern RCompoundDomain item;
int LinkUnit();
const IDomainDefinition* Str();
const IDomainDefinition* ItemDomain();
const uint8_t* MakeItem(int32_t n, const wchar_t* text);

// A fresh folder under the temporary folder, emptied at the start.
std::wstring Scratch(const std::wstring& name);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

// 0 when body completed, else the error code.
template <class F>
uint32_t ErrorOf(F&& body) {
  return Kernel::RunTrapped(body);
}
// True when body succeeded, false when it failed; errors pass.
template <class F>
bool Succeeds(F&& body) {
  return Kernel::Succeeds(body);
}

// The verifier's report on a file, as text for the assertion.
inline std::string Verified(const std::wstring& path, bool treeRefs = true) {
  auto r = chaindb_verify::VerifyFile(path, treeRefs);
  return r.ok() ? "" : r.Text();
}

// The message of the last error.
inline std::wstring LastError() {
  return Kernel::Control::TPrologThreadData::GetCurrentLastErrorMessage();
}
inline std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

// Drops an open database as a dying process would: the file is closed
// without a flush and the handle emptied.
void Abandon(chainDB::FILEDESCR** h);

constexpr uint8_t kMem = chainDB::kInMemory, kFile = chainDB::kInFile;

// The text of a stored string term.
inline std::wstring TextOf(chainDB::term t) { return reinterpret_cast<const wchar_t*>(t); }

}  // namespace cdbtest
