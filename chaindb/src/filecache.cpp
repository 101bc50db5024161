// The read cache of a database file that this process holds alone (no
// other process can write it): pages read from the file are kept, so that
// reading a record costs no system call.  Writes reach the file when they
// are made, except in a held file (a Copy's new file): its whole image is
// built in memory and written by the first sync.
//
// Invariants:
//  - A kept page holds the file's bytes with every successful write since
//    applied; its first `valid` bytes are known (the file may end inside).
//  - A page is never read past the file's known size: a short read raises
//    1111 as a direct read would; bytes past a page's known part are read
//    from the file directly.
//  - A held file's image is the whole file (bytes never written are zero,
//    as in a file that grew past them); it keeps no pages.  The file is
//    created only when the image is written back: by the first sync, or
//    once the image would pass kMaxHeld.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <unordered_map>
#include <vector>

#include "db.h"
#include "qel6kernel.h"

namespace chainDB::detail {

namespace {

constexpr uint32_t kPage = 4096;
constexpr size_t kMaxPages = 16384;  // 64 MiB of kept pages

struct Page {
  uint32_t valid;
  uint8_t bytes[kPage];
};

constexpr uint64_t kMaxHeld = uint64_t{64} << 20;
constexpr uint32_t kWriteBackChunk = 1u << 20;

struct FileCache {
  std::unordered_map<uint32_t, Page*> pages;
  uint64_t size = 0;  // the file's size as far as written or read
  bool holding = false;
  std::vector<uint8_t> image;  // a held file's bytes
  std::vector<uint8_t> name;   // a held file's name, terminator included
  bool wideName = false;
};

FileCache* Cache(FILEDESCR* d) { return static_cast<FileCache*>(d->fileCache); }

void DropPages(FileCache* c) {
  for (auto& [n, page] : c->pages) delete page;
  c->pages.clear();
}

// Copies written bytes into the kept pages they touch.
void ApplyToPages(FileCache* c, uint32_t p, const uint8_t* b, uint32_t n) {
  if (c->pages.empty()) return;
  uint64_t end = uint64_t{p} + n;
  for (uint64_t at = p; at < end;) {
    uint32_t page = static_cast<uint32_t>(at / kPage), off = static_cast<uint32_t>(at % kPage);
    uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(kPage - off, end - at));
    auto it = c->pages.find(page);
    if (it != c->pages.end()) {
      Page* pg = it->second;
      memcpy(pg->bytes + off, b + (at - p), take);
      if (off <= pg->valid && off + take > pg->valid) pg->valid = off + take;
    }
    at += take;
  }
}

void HeldWrite(FileCache* c, uint32_t p, const void* buffer, uint32_t n) {
  uint64_t end = uint64_t{p} + n;
  if (end > c->image.size()) c->image.resize(end, 0);
  memcpy(c->image.data() + p, buffer, n);
  if (end > c->size) c->size = end;
}

void HeldRead(FileCache* c, uint32_t p, void* buffer, uint32_t n) {
  if (uint64_t{p} + n > c->image.size()) Raise(1111);
  memcpy(buffer, c->image.data() + p, n);
}

}  // namespace

void CacheHoldNew(FILEDESCR* d, FileName name) {
  auto* c = new FileCache;
  c->holding = true;
  c->wideName = name.wide;
  size_t bytes = name.wide ? 2 * (wcslen(static_cast<const wchar_t*>(name.text)) + 1)
                           : strlen(static_cast<const char*>(name.text)) + 1;
  auto* first = static_cast<const uint8_t*>(name.text);
  c->name.assign(first, first + bytes);
  d->fileCache = c;
}

void CacheWriteBack(FILEDESCR* d) {
  FileCache* c = Cache(d);
  if (!c || !c->holding) return;
  // Opened for reading too: a repairing Copy reads back tree nodes it wrote.
  if (!d->fileHandle)
    d->fileHandle = FileOpen({c->name.data(), c->wideName}, kOpenCopy | 2, kAttrNormal, kCreateAlways);
  for (uint64_t at = 0; at < c->image.size(); at += kWriteBackChunk) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kWriteBackChunk, c->image.size() - at));
    FileWriteAt(d->fileHandle, static_cast<uint32_t>(at), c->image.data() + at, n);
  }
  c->holding = false;
  std::vector<uint8_t>().swap(c->image);
}

void CacheOpen(FILEDESCR* d) {
  if (d->fileCache) return;
  auto* c = new FileCache;
  c->size = FileSize(d->fileHandle);
  d->fileCache = c;
}

void CacheClose(FILEDESCR* d) {
  FileCache* c = Cache(d);
  if (!c) return;
  d->fileCache = nullptr;
  DropPages(c);
  delete c;
}

// Writes go to the file at once; the kept pages follow only a write that
// succeeded.  A failed one leaves the file's bytes unknown: every page goes.
void CacheWriteAt(FILEDESCR* d, uint32_t p, const void* buffer, uint32_t n) {
  FileCache* c = Cache(d);
  if (!c) return FileWriteAt(d->fileHandle, p, buffer, n);
  if (c->holding && uint64_t{p} + n <= kMaxHeld) return HeldWrite(c, p, buffer, n);
  CacheWriteBack(d);
  uint32_t code = Qel::RunTime::Kernel::RunTrapped([&] { FileWriteAt(d->fileHandle, p, buffer, n); });
  if (code) {
    DropPages(c);
    Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code);
  }
  ApplyToPages(c, p, static_cast<const uint8_t*>(buffer), n);
  if (uint64_t{p} + n > c->size) c->size = uint64_t{p} + n;
}

void CacheRead(FILEDESCR* d, uint32_t p, void* buffer, uint32_t n) {
  FileCache* c = Cache(d);
  if (c->holding) return HeldRead(c, p, buffer, n);
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t end = uint64_t{p} + n;
  for (uint64_t at = p; at < end;) {
    uint32_t page = static_cast<uint32_t>(at / kPage), off = static_cast<uint32_t>(at % kPage);
    uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(kPage - off, end - at));
    auto it = c->pages.find(page);
    Page* pg;
    if (it != c->pages.end()) {
      pg = it->second;
    } else {
      if (c->pages.size() >= kMaxPages) DropPages(c);
      uint64_t start = uint64_t{page} * kPage;
      uint32_t length = c->size > start ? static_cast<uint32_t>(std::min<uint64_t>(kPage, c->size - start)) : 0;
      pg = new Page;
      pg->valid = 0;
      if (length) {
        uint32_t code = Qel::RunTime::Kernel::RunTrapped(
            [&] { FileReadAt(d->fileHandle, static_cast<uint32_t>(start), pg->bytes, length); });
        if (code) {
          delete pg;
          Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code);
        }
      }
      pg->valid = length;
      c->pages.emplace(page, pg);
    }
    if (off + take > pg->valid) {
      // Past the known end of the file: read as without the cache.
      FileReadAt(d->fileHandle, static_cast<uint32_t>(at), out + (at - p), static_cast<uint32_t>(end - at));
      if (end > c->size) c->size = end;
      return;
    }
    memcpy(out + (at - p), pg->bytes + off, take);
    at += take;
  }
}

}  // namespace chainDB::detail
