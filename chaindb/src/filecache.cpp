// The read cache of a database file that this process holds alone (no
// other process can write it): pages read from the file are kept, so that
// reading a record costs no system call.  Writes are not held back: every
// write reaches the file when it is made, as without the cache.
//
// Invariants:
//  - A kept page holds the file's bytes with every successful write since
//    applied; its first `valid` bytes are known (the file may end inside).
//  - A page is never read past the file's known size: a short read raises
//    1111 as a direct read would; bytes past a page's known part are read
//    from the file directly.
#include <algorithm>
#include <cstring>
#include <unordered_map>

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

struct FileCache {
  std::unordered_map<uint32_t, Page*> pages;
  uint64_t size = 0;  // the file's size as far as written or read
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

}  // namespace

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
