#include "cdb_test.h"

#include <fstream>

#include "db.h"

namespace cdbtest {

namespace decl = Qel::RunTime::Decl;

extern RScopeClassDescriptor cdbclass;
RIntegralDomain integer = decl::Integer({L"integer", QEL_HERE, nullptr, &cdbclass});
RDomainRecord str = decl::Simple(kString, {L"string", QEL_HERE, &integer.head, &cdbclass});
decl::Arguments itemArgs{{QEL_ARG(Item, n, integer), QEL_ARG(Item, text, str)}};
RFunctor itemFunctors[] = {decl::Functor<Item>(L"item", itemArgs)};
RCompoundDomain item = decl::Compound({L"item", QEL_HERE, &str, &cdbclass}, itemFunctors);
RScopeClassDescriptor cdbclass = decl::Class(L"cdbtest", QEL_HERE, &item.head);
decl::UnitTable unit{&cdbclass};

int LinkUnit() {
  static int result = RunUnitInitialization(nullptr, reinterpret_cast<void*>(&LinkUnit), unit.Table(), nullptr);
  return result;
}

const IDomainDefinition* Str() { return Domain(str); }
const IDomainDefinition* ItemDomain() { return Domain(item.head); }

const uint8_t* MakeItem(int32_t n, const wchar_t* text) {
  namespace Memory = Qel::RunTime::Kernel::Memory;
  if (reinterpret_cast<uintptr_t>(Memory::MarkGStack()) & 7) Memory::AllocGStack(4);
  auto* p = reinterpret_cast<Item*>(Memory::AllocGStack(sizeof(Item)));
  *p = Item{1, n, Memory::CopyStringToGStack(text)};
  return reinterpret_cast<const uint8_t*>(p);
}

std::wstring Scratch(const std::wstring& name) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + L"cdbtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
  CreateDirectoryW(dir.c_str(), nullptr);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring f = dir + L"\\" + fd.cFileName;
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(f.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  return dir + L"\\";
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<uint8_t> out;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  DWORD size = GetFileSize(h, nullptr), done = 0;
  out.resize(size);
  if (size) ReadFile(h, out.data(), size, &done, nullptr);
  out.resize(done);
  CloseHandle(h);
  return out;
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(h);
}

void Abandon(chainDB::FILEDESCR** h) {
  CloseHandle((*h)->fileHandle);
  *h = nullptr;
}

}  // namespace cdbtest
