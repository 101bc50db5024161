// fileSystem_api against real files in a temporary folder: creation errors,
// sizes and pointers past 4 GiB, volumes, attribute values, CR/LF
// conversion and the functions bound at their first call.
#include "fileSystem/directory.h"
#include "fileSystem/file.h"
#include "fileSystem/fileSystem_api.h"
#include "stream/stream.h"
#include "string8/string8.h"
#include "tav_test.h"

#include <shlobj.h>
#include <algorithm>
#include <winioctl.h>

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;

namespace {

class FileSystem : public Library {
 protected:
  void SetUp() override {
    Library::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"tav_fs_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& f : files_) DeleteFileW(f.c_str());
    RemoveDirectoryW(folder_.c_str());
    Library::TearDown();
  }
  std::wstring File(const wchar_t* name) {
    files_.push_back(folder_ + L"\\" + name);
    return files_.back();
  }
  std::wstring folder_;
  std::vector<std::wstring> files_;
};

TEST_F(FileSystem, CreateInAMissingFolderRaisesWithTheError) {
  std::wstring name = folder_ + L"\\missing\\x.txt";
  uint32_t id = RunTrapped([&] {
    fileSystem_api::createfile(name.c_str(), GENERIC_WRITE, accesspermit::permitnone, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL);
  });
  const TraceEntry* e = exception::trygetdescriptor(id, &fileSystem_api::cannotcreate);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"File name", L"Error code", L"Error description"}));
  EXPECT_EQ(Extra(e, L"File name"), name);
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Error code")), 3u);
  EXPECT_FALSE(Extra(e, L"Error description").empty());
  // A folder opened as a file.
  id = RunTrapped([&] {
    fileSystem_api::createfile(folder_.c_str(), GENERIC_WRITE, accesspermit::permitnone,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  });
  EXPECT_NE(exception::trygetdescriptor(id, &fileSystem_api::cannotcreate), nullptr);
}

TEST_F(FileSystem, SizesAndPointersPast4GiB) {
  std::wstring name = File(L"sparse.bin");
  HANDLE h = fileSystem_api::createfile(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        accesspermit::permitread, CREATE_ALWAYS,
                                        fileSystem_api::toapiattributes({}));
  DWORD done;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);
  EXPECT_EQ(fileSystem_api::setfilepointer(h, 4294967295ll, FILE_BEGIN), 4294967295ull);
  ASSERT_TRUE(SetEndOfFile(h));
  SetLastError(ERROR_ACCESS_DENIED);  // a stale error does not make the size a failure
  EXPECT_EQ(fileSystem_api::getfilesize(h), 4294967295ull);
  EXPECT_EQ(fileSystem_api::setfilepointer(h, 5ll << 30, FILE_BEGIN), 5ull << 30);
  EXPECT_EQ(fileSystem_api::setfilepointer(h, -1, FILE_CURRENT), (5ull << 30) - 1);
  uint32_t id = RunTrapped([&] { fileSystem_api::setfilepointer(h, -10, FILE_BEGIN); });
  const TraceEntry* e = exception::trygetdescriptor(id, &fileSystem_api::cannotsetfilepointer);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"File handle", L"File pointer", L"start position",
                                                 L"Error code", L"Error description"}));
  EXPECT_EQ(exception::trygetextrainfo(e, L"File pointer")->As<int64_t>(), -10);
  CloseHandle(h);

  // Closed handles: error 6.
  for (auto call : std::vector<std::function<void()>>{
           [&] { fileSystem_api::getfilesize(h); },
           [&] { fileSystem_api::setfilepointer(h, 1, FILE_BEGIN); }}) {
    id = RunTrapped(call);
    e = Entries().at(0);
    EXPECT_EQ(e->traceId, id);
    EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Error code")), 6u);
    EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"File handle")),
              static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)));
  }
  EXPECT_STREQ(Entries()[1]->exception->name, L"cannotgetfilesize");
}

TEST_F(FileSystem, Volumes) {
  const wchar_t *volume, *system;
  uint32_t serial;
  fileSystem_api::getvolumeinformation(L"C:\\", &volume, &serial, &system);
  EXPECT_GT(wcslen(system), 0u);
  uint32_t id = RunTrapped([&] {
    fileSystem_api::getvolumeinformation(L"Q:\\", &volume, &serial, &system);
  });
  const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::nativecallexception);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"API function name"), L"GetVolumeInformation");
  EXPECT_EQ(Extra(e, L"Volume"), L"Q:\\");
}

TEST_F(FileSystem, AttributeValues) {
  using A = fileattributeatom;
  EXPECT_EQ(fileSystem_api::toapiattributes({}), 128u);
  EXPECT_EQ(fileSystem_api::toapiattributes({A::readonly, A::hidden}), 131u);
  fileattributeatom atoms[8];
  uint32_t n = fileSystem_api::fromapiattributes(33, atoms);
  EXPECT_EQ(std::vector<A>(atoms, atoms + n), (std::vector<A>{A::readonly, A::archive}));
  n = fileSystem_api::fromapiattributes(0xFFFFFFFF, atoms);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(fileSystem_api::attributevalue(A::offline), 4096u);
  EXPECT_EQ(fileSystem_api::accesspermitvalue(accesspermit::permitreadwrite), 3u);
  EXPECT_EQ(fileSystem_api::accesspermitvalue(accesspermit::permitnone), 0u);
}

std::wstring Units(const uint8_t* p, uint32_t bytes) {
  return std::wstring(reinterpret_cast<const wchar_t*>(p), bytes / 2);
}

TEST_F(FileSystem, CrLfToLf) {
  struct Case {
    std::wstring text;
    bool inPlace;
    std::wstring converted;  // within the new size
    bool lastCR;
    uint32_t pairs;
  };
  const Case cases[] = {
      {L"a\r\nb", true, L"a\nb", false, 1},
      {L"a\r\nb", false, L"a\nb", false, 1},
      {L"x\r", false, L"x", true, 0},
      {L"a\rb", true, L"a\rb", false, 0},
      {L"\r\nab", true, L"\nab", false, 1},
      {L"a\r\n\r\nb\r\n", false, L"a\n\nb\n", false, 3},
      {L"\r\r\n", true, L"\r\n", false, 1},
      {L"", true, L"", false, 0},
      {L"\r", true, L"\r", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    std::wstring buffer = c.text + L"#";  // a guard unit past the size
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    fileSystem_api::CrLf r =
        fileSystem_api::crlf_lf(bytes, static_cast<int64_t>(c.text.size() * 2), c.inPlace);
    EXPECT_EQ(Units(r.result, r.newSize), c.converted);
    EXPECT_EQ(r.lastCharCR, c.lastCR);
    EXPECT_EQ(r.pairCount, c.pairs);
    EXPECT_EQ(buffer.back(), L'#');
    if (!c.inPlace) EXPECT_EQ(buffer, c.text + L"#");
  }
  // An odd byte count: the last byte is kept, nothing past the size touched.
  uint8_t odd[] = {'a', 0, 13, 0, 10, 0, 'z', 0xEE};
  fileSystem_api::CrLf r = fileSystem_api::crlf_lf(odd, 7, true);
  EXPECT_EQ(r.newSize, 5u);
  EXPECT_EQ(std::vector<uint8_t>(r.result, r.result + 5), (std::vector<uint8_t>{'a', 0, 10, 0, 'z'}));
  EXPECT_EQ(odd[7], 0xEE);
  // Negative size: a zero-terminated string with its terminator.
  std::wstring z = L"p\r\nq";
  r = fileSystem_api::crlf_lf(reinterpret_cast<uint8_t*>(z.data()), -1, false);
  EXPECT_EQ(r.newSize, 8u);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(r.result), L"p\nq");
  EXPECT_EQ(r.pairs[0], 2u);

  wchar_t inPlace[] = L"\r\na\r\nb\r\r\n";
  fileSystem_api::crlf_lf(inPlace);
  EXPECT_STREQ(inPlace, L"\na\nb\r\n");
}

// The domain records of the file classes and of the code page: each value's
// text (a constant is written with empty brackets), its parse back, and the
// attribute list against the Windows bits.
TEST_F(FileSystem, DomainsOfTheFileClassesAndCodePages) {
  struct Case {
    const IDomainDefinition* domain;
    uint64_t functor;
    const wchar_t* text;
  };
  const Case cases[] = {
      {D(domains::accesspermit), uint64_t(accesspermit::permitread), L"permitread()"},
      {D(domains::accesspermit), uint64_t(accesspermit::permitnone), L"permitnone()"},
      {D(domains::overwrite), uint64_t(overwrite::skip), L"skip()"},
      {D(domains::overwrite), uint64_t(overwrite::errorifexist), L"errorifexist()"},
      {D(domains::volumetype), uint64_t(volumetype::fixed), L"fixed()"},
      {D(domains::volumetype), uint64_t(volumetype::cdrom), L"cdrom()"},
      {D(domains::volumetype), uint64_t(volumetype::unknown), L"unknown()"},
      {D(domains::fileattributeatom), uint64_t(fileattributeatom::hidden), L"hidden()"},
      {D(domains::fileattributeatom), uint64_t(fileattributeatom::offline), L"offline()"},
      {D(domains::codepage_), uint64_t(codepage::Kind::oem), L"oem()"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(std::wstring(T::ToString(c.domain, reinterpret_cast<term>(Constant(c.functor)))), c.text);
    auto* parsed = reinterpret_cast<const ConstantTerm*>(T::Streams::ParseToTerm(c.domain, c.text));
    EXPECT_EQ(parsed->functor, c.functor);
  }
  // codepage(N) carries its number to the system's; ansi and oem are 0 and 1.
  EXPECT_EQ(std::wstring(T::ToString(D(domains::codepage_),
                                     reinterpret_cast<term>(codepage::Number(932).Term()))),
            L"codepage(932)");
  for (auto [text, api] : {std::pair{L"codepage(65001)", 65001u}, {L"ansi()", 0u}, {L"oem", 1u}}) {
    auto* cp = reinterpret_cast<const codepage*>(T::Streams::ParseToTerm(D(domains::codepage_), text));
    EXPECT_EQ(string8_api::toapicodepage(*cp), api) << Narrow(text);
  }
  EXPECT_EQ(std::wstring(Mode::Ansi(932).Text()), L"ansi(codepage(932))");
  uint32_t id = RunTrapped([] { T::Streams::ParseToTerm(D(domains::volumetype), L"floppy"); });
  EXPECT_NE(id, 0u);

  // fileattributes: the bits and the list, both ways, in the table's order.
  const AttributeList* list = fileSystem_api::fromapiattributes(FILE_ATTRIBUTE_ARCHIVE | 1 | 0x80);
  EXPECT_EQ(std::wstring(T::ToString(D(domains::fileattributes), reinterpret_cast<term>(list))),
            L"[readonly(),archive()]");
  EXPECT_EQ(std::wstring(T::ToString(D(domains::fileattributes),
                                     reinterpret_cast<term>(fileSystem_api::fromapiattributes(0)))),
            L"[]");
  auto parse = [](const wchar_t* text) {
    return reinterpret_cast<const AttributeList*>(
        T::Streams::ParseToTerm(D(domains::fileattributes), text));
  };
  EXPECT_EQ(fileSystem_api::toapiattributes(parse(L"[readonly,hidden]")), 131u);
  EXPECT_EQ(fileSystem_api::toapiattributes(parse(L"[]")), 128u);
  EXPECT_EQ(fileSystem_api::toapiattributes(parse(L"[compressed,encrypted,temporary,offline,system]")),
            0x80u | 0x800 | 0x4000 | 0x100 | 0x1000 | 4);
  EXPECT_EQ(fileSystem_api::toapiattributes(fileSystem_api::fromapiattributes(0x7FFF)), 0x59a7u);
}

// Long texts of a, CR and LF (whole 8-unit chunks and a rest, pairs across
// every chunk border, odd byte counts) against plain loops.
TEST_F(FileSystem, ConversionsOfLongTextsMatchAPlainLoop) {
  uint32_t seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245 + 12345) >> 16; };
  const wchar_t alphabet[] = {L'a', L'\r', L'\n', L'a', L'b'};
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    size_t n = next() % 70;
    std::wstring text;
    for (size_t i = 0; i < n; ++i) text += alphabet[next() % 5];
    const bool odd = round % 3 == 0 && n > 0;  // the last unit's high byte is cut off
    const bool inPlace = round % 2 == 0;
    // The units searched: all of an even block but a final CR (of more than
    // one unit), which waits; the whole units of an odd one.
    size_t searched = odd ? n - 1 : n;
    const bool lastCR = !odd && n > 1 && text[n - 1] == L'\r';
    if (lastCR) --searched;
    std::wstring joined;
    std::vector<uint32_t> pairs;
    for (size_t i = 0; i < searched; ++i) {
      if (text[i] == L'\r' && i + 1 < searched && text[i + 1] == L'\n') {
        pairs.push_back(static_cast<uint32_t>(2 * i));
        continue;
      }
      joined += text[i];
    }
    std::vector<uint8_t> want(2 * joined.size());
    memcpy(want.data(), joined.data(), want.size());
    if (odd) want.push_back(0x77);

    std::vector<uint8_t> bytes(2 * n + 16, 0xEE);
    memcpy(bytes.data(), text.data(), 2 * n);
    const int64_t size = static_cast<int64_t>(2 * n) - (odd ? 1 : 0);
    if (odd) bytes[size - 1] = 0x77;
    const std::vector<uint8_t> before = bytes;
    fileSystem_api::CrLf r = fileSystem_api::crlf_lf(bytes.data(), size, inPlace);
    EXPECT_EQ(r.lastCharCR, lastCR);
    ASSERT_EQ(r.newSize, want.size());
    EXPECT_EQ(std::vector<uint8_t>(r.result, r.result + r.newSize), want);
    EXPECT_EQ(std::vector<uint32_t>(r.pairs, r.pairs + r.pairCount), pairs);
    EXPECT_TRUE(std::equal(bytes.begin() + size, bytes.end(), before.begin() + size));
    if (!inPlace) {
      EXPECT_EQ(bytes, before);
    }

    std::wstring crlf;
    for (wchar_t c : text) crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    uint32_t outSize;
    const uint8_t* out = fileSystem_api::lf_crlf(reinterpret_cast<const uint8_t*>(text.data()),
                                                 static_cast<int64_t>(2 * n), &outSize);
    ASSERT_EQ(outSize, 2 * crlf.size());
    EXPECT_EQ(memcmp(out, crlf.data(), outSize), 0);
  }
}

TEST_F(FileSystem, LfToCrLf) {
  uint32_t size;
  std::wstring text = L"a\nb\r\n";
  uint8_t* out = fileSystem_api::lf_crlf(reinterpret_cast<const uint8_t*>(text.data()),
                                          static_cast<int64_t>(text.size() * 2), &size);
  EXPECT_EQ(Units(out, size), L"a\r\nb\r\r\n");
  std::wstring plain = L"abc";
  EXPECT_EQ(fileSystem_api::lf_crlf(reinterpret_cast<const uint8_t*>(plain.data()), 6, &size),
            reinterpret_cast<const uint8_t*>(plain.data()));
  EXPECT_EQ(size, 6u);
  out = fileSystem_api::lf_crlf(reinterpret_cast<const uint8_t*>(L"\n"), -1, &size);
  EXPECT_EQ(size, 6u);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(out), L"\r\n");
  uint8_t odd[] = {10, 0, 'x'};
  out = fileSystem_api::lf_crlf(odd, 3, &size);
  EXPECT_EQ(std::vector<uint8_t>(out, out + size), (std::vector<uint8_t>{13, 0, 10, 0, 'x'}));
}

struct LongPath {
  static constexpr const wchar_t* module = L"kernel32.dll";
  static constexpr const char* function = "GetLongPathNameW";
};
using LongPathCell = LateBound<LongPath, decltype(&::GetLongPathNameW)>;

struct MissingFunction {
  static constexpr const wchar_t* module = L"kernel32.dll";
  static constexpr const char* function = "NoSuchFunctionAnywhere";
};
struct MissingModule {
  static constexpr const wchar_t* module = L"no_such_module_tav.dll";
  static constexpr const char* function = "F";
};
using MissingFn = LateBound<MissingFunction, DWORD(WINAPI*)(DWORD)>;
using MissingMod = LateBound<MissingModule, DWORD(WINAPI*)(DWORD)>;

TEST_F(FileSystem, FunctionsBoundAtTheirFirstCall) {
  std::wstring name = File(L"LongFileName.txt");
  CloseHandle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  wchar_t direct[MAX_PATH], bound[MAX_PATH];
  DWORD a = ::GetLongPathNameW(name.c_str(), direct, MAX_PATH);
  DWORD b = fileSystem_api::GetLongPathNameW(name.c_str(), bound, MAX_PATH);
  EXPECT_EQ(a, b);
  EXPECT_STREQ(direct, bound);
  // The cell starts at its resolver and holds the function after one call.
  auto resolver = LongPathCell::cell;
  EXPECT_EQ(LongPathCell::cell(name.c_str(), bound, MAX_PATH), a);
  auto direct_address = reinterpret_cast<decltype(LongPathCell::cell)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetLongPathNameW")));
  EXPECT_NE(resolver, direct_address);
  EXPECT_EQ(LongPathCell::cell, direct_address);
  wchar_t folder[MAX_PATH] = {};
  EXPECT_TRUE(fileSystem_api::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE));
  EXPECT_GT(wcslen(folder), 0u);

  for (int round = 0; round < 2; ++round) {
    auto before = MissingFn::cell;
    uint32_t id = RunTrapped([] { MissingFn::cell(1); });
    EXPECT_NE(exception::trygetdescriptor(id, runtime_exception::exceptionfromerrorcode(16)), nullptr);
    EXPECT_EQ(MissingFn::cell, before);  // still the resolver: the next call tries again
    id = RunTrapped([] { MissingMod::cell(1); });
    EXPECT_NE(exception::trygetdescriptor(id, runtime_exception::exceptionfromerrorcode(15)), nullptr);
  }
}

}  // namespace
