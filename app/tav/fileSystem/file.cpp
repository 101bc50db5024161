// file: every handle an operation opens is closed on every way out; whole
// files are written to a new file beside the target, forced to the disk,
// that then replaces it with a write-through move: the target holds its old
// bytes or the new ones, also after a power cut.
#include "fileSystem/file.h"

#include <shellapi.h>

#include "binary/binary.h"
#include "fileSystem/directory.h"
#include "fileSystem/fileName.h"
#include "fileSystem/fileStream.h"
#include "fileSystem/fileSystem_exception.h"
#include "fileSystem/fileSystem_util.h"
#include "stream/stream_exception.h"
#include "string/string.h"
#include "string8/string8.h"

namespace tav {

const ClassInfo file::classInfo{L"com/corvane/fileSystem/file", TAV_CLASS_VERSION};

namespace {

// The largest file that fits a binary or a string (with its size word or
// terminator).
constexpr uint64_t kWholeFileLimit = memory::maxSize - 8;

HANDLE OpenRead(const wchar_t* name) {
  return fileSystem_api::createfile(name, GENERIC_READ, accesspermit::permitread, OPEN_EXISTING,
                                    0);
}

void CloseChecked(HANDLE h) {
  if (!CloseHandle(h)) fs::Raise(&file::classInfo, L"CloseHandle");
}

// Reads land in a block outside the collected heap and the global stack and
// are copied from there: the system writes into watched pages slowly.
void ReadExactly(HANDLE h, void* into, uint64_t size) {
  constexpr DWORD kChunk = 1u << 20;
  static uint8_t* landing = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, kChunk, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  static CRITICAL_SECTION* lock = [] {
    static CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    return &cs;
  }();
  auto* p = static_cast<uint8_t*>(into);
  while (size) {
    DWORD n = 0;
    DWORD want = size > kChunk ? kChunk : static_cast<DWORD>(size);
    EnterCriticalSection(lock);
    BOOL ok = ReadFile(h, landing, want, &n, nullptr);
    if (ok) memcpy(p, landing, n);
    LeaveCriticalSection(lock);
    if (!ok) fs::Raise(&file::classInfo, L"ReadFile");
    if (n == 0) {
      TAV_AT();
      stream_exception::raise_endofstream(&file::classInfo);
    }
    p += n;
    size -= n;
  }
}

void WriteExactly(HANDLE h, const void* bytes, uint64_t size) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (size) {
    DWORD n = 0;
    DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!WriteFile(h, p, want, &n, nullptr)) fs::Raise(&file::classInfo, L"WriteFile");
    if (n == 0) {
      SetLastError(ERROR_DISK_FULL);
      fs::Raise(&file::classInfo, L"WriteFile");
    }
    p += n;
    size -= n;
  }
}

uint64_t SizeForWhole(HANDLE h, const wchar_t* name) {
  uint64_t size = fileSystem_api::getfilesize(h);
  if (size > kWholeFileLimit) {
    TAV_AT();
    fileSystem_exception::raise_filetoobig(&file::classInfo, name);
  }
  return size;
}

// A name beside `full` that no file has yet, and its file, created.
const wchar_t* NewFileBeside(const wchar_t* full, HANDLE* handle) {
  static volatile LONG counter;
  for (;;) {
    wchar_t suffix[48];
    swprintf(suffix, 48, L".%lx-%lx.tmp", GetCurrentProcessId(),
             static_cast<unsigned long>(InterlockedIncrement(&counter)));
    const wchar_t* name = string::concat(full, suffix);
    HANDLE h = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      *handle = h;
      return name;
    }
    if (GetLastError() != ERROR_FILE_EXISTS)
      fs::Raise(&file::classInfo, L"CreateFile", fs::One(L"File name", name));
  }
}

// Puts `temp` (synced) in the place of `target`; the temporary file goes
// on failure.
void ReplaceWith(const wchar_t* temp, const wchar_t* target) {
  if (!MoveFileExW(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DWORD error = GetLastError();
    DeleteFileW(temp);
    SetLastError(error);
    fs::Raise(&file::classInfo, L"MoveFileEx", fs::One(L"File name", target));
  }
}

// write(handle) fills a new file beside fileName, which then replaces it.
template <class Write>
void WriteWhole(const wchar_t* fileName, Write&& write) {
  const wchar_t* full = file::FullPath(fileName);
  HANDLE h;
  const wchar_t* temp = NewFileBeside(full, &h);
  volatile bool ok = false;
  fs::Finally(
      [&] {
        write(h);
        if (!FlushFileBuffers(h)) fs::Raise(&file::classInfo, L"FlushFileBuffers");
        ok = true;
      },
      [&] {
        BOOL closed = CloseHandle(h);
        if (!ok || !closed) DeleteFileW(temp);
        if (ok && !closed) fs::Raise(&file::classInfo, L"CloseHandle");
      });
  ReplaceWith(temp, full);
}

// Appends the bytes of source (without a UTF-16 signature) to target.
void AppendFile(const wchar_t* source, const wchar_t* target) {
  uint8_t* bytes = file::readbinary(source);
  uint32_t size = binary::getsize(bytes);
  uint32_t skip = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE ? 2 : 0;
  outputStream_file* s = outputStream_file::append(target, Mode::Binary());
  fs::Finally([&] { s->writebytes(bytes + skip, size - skip); }, [&] { s->close(); });
}

}  // namespace

const wchar_t* file::FullPath(const wchar_t* fileName) {
  wchar_t* full = fs::Grown([&](wchar_t* b, DWORD n) { return GetFullPathNameW(fileName, n, b, nullptr); });
  if (!full) fs::Raise(&classInfo, L"GetFullPathName", fs::One(L"File name", fileName));
  return full;
}

bool file::existfile(const wchar_t* fileName) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(fileName, &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  volatile bool found = false;
  fs::Finally(
      [&] {
        for (;;) {
          if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            found = true;
            return;
          }
          if (!FindNextFileW(h, &data)) {
            if (GetLastError() == ERROR_NO_MORE_FILES) return;
            fs::Raise(&classInfo, L"FindNextFile");
          }
        }
      },
      [&] {
        if (!FindClose(h)) fs::Raise(&classInfo, L"FindClose");
      });
  return found;
}

static bool Exists(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

// What a copy or move does when the target exists in a mode other than overwrite.
static void OnExisting(overwrite mode, const wchar_t* source, const wchar_t* target,
                       const wchar_t* api, const wchar_t* destination) {
  DWORD error = GetLastError();
  if (mode != overwrite::overwrite && Exists(error)) {
    if (mode == overwrite::skip) return;
    if (mode == overwrite::append) return AppendFile(source, target);
    TAV_AT();
    fileSystem_exception::raise_filealreadyexists(&file::classInfo, target);
  }
  SetLastError(error);
  fs::Raise(&file::classInfo, api,
            Values({{L"From(filename)", value::string(source)},
                    {L"To(filename)", value::string(destination)}}));
}

void file::copy(const wchar_t* source, const wchar_t* destination, overwrite mode) {
  if (!CopyFileW(source, destination, mode != overwrite::overwrite))
    OnExisting(mode, source, destination, L"CopyFile", destination);
}

void file::move(const wchar_t* source, const wchar_t* destination, overwrite mode) {
  const wchar_t* target = destination;
  if (directory::existdirectory(destination)) {
    const wchar_t* nameExt;
    fileName::getpath(source, &nameExt);
    target = fileName::setpath(nameExt, destination);
  }
  // Replacing is one step: the old target stays when the move fails.
  DWORD flags = MOVEFILE_COPY_ALLOWED | (mode == overwrite::overwrite ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(source, target, flags))
    OnExisting(mode, source, target, L"MoveFile", destination);
}

void file::delete_(const wchar_t* fileName) {
  if (!DeleteFileW(fileName)) fs::Raise(&classInfo, L"DeleteFile", fs::One(L"File name", fileName));
}

void file::movetorecyclebin(const wchar_t* fileName) {
  const wchar_t* full = FullPath(fileName);
  // The source list ends with two zero characters.
  size_t length = wcslen(full);
  wchar_t* list = memory::allocstringbuffer(static_cast<uint32_t>(length + 2));
  memcpy(list, full, length * sizeof(wchar_t));
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = list;
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  op.lpszProgressTitle = L"";
  if (int result = QEL_BOUND_PROCEDURE(L"shell32.dll", SHFileOperationW)(&op)) {
    SetLastError(static_cast<DWORD>(result));
    fs::Raise(&classInfo, L"SHFileOperation", fs::One(L"Filename", fileName));
  }
}

void file::setattributes(const wchar_t* fileName, std::initializer_list<fileattributeatom> list,
                         bool add) {
  if (list.size() == 0) {
    if (add && !SetFileAttributesW(fileName, FILE_ATTRIBUTE_NORMAL))
      fs::Raise(&classInfo, L"SetFileAttributes", fs::One(L"File name", fileName));
    return;
  }
  DWORD current = GetFileAttributesW(fileName);
  if (current == INVALID_FILE_ATTRIBUTES)
    fs::Raise(&classInfo, L"GetFileAttributes", fs::One(L"Filename", fileName));
  // The list as bits, without the "normal" bit that the conversion always adds.
  uint32_t bits = fileSystem_api::toapiattributes(list) & ~uint32_t{FILE_ATTRIBUTE_NORMAL};
  if (bits & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_ENCRYPTED)) {
    TAV_AT();
    fileSystem_exception::raise_wrongattribute(&classInfo, bits);
  }
  DWORD value = add ? (current | bits) : (current & ~bits);
  if (!SetFileAttributesW(fileName, value))
    fs::Raise(&classInfo, L"SetFileAttributes",
              Values({{L"File name", value::string(fileName)}, {L"Attributes", value::unsigned_(value)}}));
}

static uint64_t Time(const FILETIME& t) {
  return uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime;
}
static FILETIME FileTime(uint64_t v) {
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

FileProperties file::getfileproperties(const wchar_t* fileName) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(fileName, GetFileExInfoStandard, &data))
    fs::Raise(&classInfo, L"GetFileAttributesEx",
              Values({{L"File name", value::string(fileName)}, {L"Op", value::unsigned_(0)}}));
  FileProperties p{};
  p.attributeCount = fileSystem_api::fromapiattributes(data.dwFileAttributes, p.attributes);
  p.size = uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
  p.creation = Time(data.ftCreationTime);
  p.lastAccess = Time(data.ftLastAccessTime);
  p.lastChange = Time(data.ftLastWriteTime);
  return p;
}

void file::setfiletime(const wchar_t* fileName, uint64_t creation, uint64_t lastAccess,
                       uint64_t lastChange) {
  HANDLE h = CreateFileW(fileName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    TAV_AT();
    fileSystem_api::raise_cannotcreate(fileName);
  }
  fs::Finally(
      [&] {
        FILETIME c = FileTime(creation), a = FileTime(lastAccess), w = FileTime(lastChange);
        if (!SetFileTime(h, &c, &a, &w))
          fs::Raise(&classInfo, L"SetFileTime",
                    Values({{L"File name", value::string(fileName)},
                            {L"Creation time", value::gmttimevalue(creation)},
                            {L"Last access time", value::gmttimevalue(lastAccess)},
                            {L"Last change time", value::gmttimevalue(lastChange)}}));
      },
      [&] { CloseChecked(h); });
}

const wchar_t* file::createuniquename(const wchar_t* path, const wchar_t* prefix) {
  wchar_t* buffer = memory::allocstringbuffer(MAX_PATH + 1);
  if (!GetTempFileNameW(path, prefix, 0, buffer))
    fs::Raise(&classInfo, L"GetTempFileName", fs::One(L"Path", path));
  return buffer;
}

const wchar_t* file::getphysicalname(const wchar_t* fileName) {
  wchar_t* shortName =
      fs::Grown([&](wchar_t* b, DWORD n) { return GetShortPathNameW(fileName, b, n); });
  if (!shortName) fs::Raise(&classInfo, L"GetShortPathName", fs::One(L"File name", fileName));
  wchar_t* longName = fs::Grown(
      [&](wchar_t* b, DWORD n) { return fileSystem_api::GetLongPathNameW(shortName, b, n); });
  if (!longName) fs::Raise(&classInfo, L"GetLongPathName", fs::One(L"File name", fileName));
  return longName;
}

uint8_t* file::readbinary(const wchar_t* fileName) {
  HANDLE h = OpenRead(fileName);
  uint8_t* volatile result = nullptr;
  fs::Finally(
      [&] {
        uint64_t size = SizeForWhole(h, fileName);
        uint8_t* b = binary::create(static_cast<uint32_t>(size));
        ReadExactly(h, b, size);
        result = b;
      },
      [&] { CloseChecked(h); });
  return result;
}

uint8_t* file::readbinary(const wchar_t* fileName, uint64_t position, uint64_t size) {
  uint32_t bytes = memory::checksize(size);
  HANDLE h = OpenRead(fileName);
  uint8_t* volatile result = nullptr;
  fs::Finally(
      [&] {
        uint8_t* b = binary::create(bytes);
        fileSystem_api::setfilepointer(h, static_cast<int64_t>(position), FILE_BEGIN);
        ReadExactly(h, b, bytes);
        result = b;
      },
      [&] { CloseChecked(h); });
  return result;
}

// The whole file, followed by two zero bytes (and one more for an odd size).
static uint8_t* ReadWhole(const wchar_t* fileName, uint32_t* size) {
  HANDLE h = OpenRead(fileName);
  uint8_t* volatile result = nullptr;
  volatile uint32_t bytes = 0;
  fs::Finally(
      [&] {
        uint32_t n = static_cast<uint32_t>(SizeForWhole(h, fileName));
        auto* b = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(n + n % 2 + 2));
        memset(b + n, 0, n % 2 + 2);
        ReadExactly(h, b, n);
        bytes = n;
        result = b;
      },
      [&] { CloseChecked(h); });
  *size = bytes;
  return result;
}

static bool HasSignature(const uint8_t* b, uint32_t size) {
  return size >= 2 && b[0] == 0xFF && b[1] == 0xFE;
}

const wchar_t* file::readstring(const wchar_t* fileName) {
  uint32_t size;
  uint8_t* b = ReadWhole(fileName, &size);
  auto* text = reinterpret_cast<wchar_t*>(b + (HasSignature(b, size) ? 2 : 0));
  fileSystem_api::crlf_lf(text);
  return text;
}

const wchar_t* file::readstring(const wchar_t* fileName, bool* isUnicodeFile) {
  uint32_t size;
  uint8_t* b = ReadWhole(fileName, &size);
  *isUnicodeFile = size % 2 == 0 && HasSignature(b, size);
  wchar_t* text;
  if (*isUnicodeFile) {
    text = reinterpret_cast<wchar_t*>(b + 2);
  } else {
    codepage cp = codepage::Ansi();
    const char* bytes = reinterpret_cast<const char*>(b);
    uint32_t n = string8_api::lenwidechar(cp, bytes, static_cast<int32_t>(size));
    text = memory::allocstringbuffer(n + 1);
    string8_api::towidechar(cp, bytes, static_cast<int32_t>(size), text, n);
  }
  fileSystem_api::crlf_lf(text);
  return text;
}

void file::writebinary(const wchar_t* fileName, const uint8_t* b) {
  uint32_t size = binary::getsize(b);
  WriteWhole(fileName, [&](HANDLE h) { WriteExactly(h, b, size); });
}

void file::writebinary(const wchar_t* fileName, uint64_t position, const uint8_t* b) {
  uint32_t size = binary::getsize(b);
  WriteWhole(fileName, [&](HANDLE h) {
    fileSystem_api::setfilepointer(h, static_cast<int64_t>(position), FILE_BEGIN);
    WriteExactly(h, b, size);
  });
}

void file::writestring(const wchar_t* fileName, const wchar_t* text, bool isUnicodeFile) {
  uint32_t size;
  const auto* lines = reinterpret_cast<const wchar_t*>(fileSystem_api::lf_crlf(
      reinterpret_cast<const uint8_t*>(text), 2 * uint64_t{wcslen(text)}, &size));
  if (isUnicodeFile) {
    WriteWhole(fileName, [&](HANDLE h) {
      static const uint8_t signature[2] = {0xFF, 0xFE};
      WriteExactly(h, signature, 2);
      WriteExactly(h, lines, size);
    });
    return;
  }
  codepage cp = codepage::Ansi();
  int32_t units = static_cast<int32_t>(size / 2);
  uint32_t bytes = string8_api::lenmultibyte(cp, lines, units);
  auto* out = static_cast<char*>(K::Memory::AllocAtomicHeap(bytes ? bytes : 1));
  string8_api::tomultibyte(cp, lines, units, out, bytes);
  WriteWhole(fileName, [&](HANDLE h) { WriteExactly(h, out, bytes); });
}

void file::save(const wchar_t* fileName, const FactDB* db, bool isUnicodeFile) {
  const wchar_t* full = FullPath(fileName);
  HANDLE h;
  const wchar_t* temp = NewFileBeside(full, &h);
  CloseHandle(h);
  outputStream_file* volatile s = nullptr;
  volatile bool ok = false;
  fs::Finally(
      [&] {
        s = isUnicodeFile ? outputStream_file::create(temp) : outputStream_file::create8(temp);
        s->save(db);
        s->flush();
        outputStream_file* done = s;
        s = nullptr;
        done->close();
        ok = true;
      },
      [&] {
        if (s) K::RunTrapped([&] { s->close(); });
        if (!ok) DeleteFileW(temp);
      });
  ReplaceWith(temp, full);
}

void file::consult(const wchar_t* fileName, const FactDB* db, bool* isUnicodeFile) {
  bool unicode = false;
  HANDLE h = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    uint8_t head[2];
    DWORD n = 0;
    unicode = ReadFile(h, head, 2, &n, nullptr) && n == 2 && HasSignature(head, 2);
    CloseHandle(h);
  }
  inputStream_file* s = unicode ? inputStream_file::openfile(fileName)
                                : inputStream_file::openfile8(fileName);
  fs::Finally([&] { s->consult(db); }, [&] { s->close(); });
  if (isUnicodeFile) *isUnicodeFile = unicode;
}

}  // namespace tav
