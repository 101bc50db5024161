// The file layer: every operating-system call of the library goes through
// the table `Os()`, which tests replace to shorten transfers, fail calls or
// end the process at a chosen call.  Failing calls raise 1336 with the
// system's error number; short transfers raise 1111 (read) or 1112 (write).
#pragma once

#include <windows.h>

#include <cstdint>

namespace chainDB::detail {

struct OsTable {
  HANDLE(WINAPI* createFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  HANDLE(WINAPI* createFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  DWORD(WINAPI* getFileAttributesW)(LPCWSTR);
  DWORD(WINAPI* getFileAttributesA)(LPCSTR);
  BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
  DWORD(WINAPI* setFilePointer)(HANDLE, LONG, PLONG, DWORD);
  BOOL(WINAPI* flushFileBuffers)(HANDLE);
  BOOL(WINAPI* closeHandle)(HANDLE);
  BOOL(WINAPI* lockFile)(HANDLE, DWORD, DWORD, DWORD, DWORD);
  BOOL(WINAPI* unlockFile)(HANDLE, DWORD, DWORD, DWORD, DWORD);
  BOOL(WINAPI* deleteFileW)(LPCWSTR);
  BOOL(WINAPI* deleteFileA)(LPCSTR);
  BOOL(WINAPI* moveFileExW)(LPCWSTR, LPCWSTR, DWORD);
  BOOL(WINAPI* moveFileExA)(LPCSTR, LPCSTR, DWORD);
  BOOL(WINAPI* getDiskFreeSpaceW)(LPCWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD);
  BOOL(WINAPI* getDiskFreeSpaceA)(LPCSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD);
  DWORD(WINAPI* getCurrentDirectoryW)(DWORD, LPWSTR);
  DWORD(WINAPI* getCurrentDirectoryA)(DWORD, LPSTR);
  void(WINAPI* sleep)(DWORD);
};

// The table in use; tests may change its entries.
OsTable& Os();
// The table of the real system functions.
const OsTable& RealOs();

[[noreturn]] void Raise(uint32_t code);
// 1336 with the system's error number.
[[noreturn]] void RaiseOs(uint32_t error);
[[noreturn]] void RaiseLastOs();

// Open flags in the style of the language's file modes.
constexpr uint32_t kOpenCreate = 18, kOpenReadWrite = 146, kOpenRead = 148, kOpenCopy = 161;
constexpr uint32_t kCreateNew = 0x1000, kOpenAlways = 0x1001, kCreateAlways = 0x1002,
                   kOpenExisting = 1, kTruncateExisting = 2;
constexpr uint32_t kAttrNormal = 0x40;

// Names are UTF-16 (wide variant) or 8-bit text.
struct FileName {
  const void* text;
  bool wide;
};

HANDLE FileOpen(FileName name, uint32_t flags, uint32_t attributes, uint32_t creation);
void FileReadAt(HANDLE h, uint32_t position, void* buffer, uint32_t length);
void FileWriteAt(HANDLE h, uint32_t position, const void* buffer, uint32_t length);
void FileRead(HANDLE h, void* buffer, uint32_t length);
void FileWrite(HANDLE h, const void* buffer, uint32_t length);
uint32_t FileSize(HANDLE h);
void FileFlush(HANDLE h);
void FileClose(HANDLE h);
void FileDelete(FileName name);
// Replaces `to` by `from` (write through).
void FileReplace(FileName from, FileName to);
bool FileLock(HANDLE h, uint32_t offset, uint32_t length);
bool FileUnlock(HANDLE h, uint32_t offset, uint32_t length);
void FreeDiskSpace(uint32_t drive, bool wide, uint64_t* total, uint64_t* free);
uint32_t CurrentDrive(bool wide);
void SleepTicks(uint32_t n);

}  // namespace chainDB::detail
