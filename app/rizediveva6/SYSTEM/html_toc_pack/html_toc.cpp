// html_toc: see the header.  Folders are told apart by their volume and
// file index, so a folder reached again through a link is recognised.
#include "SYSTEM/html_toc_pack/html_toc.h"

#include "SYSTEM/my_html/htm.h"
#include "fileSystem/directory.h"
#include "fileSystem/fileName.h"
#include "fileSystem/fileStream.h"
#include "string/string.h"

namespace rizediveva6 {

using namespace tav;

const ClassInfo html_toc::classInfo{L"qel6pack/html_toc_pack/html_toc", TAV_CLASS_VERSION};

namespace {

// A folder being walked, with the walk that entered it.
struct Walking {
  uint64_t volume, index;
  const Walking* outer;
};

// The identity of a folder; false when the system gives none.
bool Identity(const wchar_t* folder, uint64_t* volume, uint64_t* index) {
  HANDLE h = CreateFileW(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  *volume = info.dwVolumeSerialNumber;
  *index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  return ok;
}

bool BeingWalked(const Walking* w, uint64_t volume, uint64_t index) {
  for (; w; w = w->outer)
    if (w->volume == volume && w->index == index) return true;
  return false;
}

bool EndsWith(const wchar_t* s, const wchar_t* end) {
  const size_t n = wcslen(s), e = wcslen(end);
  return n >= e && wcscmp(s + n - e, end) == 0;
}

// Every name an enumeration yields, in order (the cells on the heap: a
// failing continuation takes back what it put on the global stack).
template <class Enumerate>
const StringList* Collect(Enumerate enumerate) {
  struct Cell {
    uint64_t functor;
    const wchar_t* head;
    const StringList* tail;
  };
  const StringList* head = EmptyStringList();
  Cell* last = nullptr;
  enumerate([&](const wchar_t* name) {
    auto* c = static_cast<Cell*>(K::Memory::AllocHeap(sizeof(Cell)));
    *c = Cell{1, name, EmptyStringList()};
    if (last) last->tail = reinterpret_cast<const StringList*>(c);
    else head = reinterpret_cast<const StringList*>(c);
    last = c;
    K::Fail();
  });
  return head;
}

void toc_folder_create(const wchar_t* prefix, const wchar_t* folder, const Walking* outer) {
  Walking self{0, 0, outer};
  if (Identity(folder, &self.volume, &self.index) && BeingWalked(outer, self.volume, self.index))
    return;
  const StringList* files =
      Collect([&](Each<const wchar_t*> k) { directory::getfilesindirectory_nd(folder, k); });
  const StringList* folders =
      Collect([&](Each<const wchar_t*> k) { directory::getsubdirectories_nd(folder, k); });
  for (; !files->Empty(); files = files->tail) {
    const wchar_t* path = files->head;
    if (wcscmp(string::touppercase(fileName::getextension(path)), L"HTML") != 0) continue;
    const wchar_t* name = fileName::getname(path);
    htm::write_a(fileName::reduce(path, html_toc::manualRoot), string::concat(prefix, name));
    htm::write_br();
    for (const StringList* f = folders; !f->Empty(); f = f->tail) {
      uint32_t at;
      if (EndsWith(f->head, L"\\.") || EndsWith(f->head, L"\\..")) continue;
      if (!string::search(f->head, name, casesensitivity::caseinsensitive, &at)) continue;
      toc_folder_create(string::concat(prefix, name, L" > "), f->head, &self);
    }
  }
}

void toc_create(const wchar_t* folder) { toc_folder_create(L"", folder, nullptr); }

}  // namespace

void html_toc::create_toc(const wchar_t* folder, const wchar_t* fileName) {
  htm::clear();
  htm::start_page(L"kalmora6 Table of Contents", L"");
  toc_create(folder);
  htm::end_page();
  htm::WritePage(outputStream_file::create8(string::concat(folder, L"\\", fileName)));
}

}  // namespace rizediveva6
