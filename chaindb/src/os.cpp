// The file layer over the replaceable table of system functions.  Every
// transfer is exact or raises; positions and lengths are 32-bit.
#include "os.h"

#include "qel6kernel.h"

namespace chainDB::detail {

namespace Errors = Qel::RunTime::Kernel::Errors;

namespace {

const OsTable kReal = {
    CreateFileW,      CreateFileA,      GetFileAttributesW, GetFileAttributesA,
    ReadFile,         WriteFile,        SetFilePointer,     FlushFileBuffers,
    CloseHandle,      LockFile,         UnlockFile,         DeleteFileW,
    DeleteFileA,      MoveFileExW,      MoveFileExA,        GetDiskFreeSpaceW,
    GetDiskFreeSpaceA, GetCurrentDirectoryW, GetCurrentDirectoryA, Sleep,
};
OsTable g_os = kReal;

// The module this code is linked into: its string table holds text 1336.
HMODULE ThisModule() {
  static HMODULE module = [] {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &m);
    return m;
  }();
  return module;
}

void Seek(HANDLE h, uint32_t position) {
  // A bad position shows as a failing or short transfer.
  Os().setFilePointer(h, static_cast<LONG>(position), nullptr, FILE_BEGIN);
}

}  // namespace

OsTable& Os() { return g_os; }
const OsTable& RealOs() { return kReal; }

void Raise(uint32_t code) { Errors::RunTimeError(code); }
void RaiseOs(uint32_t error) { Errors::RunTimeErrorFromModule(ThisModule(), 1336, error); }
void RaiseLastOs() { RaiseOs(GetLastError()); }

HANDLE FileOpen(FileName name, uint32_t flags, uint32_t attributes, uint32_t creation) {
  if ((flags & 7) == 0) flags = 4;
  DWORD access = (flags & 2) ? GENERIC_READ | GENERIC_WRITE : (flags & 1) ? GENERIC_WRITE : GENERIC_READ;
  DWORD share;
  switch (flags & 0x70) {
    case 0x10: share = 0; break;
    case 0x30: share = FILE_SHARE_WRITE; break;
    case 0x00:
    case 0x20: share = FILE_SHARE_READ; break;
    default: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
  }
  DWORD disposition;
  switch (creation) {
    case kCreateNew: disposition = CREATE_NEW; break;
    case kOpenAlways: disposition = OPEN_ALWAYS; break;
    case kCreateAlways: disposition = CREATE_ALWAYS; break;
    case kTruncateExisting: disposition = TRUNCATE_EXISTING; break;
    case 0:
      disposition = (flags & 2) ? OPEN_ALWAYS : (flags & 1) ? CREATE_ALWAYS : OPEN_EXISTING;
      break;
    default: disposition = OPEN_EXISTING; break;
  }
  DWORD attrs = attributes & (0x01 | 0x02 | 0x04 | 0x10 | 0x20);
  if (attributes & 0x40) attrs |= FILE_ATTRIBUTE_NORMAL;
  if (access == (GENERIC_READ | GENERIC_WRITE)) {
    // Our own check: some systems open a read-only file for writing anyway.
    DWORD existing = name.wide ? Os().getFileAttributesW(static_cast<LPCWSTR>(name.text))
                               : Os().getFileAttributesA(static_cast<LPCSTR>(name.text));
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY))
      access = GENERIC_READ;
  }
  HANDLE h = name.wide ? Os().createFileW(static_cast<LPCWSTR>(name.text), access, share, nullptr,
                                          disposition, attrs, nullptr)
                       : Os().createFileA(static_cast<LPCSTR>(name.text), access, share, nullptr,
                                          disposition, attrs, nullptr);
  if (h == INVALID_HANDLE_VALUE) RaiseLastOs();
  return h;
}

void FileRead(HANDLE h, void* buffer, uint32_t length) {
  DWORD done = 0;
  if (!Os().readFile(h, buffer, length, &done, nullptr)) RaiseLastOs();
  if (done != length) Raise(1111);
}

void FileWrite(HANDLE h, const void* buffer, uint32_t length) {
  if (length == 0) return;
  DWORD done = 0;
  if (!Os().writeFile(h, buffer, length, &done, nullptr)) RaiseLastOs();
  if (done != length) Raise(1112);
}

void FileReadAt(HANDLE h, uint32_t position, void* buffer, uint32_t length) {
  Seek(h, position);
  FileRead(h, buffer, length);
}

void FileWriteAt(HANDLE h, uint32_t position, const void* buffer, uint32_t length) {
  Seek(h, position);
  DWORD done = 0;
  if (!Os().writeFile(h, buffer, length, &done, nullptr)) RaiseLastOs();
  if (done != length) Raise(1112);
}

uint32_t FileSize(HANDLE h) {
  DWORD size = Os().setFilePointer(h, 0, nullptr, FILE_END);
  if (size == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) RaiseLastOs();
  return size;
}

void FileFlush(HANDLE h) {
  if (!Os().flushFileBuffers(h)) RaiseLastOs();
}

void FileClose(HANDLE h) {
  if (!Os().closeHandle(h)) RaiseLastOs();
}

void FileDelete(FileName name) {
  BOOL ok = name.wide ? Os().deleteFileW(static_cast<LPCWSTR>(name.text))
                      : Os().deleteFileA(static_cast<LPCSTR>(name.text));
  if (!ok) {
    DWORD e = GetLastError();
    if (e != ERROR_FILE_NOT_FOUND) RaiseOs(e);
  }
}

void FileReplace(FileName from, FileName to) {
  DWORD how = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  BOOL ok = from.wide ? Os().moveFileExW(static_cast<LPCWSTR>(from.text),
                                         static_cast<LPCWSTR>(to.text), how)
                      : Os().moveFileExA(static_cast<LPCSTR>(from.text),
                                         static_cast<LPCSTR>(to.text), how);
  if (!ok) RaiseLastOs();
}

bool FileLock(HANDLE h, uint32_t offset, uint32_t length) {
  if (Os().lockFile(h, offset, 0, length, 0)) return true;
  DWORD e = GetLastError();
  if (e == ERROR_LOCK_VIOLATION) return false;
  RaiseOs(e);
}

bool FileUnlock(HANDLE h, uint32_t offset, uint32_t length) {
  if (Os().unlockFile(h, offset, 0, length, 0)) return true;
  DWORD e = GetLastError();
  if (e == ERROR_LOCK_VIOLATION) return false;
  RaiseOs(e);
}

void FreeDiskSpace(uint32_t drive, bool wide, uint64_t* total, uint64_t* free) {
  DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
  BOOL ok;
  if (wide) {
    wchar_t root[] = L"A:\\";
    root[0] = static_cast<wchar_t>(L'A' + drive - 1);
    ok = Os().getDiskFreeSpaceW(root, &sectors, &bytes, &freeClusters, &clusters);
  } else {
    char root[] = "A:\\";
    root[0] = static_cast<char>('A' + drive - 1);
    ok = Os().getDiskFreeSpaceA(root, &sectors, &bytes, &freeClusters, &clusters);
  }
  if (!ok) RaiseLastOs();
  // 64-bit products: large disks pass 4 GiB.
  *total = uint64_t{sectors} * bytes * clusters;
  *free = uint64_t{sectors} * bytes * freeClusters;
}

uint32_t CurrentDrive(bool wide) {
  if (wide) {
    wchar_t dir[261] = {};
    if (!Os().getCurrentDirectoryW(261, dir)) RaiseLastOs();
    return static_cast<uint32_t>(dir[0]) - 64;
  }
  char dir[261] = {};
  if (!Os().getCurrentDirectoryA(261, dir)) RaiseLastOs();
  return static_cast<uint32_t>(static_cast<uint8_t>(dir[0])) - 64;
}

void SleepTicks(uint32_t n) { Os().sleep(n * 10); }

}  // namespace chainDB::detail
