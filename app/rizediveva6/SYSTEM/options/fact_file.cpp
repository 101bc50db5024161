// The 8-bit fact-database files beside the program: the writer (the saved
// text into one reused buffer, code page with escapes, write beside and
// replace) and the reader (the file's bytes read once, decoded as the 8-bit
// file stream decodes them and consulted from a string stream under a trap;
// a damaged file set aside).  The file stream's set-up costs several times the parse of a
// small file: the bytes are needed whole anyway, as the last text read.
#include "SYSTEM/options/fact_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "SYSTEM/myKWI/myKWI.h"
#include "application/Exe/mainExe.h"
#include "exception/exception.h"
#include "string/string_stream.h"
#include "unit.h"

namespace rizediveva6 {

namespace K = Qel::RunTime::Kernel;

const wchar_t* ProgramFolder() {
  // The program file does not move while it runs: asked once.
  static const std::wstring folder = [] {
    const wchar_t* path;
    const wchar_t* name;
    tav::mainExe::getfilename(&path, &name);
    return std::wstring(path);
  }();
  return folder.c_str();
}

namespace {

// Code pages whose conversions take no flags and no default-character report.
bool PlainConversion(UINT cp) {
  return cp == CP_UTF8 || cp == CP_UTF7 || cp == 42 || (cp >= 50220 && cp <= 50229) ||
         (cp >= 57002 && cp <= 57011);
}

// Appends the bytes of units [at, at + n) when the code page gives them back
// unchanged; false otherwise.
bool AppendExact(UINT cp, bool plain, const wchar_t* at, int n, std::string& out) {
  char bytes[16];
  BOOL usedDefault = FALSE;
  int k = WideCharToMultiByte(cp, plain ? 0 : WC_NO_BEST_FIT_CHARS, at, n, bytes, sizeof bytes,
                              nullptr, plain ? nullptr : &usedDefault);
  if (k <= 0 || usedDefault) return false;
  wchar_t back[8];
  int m = MultiByteToWideChar(cp, 0, bytes, k, back, 8);
  if (m != n || wmemcmp(back, at, n) != 0) return false;
  out.append(bytes, k);
  return true;
}

void AppendEscape(wchar_t unit, std::string& out) {
  static const char hex[] = "0123456789ABCDEF";
  char e[6] = {'\\', 'u', hex[unit >> 12 & 15], hex[unit >> 8 & 15], hex[unit >> 4 & 15],
               hex[unit & 15]};
  out.append(e, 6);
}

// The runtime writes a database's saved text straight into this one buffer,
// which grows by doubling and is kept from save to save: a save allocates
// nothing on the collected heap (a string stream takes a zeroed 64 KiB block
// for each save, and its collections cost more than the writing).
class TextSink final : public Qel::RunTime::Terms::RBufferSource {
 public:
  // The saved text, valid until the next call (may raise); *units: its length.
  const wchar_t* Save(const tav::FactDB* db, size_t* units) {
    offset_ = 0;
    Qel::RunTime::Terms::Streams::DataBaseInternal_save(db, this, 0);
    *units = offset_ / sizeof(wchar_t);
    return reinterpret_cast<const wchar_t*>(bytes_.data());
  }
  void NextBlock(uint8_t** base, uint32_t* length) override {
    // A full buffer that cannot grow gives no room: the writer raises.
    bool room = offset_ < bytes_.size() || Grow();
    *base = bytes_.data();
    *length = room ? static_cast<uint32_t>(bytes_.size()) : 0;
  }
  uint32_t* PositionCell() override { return &offset_; }

 private:
  // Offsets are 32-bit: the buffer stays below 4 GiB, an even size.  No C++
  // exception leaves here (the caller is the runtime).
  bool Grow() {
    constexpr size_t kMost = 0xFFFFFFFEu;
    if (bytes_.size() >= kMost) return false;
    try {
      bytes_.resize(std::min(kMost, std::max<size_t>(8192, bytes_.size() * 2)));
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  std::vector<uint8_t> bytes_;
  uint32_t offset_ = 0;  // bytes written
};

// The saved text of the database (may raise); one writer at a time, on the
// GUI thread.
const wchar_t* SavedText(const tav::FactDB* db, size_t* units) {
  static TextSink sink;
  return sink.Save(db, units);
}

// The file's bytes, at most kMaxFileBytes (*whole: all of them).  Reads go
// straight into the string; a read that returns less than it asked for has
// reached the end of the file, so a small file takes one ReadFile.
constexpr size_t kMaxFileBytes = 64u << 20;
std::string WholeFile(HANDLE h, bool* whole) {
  std::string bytes;
  size_t size = 0;
  for (size_t ask = 16384; size < kMaxFileBytes; ask = std::min(size, kMaxFileBytes - size)) {
    bytes.resize(size + ask);
    DWORD n = 0;
    const bool ok = ReadFile(h, bytes.data() + size, static_cast<DWORD>(ask), &n, nullptr);
    size += n;
    if (!ok || n < ask) break;
  }
  bytes.resize(size);
  *whole = size < kMaxFileBytes;
  return bytes;
}

// The text the 8-bit file stream reads from the bytes: converted from the
// ANSI code page, CR LF pairs made LF.
std::wstring Decode8(const std::string& bytes) {
  std::wstring text;
  if (bytes.empty()) return text;
  const UINT cp = GetACP();
  const int size = static_cast<int>(bytes.size());
  text.resize(MultiByteToWideChar(cp, 0, bytes.data(), size, nullptr, 0));
  text.resize(MultiByteToWideChar(cp, 0, bytes.data(), size, text.data(),
                                  static_cast<int>(text.size())));
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != L'\r' || i + 1 == text.size() || text[i + 1] != L'\n') text[out++] = text[i];
  text.resize(out);
  return text;
}

}  // namespace

std::string Encode8(const wchar_t* text, size_t units) {
  const UINT cp = GetACP();
  const bool plain = PlainConversion(cp);
  std::string out;
  out.reserve(units + units / 16 + 64);
  const wchar_t* end = text + units;
  for (const wchar_t* p = text; p < end;) {
    wchar_t c = *p;
    if (c == L'\n') {
      out.append("\r\n", 2);
      ++p;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++p;
    } else {
      int n = IS_HIGH_SURROGATE(c) && p + 1 < end && IS_LOW_SURROGATE(p[1]) ? 2 : 1;
      if (!AppendExact(cp, plain, p, n, out))
        for (int i = 0; i < n; ++i) AppendEscape(p[i], out);
      p += n;
    }
  }
  return out;
}

std::string FileBytes(const tav::FactDB* db) {
  size_t units = 0;
  const wchar_t* text = SavedText(db, &units);
  return Encode8(text, units);
}

namespace {

// The native form of `path` ("\\??\\C:\\...", "\\??\\UNC\\server\\..."), empty
// when it has no full form.
std::wstring NativePath(const wchar_t* path) {
  // Usually one call: a longer name asks again with the size the first call gave.
  std::wstring full(MAX_PATH, L'\0');
  DWORD written = GetFullPathNameW(path, MAX_PATH, full.data(), nullptr);
  if (written >= MAX_PATH) {
    full.assign(written, L'\0');
    const DWORD size = written;
    written = GetFullPathNameW(path, size, full.data(), nullptr);
    if (written >= size) return {};
  }
  if (written == 0) return {};
  full.resize(written);
  if (full.compare(0, 4, L"\\\\?\\") == 0) return L"\\??\\" + full.substr(4);
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + full.substr(2);
  return L"\\??\\" + full;
}

// Moves the open file `h` over `target` (one call on the handle: no second
// open of the file, as a move by names needs).
bool RenameOver(HANDLE h, const wchar_t* target) {
  const std::wstring native = NativePath(target);
  if (native.empty()) return false;
  const size_t bytes = native.size() * sizeof(wchar_t);
  std::vector<uint8_t> block(sizeof(FILE_RENAME_INFO) + bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = DWORD(bytes);
  memcpy(info->FileName, native.data(), bytes + sizeof(wchar_t));
  return SetFileInformationByHandle(h, FileRenameInfo, info, DWORD(block.size()));
}

}  // namespace

WriteFailure ReplaceFile(const wchar_t* target, const std::string& bytes) {
  std::wstring temp = std::wstring(target) + L".new";
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {L"CreateFile", GetLastError()};
  const wchar_t* api = nullptr;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(h, bytes.data() + done, chunk, &n, nullptr) || n == 0) {
      api = L"WriteFile";
      break;
    }
    done += n;
  }
  if (!api && !FlushFileBuffers(h)) api = L"FlushFileBuffers";
  if (!api && !RenameOver(h, target)) api = L"SetFileInformationByHandle";
  uint32_t code = api ? GetLastError() : 0;
  CloseHandle(h);
  if (api) DeleteFileW(temp.c_str());
  return {api, code};
}

WriteFailure SaveFactFile(FactFile& file, const wchar_t* target) {
  std::string bytes = FileBytes(file.db);
  if (bytes == file.last) return {};
  WriteFailure f = ReplaceFile(target, bytes);
  if (!f.Failed()) file.last.swap(bytes);
  return f;
}

ReadOutcome ReadFactFile(FactFile& file, const wchar_t* target, bool replace, uint32_t* code) {
  *code = 0;
  HANDLE h = CreateFileW(target, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *code = GetLastError();
    return *code == ERROR_FILE_NOT_FOUND || *code == ERROR_PATH_NOT_FOUND
               ? ReadOutcome::absent
               : ReadOutcome::unreadable;
  }
  // The bytes as read stand for the text last read: a save of the same
  // bytes writes nothing.
  bool whole = false;
  std::string bytes = WholeFile(h, &whole);
  CloseHandle(h);
  std::wstring text = Decode8(bytes);
  const tav::FactDB* db = file.db;
  uint32_t error = TrapAndForget([&] {
    if (replace) Qel::RunTime::Terms::DBInternal::RetractAllinDBClass(db->definition);
    tav::inputStream_string::New(text.c_str())->consult(db);
  });
  // A zero byte ends the text early, and an oversized file is not read to
  // its end: what was read stays, the file counts as damaged.
  if (!error && whole && text.find(L'\0') == std::wstring::npos) {
    file.last.swap(bytes);
    return ReadOutcome::read;
  }
  file.last.clear();
  std::wstring aside = std::wstring(target) + L".damaged";
  if (MoveFileExW(target, aside.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return ReadOutcome::damaged;
  *code = GetLastError();
  return ReadOutcome::damagedInPlace;
}

void NoteOnce(bool* shown, const wchar_t* text) {
  if (*shown) return;
  *shown = true;
  myKWI::note(text);
}

const wchar_t* SystemMessage(uint32_t code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring s = n ? std::wstring(text, n) : L"error " + std::to_wstring(code);
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ' ||
                        s.back() == L'.'))
    s.pop_back();
  return tav::HeapCopy(s.c_str());
}

}  // namespace rizediveva6
