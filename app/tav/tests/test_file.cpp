// file and directory against real files in a per-test folder: copy and move
// modes (failures leave the target), whole-file reads and writes (a failed
// write leaves the old bytes), attributes and times, physical and long
// names, fact databases saved and consulted, enumeration and volumes.
#include <windows.h>
#include <winioctl.h>


#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "binary/binary.h"
#include "fileSystem/directory.h"
#include "fileSystem/file.h"
#include "fileSystem/fileSystem_exception.h"
#include "stream/stream_exception.h"
#include "fs_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;
namespace Tm = Qel::RunTime::Terms;
namespace decl = Qel::RunTime::Decl;

namespace {

// item(string): a fact database for save and consult.
struct Item {
  uint64_t functor;
  const wchar_t* name;
};
extern Qel::RunTime::RScopeClassDescriptor itemClass;
Tm::RDomainRecord itemName = decl::Simple(Tm::kString, {L"string", QEL_HERE, nullptr, &itemClass});
decl::Arguments itemArgs{{QEL_ARG(Item, name, itemName)}};
Tm::DBInternal::RFactDescriptor itemTable[] = {{L"item", itemArgs.a, 1, sizeof(Item), 0, 0, 0, 0}};
Tm::DBInternal::RFactHead itemHeads[1];
Tm::DBInternal::RFactDatabase items{
    decl::Head(Tm::kClassFacts, sizeof(Tm::DBInternal::RFactDatabase),
               {L"items", QEL_HERE, &itemName, &itemClass}),
    1, itemTable, 0, reinterpret_cast<uintptr_t>(itemHeads)};
Qel::RunTime::RScopeClassDescriptor itemClass = decl::Class(L"filetest", QEL_HERE, &items.head);
decl::UnitTable itemUnit{&itemClass};

std::string Data(const uint8_t* b) {
  return std::string(reinterpret_cast<const char*>(b), binary::getsize(b));
}
std::wstring Api(uint32_t id) {
  const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::nativecallexception);
  return e ? Extra(e, L"API function name") : L"<none>";
}

class Files : public TempFolder {
 protected:
  static void SetUpTestSuite() {
    TempFolder::SetUpTestSuite();
    static int linked = Qel::RunTime::RunUnitInitialization(
        nullptr, reinterpret_cast<void*>(&itemUnit), itemUnit.Table(), nullptr);
    ASSERT_EQ(linked, 0);
  }
  // The names in the folder, sorted.
  std::vector<std::wstring> Listing() {
    std::vector<std::wstring> names;
    directory::getfilesindirectory_nd(folder_.c_str(), [&](const wchar_t* n) {
      names.push_back(n + folder_.size() + 1);
      Kn::Fail();
    });
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(Files, CopyAndMoveModes) {
  std::wstring src = F(L"src.txt"), dst = F(L"dst.txt");
  struct {
    overwrite mode;
    bool move;
    const char* target;  // after the call; null: raises filealreadyexists
  } cases[] = {
      {overwrite::overwrite, false, "\xff\xfeS\0"},
      {overwrite::skip, false, "old"},
      {overwrite::append, false, "oldS\0"},
      {overwrite::errorifexist, false, nullptr},
      {overwrite::overwrite, true, "\xff\xfeS\0"},
      {overwrite::skip, true, "old"},
      {overwrite::errorifexist, true, nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode) * 10 + c.move);
    Put(src, std::string("\xff\xfeS\0", 4));
    Put(dst, "old");
    uint32_t id = RunTrapped([&] {
      c.move ? file::move(src.c_str(), dst.c_str(), c.mode)
             : file::copy(src.c_str(), dst.c_str(), c.mode);
    });
    if (!c.target) {
      const TraceEntry* e = exception::trygetdescriptor(id, &fileSystem_exception::filealreadyexists);
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(Extra(e, L"File name"), dst);
      EXPECT_EQ(Bytes(dst), "old");
      continue;
    }
    ASSERT_EQ(id, 0u);
    std::string want = c.target;
    if (c.mode != overwrite::skip) want = std::string(c.target, c.mode == overwrite::append ? 5 : 4);
    EXPECT_EQ(Bytes(dst), want);
    EXPECT_EQ(Bytes(src) == "<missing>", c.move && c.mode == overwrite::overwrite);
  }
  // A failed overwrite leaves the target: source missing, source locked.
  DeleteFileW(src.c_str());
  Put(dst, "old");
  for (bool move : {false, true}) {
    uint32_t id = RunTrapped([&] {
      move ? file::move(src.c_str(), dst.c_str()) : file::copy(src.c_str(), dst.c_str());
    });
    const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::nativecallexception);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Extra(e, L"API function name"), move ? L"MoveFile" : L"CopyFile");
    EXPECT_EQ(Extra(e, L"From(filename)"), src);
    EXPECT_EQ(Extra(e, L"To(filename)"), dst);
    EXPECT_EQ(Bytes(dst), "old");
  }
  Put(src, "new");
  HANDLE lock = CreateFileW(src.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(RunTrapped([&] { file::copy(src.c_str(), dst.c_str()); }), 0u);
  EXPECT_NE(RunTrapped([&] { file::move(src.c_str(), dst.c_str()); }), 0u);
  CloseHandle(lock);
  EXPECT_EQ(Bytes(dst), "old");

  // Into a directory the file keeps its name.
  CreateDirectoryW(F(L"sub").c_str(), nullptr);
  file::move(src.c_str(), F(L"sub").c_str());
  EXPECT_EQ(Bytes(F(L"sub\\src.txt")), "new");
}

TEST_F(Files, ExistFile) {
  Put(F(L"a.txt"), "a");
  CreateDirectoryW(F(L"d.txt").c_str(), nullptr);
  EXPECT_TRUE(file::existfile(F(L"a.txt").c_str()));
  EXPECT_TRUE(file::existfile(F(L"*.txt").c_str()));
  EXPECT_FALSE(file::existfile(F(L"d.txt").c_str()));
  EXPECT_FALSE(file::existfile(F(L"missing").c_str()));
  EXPECT_FALSE(file::existfile(F(L"d*").c_str()));
}

TEST_F(Files, WholeFiles) {
  std::wstring f = F(L"w.txt");
  file::writestring(f.c_str(), L"a\nb");
  EXPECT_EQ(Bytes(f), std::string("\xff\xfe" "a\0\r\0\n\0b\0", 10));
  EXPECT_STREQ(file::readstring(f.c_str()), L"a\nb");
  bool unicode = false;
  EXPECT_STREQ(file::readstring(f.c_str(), &unicode), L"a\nb");
  EXPECT_TRUE(unicode);
  file::writestring(f.c_str(), L"x\ny", false);
  EXPECT_EQ(Bytes(f), "x\r\ny");
  EXPECT_STREQ(file::readstring(f.c_str(), &unicode), L"x\ny");  // odd length: ANSI
  EXPECT_FALSE(unicode);
  Put(f, "");
  EXPECT_STREQ(file::readstring(f.c_str(), &unicode), L"");
  EXPECT_FALSE(unicode);

  file::writebinary(f.c_str(), binary::createfrompointer("xyz", 3));
  EXPECT_EQ(Data(file::readbinary(f.c_str())), "xyz");
  EXPECT_EQ(Data(file::readbinary(f.c_str(), 1, 2)), "yz");
  file::writebinary(f.c_str(), 2, binary::createfrompointer("q", 1));
  EXPECT_EQ(Bytes(f), std::string("\0\0q", 3));
  EXPECT_EQ(Listing(), std::vector<std::wstring>{L"w.txt"});  // no temporary file left

  // Fewer bytes than asked: end of stream; past sizeterm: 302 before reading.
  uint32_t id = RunTrapped([&] { file::readbinary(f.c_str(), 2, 5); });
  EXPECT_NE(exception::trygetdescriptor(id, &stream_exception::endofstream), nullptr);
  id = RunTrapped([&] { file::readbinary(f.c_str(), 0, 1ull << 32); });
  EXPECT_EQ(RunTimeCode(id), 302u);
  id = RunTrapped([&] { file::readbinary(F(L"missing").c_str()); });
  EXPECT_NE(exception::trygetdescriptor(id, &fileSystem_api::cannotcreate), nullptr);

  // A write that cannot replace the file leaves its bytes.
  HANDLE lock = CreateFileW(f.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  id = RunTrapped([&] { file::writestring(f.c_str(), L"lost"); });
  CloseHandle(lock);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(Bytes(f), std::string("\0\0q", 3));
  EXPECT_EQ(Listing(), std::vector<std::wstring>{L"w.txt"});

  // Too big for a binary or a string: a sparse file of 4 GiB + 1.
  std::wstring big = F(L"big.bin");
  HANDLE h = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = (1ll << 32) + 1;
  SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  for (int form = 0; form < 2; ++form) {
    id = RunTrapped([&] { form ? (void)file::readstring(big.c_str()) : (void)file::readbinary(big.c_str()); });
    const TraceEntry* e = exception::trygetdescriptor(id, &fileSystem_exception::filetoobig);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Extra(e, L"File name"), big);
  }
}

// The system calls that finish a whole-file write, seen through this
// program's import table: each sync with the size of the file synced, each
// move with its flags; either may be made to fail.
struct FinishCalls {
  static inline std::vector<std::string> calls;
  static inline bool failFlush = false, failMove = false;
  static inline BOOL(WINAPI* realFlush)(HANDLE);
  static inline BOOL(WINAPI* realMove)(LPCWSTR, LPCWSTR, DWORD);

  static BOOL WINAPI Flush(HANDLE h) {
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    calls.push_back("flush " + std::to_string(size.QuadPart));
    if (failFlush) {
      SetLastError(ERROR_DISK_FULL);
      return FALSE;
    }
    return realFlush(h);
  }
  static BOOL WINAPI Move(LPCWSTR from, LPCWSTR to, DWORD flags) {
    calls.push_back("move " + std::to_string(flags));
    if (failMove) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    return realMove(from, to, flags);
  }

  // Replaces the import of `name` from kernel32; returns the old address.
  static void* Patch(const char* name, void* with) {
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
      if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), "kernel32.dll") != 0) continue;
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
        DWORD old;
        VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
        void* was = reinterpret_cast<void*>(slots->u1.Function);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(with);
        VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
        return was;
      }
    }
    return nullptr;
  }
  FinishCalls() {
    calls.clear();
    failFlush = failMove = false;
    realFlush = reinterpret_cast<decltype(realFlush)>(Patch("FlushFileBuffers", reinterpret_cast<void*>(&Flush)));
    realMove = reinterpret_cast<decltype(realMove)>(Patch("MoveFileExW", reinterpret_cast<void*>(&Move)));
  }
  ~FinishCalls() {
    Patch("FlushFileBuffers", reinterpret_cast<void*>(realFlush));
    Patch("MoveFileExW", reinterpret_cast<void*>(realMove));
  }
};

// Every whole-file writer syncs the new file whole before the write-through
// move; a failed sync or move raises and leaves the old bytes.
TEST_F(Files, WholeFileWritesSyncBeforeTheWriteThroughReplace) {
  std::wstring f = F(L"whole.txt");
  FactDB db{D(items), nullptr};
  Tm::DBInternal::RetractAllinFactClass(D(items), 0);
  auto* fact = static_cast<Item*>(GStackAlloc(sizeof(Item)));
  *fact = Item{1, L"one"};
  Tm::DBInternal::TDBClassInternalDomainDefinition::AssertZClass(D(items), reinterpret_cast<term>(fact));
  struct Writer {
    const char* name;
    std::function<void()> write;
  };
  const Writer writers[] = {
      {"writebinary", [&] { file::writebinary(f.c_str(), binary::createfrompointer("xyz", 3)); }},
      {"writebinary at", [&] { file::writebinary(f.c_str(), 2, binary::createfrompointer("q", 1)); }},
      {"writestring", [&] { file::writestring(f.c_str(), L"a\nb"); }},
      {"writestring ansi", [&] { file::writestring(f.c_str(), L"a\nb", false); }},
      {"save", [&] { file::save(f.c_str(), &db, true); }},
  };
  const std::string moved = "move " + std::to_string(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  for (const Writer& w : writers) {
    SCOPED_TRACE(w.name);
    Put(f, "old");
    {
      FinishCalls seen;
      ASSERT_EQ(RunTrapped(w.write), 0u);
      std::string now = Bytes(f);
      EXPECT_EQ(seen.calls, (std::vector<std::string>{"flush " + std::to_string(now.size()), moved}));
    }
    for (bool flushFails : {true, false}) {
      Put(f, "old");
      FinishCalls seen;
      (flushFails ? seen.failFlush : seen.failMove) = true;
      uint32_t id = RunTrapped(w.write);
      EXPECT_EQ(Api(id), flushFails ? L"FlushFileBuffers" : L"MoveFileEx");
      EXPECT_EQ(Bytes(f), "old");
      EXPECT_EQ(Listing(), std::vector<std::wstring>{L"whole.txt"});  // the temporary file removed
      if (flushFails) EXPECT_EQ(seen.calls.size(), 1u) << "moved after a failed sync";
    }
  }
  Tm::DBInternal::RetractAllinFactClass(D(items), 0);
}

TEST_F(Files, SaveThenConsultInBothEncodings) {
  std::wstring f = F(L"facts.txt");
  for (bool unicode : {true, false}) {
    SCOPED_TRACE(unicode);
    Tm::DBInternal::RetractAllinFactClass(D(items), 0);
    FactDB db{D(items), nullptr};
    for (const wchar_t* name : {L"one", L"two \"2\""}) {
      auto* p = static_cast<Item*>(GStackAlloc(sizeof(Item)));
      *p = Item{1, name};
      Tm::DBInternal::TDBClassInternalDomainDefinition::AssertZClass(D(items), reinterpret_cast<term>(p));
    }
    file::save(f.c_str(), &db, unicode);
    EXPECT_EQ(Bytes(f).rfind("\xff\xfe", 0) == 0, unicode);
    Tm::DBInternal::RetractAllinFactClass(D(items), 0);
    bool wasUnicode = !unicode;
    file::consult(f.c_str(), &db, &wasUnicode);
    EXPECT_EQ(wasUnicode, unicode);
    std::vector<std::wstring> names;
    for (auto* c = itemHeads[0].first; c; c = c->next)
      names.push_back(reinterpret_cast<const Item*>(c->term)->name);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"one", L"two \"2\""}));
  }
  Tm::DBInternal::RetractAllinFactClass(D(items), 0);
}

TEST_F(Files, AttributesTimesAndNames) {
  std::wstring f = F(L"MixedCase.txt");
  Put(f, "12345");
  uint32_t id = RunTrapped([&] { file::setattributes(f.c_str(), {fileattributeatom::compressed}, true); });
  const TraceEntry* e = exception::trygetdescriptor(id, &fileSystem_exception::wrongattribute);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"File attribute")), 0x800u);
  file::setattributes(f.c_str(), {fileattributeatom::readonly}, true);
  EXPECT_TRUE(GetFileAttributesW(f.c_str()) & FILE_ATTRIBUTE_READONLY);
  file::setattributes(f.c_str(), {fileattributeatom::readonly}, false);
  EXPECT_FALSE(GetFileAttributesW(f.c_str()) & FILE_ATTRIBUTE_READONLY);

  const uint64_t t = 132000000000000000ull;
  file::setfiletime(f.c_str(), t, t + 10000000, t + 20000000);
  FileProperties p = file::getfileproperties(f.c_str());
  EXPECT_EQ(p.size, 5u);
  EXPECT_EQ(p.lastChange, t + 20000000);
  EXPECT_EQ(p.lastAccess, t + 10000000);

  EXPECT_EQ(std::wstring(file::getphysicalname(F(L"mixedcase.TXT").c_str())), f);
  id = RunTrapped([&] { file::getphysicalname(F(L"missing").c_str()); });
  EXPECT_EQ(Api(id), L"GetShortPathName");

  std::wstring unique = file::createuniquename(folder_.c_str(), L"tav");
  EXPECT_EQ(unique.rfind(folder_ + L"\\tav", 0), 0u);
  file::delete_(unique.c_str());
  id = RunTrapped([&] { file::delete_(unique.c_str()); });
  EXPECT_EQ(Api(id), L"DeleteFile");
}

TEST_F(Files, LongPathsThroughTheGrowingBuffers) {
  std::wstring deep = folder_;
  while (deep.size() < 400) {
    deep += L"\\Segment_of_a_long_path";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  std::wstring f = deep + L"\\Name.txt";
  Put(f, "x");
  ASSERT_GE(f.size(), 413u);
  EXPECT_EQ(std::wstring(file::getphysicalname(f.c_str())), f);
  EXPECT_EQ(std::wstring(file::FullPath(f.c_str())), f);
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  directory::setcurrentdirectory(deep.c_str());
  EXPECT_EQ(std::wstring(directory::getcurrentdirectory()), deep);
  SetCurrentDirectoryW(saved);
  file::writestring(f.c_str(), L"long");
  EXPECT_STREQ(file::readstring(f.c_str()), L"long");
}

TEST_F(Files, MoveToRecycleBin) {
  // Wine moves to the trash under XDG_DATA_HOME when it has Trash/files and Trash/info.
  std::wstring data = F(L"xdg");
  CreateDirectoryW(data.c_str(), nullptr);
  CreateDirectoryW((data + L"\\Trash").c_str(), nullptr);
  CreateDirectoryW((data + L"\\Trash\\files").c_str(), nullptr);
  CreateDirectoryW((data + L"\\Trash\\info").c_str(), nullptr);
  using UnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  ASSERT_NE(unixName, nullptr);
  char* unixData = unixName(data.c_str());
  wchar_t saved[1024] = {};
  DWORD had = GetEnvironmentVariableW(L"XDG_DATA_HOME", saved, 1024);
  SetEnvironmentVariableA("XDG_DATA_HOME", unixData);
  HeapFree(GetProcessHeap(), 0, unixData);
  std::wstring f = F(L"binned.txt");
  Put(f, "bin me");
  file::movetorecyclebin(f.c_str());
  SetEnvironmentVariableW(L"XDG_DATA_HOME", had ? saved : nullptr);
  EXPECT_EQ(Bytes(f), "<missing>");
  EXPECT_EQ(Bytes(data + L"\\Trash\\files\\binned.txt"), "bin me");
}

TEST_F(Files, Directories) {
  EXPECT_TRUE(directory::existdirectory(L"C:\\"));
  EXPECT_TRUE(directory::existdirectory(folder_.c_str()));
  EXPECT_TRUE(directory::existdirectory((folder_ + L"\\").c_str()));
  Put(F(L"plain"), "");
  EXPECT_FALSE(directory::existdirectory(F(L"plain").c_str()));
  EXPECT_FALSE(directory::existdirectory(F(L"missing").c_str()));
  EXPECT_FALSE(directory::existdirectory(L""));

  directory::makedirectory(F(L"a").c_str());
  directory::makedirectory(F(L"b").c_str());
  Put(F(L"a\\1.txt"), "");
  Put(F(L"b\\2.txt"), "");
  Put(F(L"b\\3.dat"), "");
  uint32_t id = RunTrapped([&] { directory::makedirectory(F(L"a").c_str()); });
  EXPECT_EQ(Api(id), L"CreateDirectory");

  auto all = [&](auto call) {
    std::vector<std::wstring> names;
    call([&](const wchar_t* n) {
      names.push_back(n);
      Kn::Fail();
    });
    std::sort(names.begin(), names.end());
    return names;
  };
  const wchar_t* dir = folder_.c_str();
  EXPECT_EQ(all([&](auto k) { return directory::getfilesindirectory_nd(dir, k); }),
            std::vector<std::wstring>{F(L"plain")});
  EXPECT_EQ(all([&](auto k) { return directory::getsubdirectories_nd(dir, k); }),
            (std::vector<std::wstring>{F(L"."), F(L".."), F(L"a"), F(L"b")}));
  EXPECT_EQ(all([&](auto k) { return directory::getfilesindirectoryandsub_nd(dir, L"*.txt", k); }),
            (std::vector<std::wstring>{F(L"a\\1.txt"), F(L"b\\2.txt")}));
  EXPECT_FALSE(directory::getfilesindirectory_nd(dir, L"*.none", [](const wchar_t*) {}));
  // The first solution that returns ends the enumeration.
  int seen = 0;
  EXPECT_TRUE(directory::getfilesindirectoryandsub_nd(dir, [&](const wchar_t*) { ++seen; }));
  EXPECT_EQ(seen, 1);

  // "." stands for the current directory's full path.
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  directory::setcurrentdirectory(F(L"b").c_str());
  directory::setcurrentdirectory(L"");
  EXPECT_EQ(all([&](auto k) { return directory::getfilesindirectory_nd(L".", L"*.txt", k); }),
            std::vector<std::wstring>{F(L"b\\2.txt")});
  SetCurrentDirectoryW(saved);

  directory::movedirectory(F(L"a").c_str(), F(L"c").c_str());
  EXPECT_TRUE(directory::existdirectory(F(L"c").c_str()));
  id = RunTrapped([&] { directory::deletedirectory(F(L"c").c_str()); });  // not empty
  EXPECT_EQ(Api(id), L"RemoveDirectory");
  DeleteFileW(F(L"c\\1.txt").c_str());
  directory::deletedirectory(F(L"c").c_str());
  EXPECT_FALSE(directory::existdirectory(F(L"c").c_str()));

  wchar_t temp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  temp[n - 1] = 0;
  EXPECT_STREQ(directory::trygetlogicaldirectory(directory::tempFolder), temp);
  EXPECT_NE(directory::trygetlogicaldirectory(0x25), nullptr);
  EXPECT_EQ(directory::trygetlogicaldirectory(0x7777), nullptr);
}

TEST_F(Files, FixedVolume) {
  VolumeProperties v = directory::getvolumeproperties(L"C:\\");
  EXPECT_EQ(v.type, volumetype::fixed);
  ULARGE_INTEGER freeToCaller, total;
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &freeToCaller, &total, nullptr));
  EXPECT_EQ(v.totalBytes, total.QuadPart);
  EXPECT_NEAR(static_cast<double>(v.freeBytes), static_cast<double>(freeToCaller.QuadPart), 1e9);
  uint32_t id = RunTrapped([&] { directory::getvolumeproperties(L"Q:\\"); });
  EXPECT_NE(id, 0u);
}

}  // namespace

namespace {

// Run by volumes.sh on a prefix with R: a CD drive and S: a plain folder.
class Volumes : public Library {
 protected:
  void SetUp() override {
    Library::SetUp();
    if (!GetEnvironmentVariableW(L"TAV_VOLUMES", nullptr, 0)) GTEST_SKIP() << "volumes.sh runs these";
  }
};

TEST_F(Volumes, TypesAndLabels) {
  EXPECT_EQ(directory::getvolumeproperties(L"R:\\").type, volumetype::cdrom);
  EXPECT_EQ(directory::getvolumeproperties(L"C:\\").type, volumetype::fixed);
  directory::setvolumelabel(L"S:\\", L"TAVLABEL");
  uint32_t id = RunTrapped([] { directory::getvolumeproperties(L"Q:\\"); });
  EXPECT_NE(id, 0u);
}

}  // namespace
