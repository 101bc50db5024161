// directory: names found by an enumeration are copied into a list on the
// global stack and the search handle is closed before any is handed out.
#include "fileSystem/directory.h"

#include <shlobj.h>

#include "fileSystem/fileName.h"
#include "fileSystem/fileSystem_util.h"
#include "string/string.h"
#include "string8/string8.h"

namespace tav {

const ClassInfo directory::classInfo{L"com/corvane/fileSystem/directory", TAV_CLASS_VERSION};

namespace {

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The names of dir matching pattern whose directory bit equals mask, as
// full names; "." and ".." only when keepDots.
const StringList* Find(const wchar_t* dir, const wchar_t* pattern, DWORD mask, bool keepDots) {
  const wchar_t* prefix = dir[0] ? fileName::setpath(L"", dir) : L"";
  // ".\" and "..\" stand for the current directory and its parent.
  if (wcscmp(prefix, L".\\") == 0) {
    prefix = string::concat(directory::getcurrentdirectory(), L"\\");
  } else if (wcscmp(prefix, L"..\\") == 0) {
    prefix = fileName::getpath(directory::getcurrentdirectory());
  }
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(string::concat(prefix, pattern), &data);
  if (h == INVALID_HANDLE_VALUE) return EmptyStringList();
  // Cells are made in order: the first cell is kept, each new one is linked.
  auto* head = static_cast<StringList*>(GStackAlloc(sizeof(StringList)));
  StringList* volatile last = head;
  fs::Finally(
      [&] {
        for (;;) {
          if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == mask &&
              (keepDots || !IsDotEntry(data.cFileName))) {
            auto* cell = static_cast<StringList*>(GStackAlloc(sizeof(StringList)));
            last->functor = 1;
            last->head = string::concat(prefix, data.cFileName);
            last->tail = cell;
            last = cell;
          }
          if (!FindNextFileW(h, &data)) {
            if (GetLastError() == ERROR_NO_MORE_FILES) return;
            fs::Raise(&directory::classInfo, L"FindNextFile");
          }
        }
      },
      [&] {
        if (!FindClose(h)) fs::Raise(&directory::classInfo, L"FindClose");
      });
  last->functor = 2;
  return head;
}

bool Each_(const StringList* names, const Each<const wchar_t*>& k) {
  for (; !names->Empty(); names = names->tail)
    if (TrySolution(k, names->head)) return true;
  return false;
}

// Forgets the trace of an error that was handled.
void Clear(uint32_t error) {
  if (error >= kFirstTraceId) exception::clear(error);
}

// The long form when the name holds a short (~) part; the name as it is
// when the system has no GetLongPathNameW.
const wchar_t* LongForm(const wchar_t* path) {
  if (!wcschr(path, L'~')) return path;
  DWORD units = MAX_PATH;
  for (;;) {
    wchar_t* buffer = memory::allocstringbuffer(units + 1);
    volatile DWORD n = 0;
    if (uint32_t error = K::RunTrapped(
            [&] { n = fileSystem_api::GetLongPathNameW(path, buffer, units); })) {
      Clear(error);
      return path;
    }
    if (n == 0) fs::Raise(&directory::classInfo, L"GetLongPathName", fs::One(L"short name", path));
    if (n < units) return buffer;
    units = n + 1;
  }
}

const wchar_t* Logical(uint32_t folder, bool create) {
  if (folder == directory::tempFolder) {
    wchar_t* temp = fs::Grown([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); });
    if (!temp) fs::Raise(&directory::classInfo, L"GetTempPath");
    size_t n = wcslen(temp);
    if (n && temp[n - 1] == L'\\') temp[n - 1] = 0;
    return temp;
  }
  wchar_t* buffer = memory::allocstringbuffer(MAX_PATH + 1);
  volatile BOOL found = FALSE;
  Clear(K::RunTrapped([&] {
    found = fileSystem_api::SHGetSpecialFolderPathW(nullptr, buffer, static_cast<int>(folder), create);
  }));
  if (found) return LongForm(buffer);
  int flags = static_cast<int>(folder) | (create ? CSIDL_FLAG_CREATE : 0);
  auto* folderPath = QEL_BOUND_PROCEDURE(L"shell32.dll", SHGetFolderPathW);
  if (folderPath(nullptr, flags, nullptr, 0, buffer) == S_OK) return LongForm(buffer);
  if (create) return nullptr;
  if (folder == CSIDL_SYSTEM || folder == CSIDL_WINDOWS) {
    wchar_t* dir = fs::Grown([&](wchar_t* b, DWORD n) {
      return folder == CSIDL_SYSTEM ? GetSystemDirectoryW(b, n) : GetWindowsDirectoryW(b, n);
    });
    if (dir) return LongForm(dir);
  }
  return nullptr;
}

}  // namespace

void directory::makedirectory(const wchar_t* dir) {
  if (!CreateDirectoryW(dir, nullptr))
    fs::Raise(&classInfo, L"CreateDirectory", fs::One(L"Directory", dir));
}

void directory::movedirectory(const wchar_t* from, const wchar_t* to) {
  if (!MoveFileW(from, to))
    fs::Raise(&classInfo, L"MoveFile",
              Values({{L"From", value::string(from)}, {L"To", value::string(to)}}));
}

void directory::deletedirectory(const wchar_t* dir) {
  if (!RemoveDirectoryW(dir)) fs::Raise(&classInfo, L"RemoveDirectory", fs::One(L"Directory", dir));
}

bool directory::existdirectory(const wchar_t* dir) {
  if (!dir[0]) return false;
  if (!wcspbrk(dir, L"*?")) {
    DWORD a = GetFileAttributesW(dir);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  size_t n = wcslen(dir);
  const wchar_t* name = dir[n - 1] == L'\\' ? string::substring(dir, 0, static_cast<uint32_t>(n - 1)) : dir;
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(name, &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  volatile bool found = false;
  fs::Finally(
      [&] {
        do {
          if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            found = true;
            return;
          }
        } while (FindNextFileW(h, &data));
        if (GetLastError() != ERROR_NO_MORE_FILES) fs::Raise(&classInfo, L"FindNextFile");
      },
      [&] {
        if (!FindClose(h)) fs::Raise(&classInfo, L"FindClose");
      });
  return found;
}

const wchar_t* directory::getcurrentdirectory() {
  wchar_t* dir = fs::Grown([](wchar_t* b, DWORD n) { return GetCurrentDirectoryW(n, b); });
  if (!dir) fs::Raise(&classInfo, L"GetCurrentDirectory");
  return LongForm(dir);
}

void directory::setcurrentdirectory(const wchar_t* dir) {
  if (!dir[0]) return;
  if (!SetCurrentDirectoryW(dir))
    fs::Raise(&classInfo, L"SetCurrentDirectory", fs::One(L"Directory", dir));
}

const wchar_t* directory::trygetlogicaldirectory(uint32_t folder) { return Logical(folder, false); }
const wchar_t* directory::trycreatelogicaldirectory(uint32_t folder) { return Logical(folder, true); }

FileProperties directory::getdirectoryproperties(const wchar_t* dir) {
  FileProperties p = file::getfileproperties(dir);
  p.size = 0;
  return p;
}

bool directory::getfilesindirectory_nd(const wchar_t* dir, Each<const wchar_t*> k) {
  return getfilesindirectory_nd(dir, L"*", k);
}
bool directory::getfilesindirectory_nd(const wchar_t* dir, const wchar_t* pattern,
                                       Each<const wchar_t*> k) {
  return Each_(Find(dir, pattern, 0, true), k);
}
bool directory::getsubdirectories_nd(const wchar_t* dir, Each<const wchar_t*> k) {
  return getsubdirectories_nd(dir, L"*", k);
}
bool directory::getsubdirectories_nd(const wchar_t* dir, const wchar_t* pattern,
                                     Each<const wchar_t*> k) {
  return Each_(Find(dir, pattern, FILE_ATTRIBUTE_DIRECTORY, true), k);
}
bool directory::getfilesindirectoryandsub_nd(const wchar_t* dir, Each<const wchar_t*> k) {
  return getfilesindirectoryandsub_nd(dir, L"*", k);
}
bool directory::getfilesindirectoryandsub_nd(const wchar_t* dir, const wchar_t* pattern,
                                             Each<const wchar_t*> k) {
  if (Each_(Find(dir, pattern, 0, true), k)) return true;
  for (const StringList* sub = Find(dir, L"*", FILE_ATTRIBUTE_DIRECTORY, false); !sub->Empty();
       sub = sub->tail)
    if (Each_(Find(sub->head, pattern, 0, true), k)) return true;
  return false;
}

VolumeProperties directory::getvolumeproperties(const wchar_t* drive) {
  VolumeProperties v{};
  const wchar_t* fsName;
  fileSystem_api::getvolumeinformation(drive, &v.label, &v.serialNumber, &fsName);
  switch (GetDriveTypeW(drive)) {
    case DRIVE_REMOVABLE: v.type = volumetype::removable; break;
    case DRIVE_FIXED: v.type = volumetype::fixed; break;
    case DRIVE_REMOTE: v.type = volumetype::remote; break;
    case DRIVE_CDROM: v.type = volumetype::cdrom; break;
    case DRIVE_RAMDISK: v.type = volumetype::ram; break;
    default: v.type = volumetype::unknown; break;
  }
  ULARGE_INTEGER freeToCaller, total;
  if (!GetDiskFreeSpaceExW(drive, &freeToCaller, &total, nullptr))
    fs::Raise(&classInfo, L"GetDiskFreeSpaceEx", fs::One(L"Drive", drive));
  v.totalBytes = total.QuadPart;
  v.freeBytes = freeToCaller.QuadPart;
  return v;
}

void directory::setvolumelabel(const wchar_t* drive, const wchar_t* label) {
  if (!SetVolumeLabelW(drive, label))
    fs::Raise(&classInfo, L"SetVolumeLabel",
              Values({{L"Drive", value::string(drive)}, {L"Label", value::string(label)}}));
}

}  // namespace tav
