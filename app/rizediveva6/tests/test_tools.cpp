// The maker's tools: the source line copier at its fixed path, the manual's
// table of contents over a folder tree (with the page written for tidy), and
// the web check.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "SYSTEM/compilation_pack/compilation_build.h"
#include "SYSTEM/html_toc_pack/html_toc.h"
#include "SYSTEM/my_html/htm.h"
#include "SYSTEM/web_check_pack/web_check.h"
#include "rz_test.h"

using namespace rztest;

namespace {

using Tools = Rz;

const std::wstring kDev = L"C:\\kalmoraTessaro-dev";

std::string Bytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void Write(const std::wstring& path, const std::string& bytes) {
  std::ofstream(path.c_str(), std::ios::binary) << bytes;
}
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = f.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (f.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) RemoveDirectoryW(path.c_str());
      else if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
      else DeleteFileW(path.c_str());
    } while (FindNextFileW(h, &f));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}
void MakeDirs(std::initializer_list<std::wstring> dirs) {
  for (const std::wstring& d : dirs) CreateDirectoryW(d.c_str(), nullptr);
}

TEST_F(Tools, SourceLineCopier) {
  RemoveTree(kDev);
  const std::wstring source = compilation_build::sourceFile;
  const std::wstring copy = source + L"_dummy";
  compilation_build::increment();  // no source: nothing, silently
  EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);

  MakeDirs({kDev, kDev + L"\\app"});
  Write(source, "first\r\nsecond \xE9\r\nthird");
  compilation_build::increment();
  EXPECT_EQ(Bytes(copy), "first\r\nsecond \xE9\r\nthird\r\n");
  EXPECT_EQ(Entries().size(), 0u);  // the reads past the end were handled

  std::string hundred, ninety;
  for (int i = 1; i <= 100; ++i) {
    const std::string line = "line " + std::to_string(i) + (i % 7 ? "" : "  \t%");
    hundred += line + "\r\n";
    if (i <= 90) ninety += line + "\r\n";
  }
  Write(source, hundred);
  compilation_build::increment();
  EXPECT_EQ(Bytes(copy), ninety);
  RemoveTree(kDev);
}

TEST_F(Tools, ManualTableOfContents) {
  const std::wstring root = L"C:\\kalmoraTessaro-dev\\manual";
  RemoveTree(kDev);
  MakeDirs({kDev, root, root + L"\\intro_files", root + L"\\intro_files\\qq_more",
            root + L"\\intro_files\\xx", root + L"\\misc"});
  for (const wchar_t* f : {L"\\intro.html", L"\\guide.htm", L"\\notes.txt", L"\\intro_files\\qq.html",
                           L"\\intro_files\\skip.htm", L"\\intro_files\\qq_more\\rr.HTML",
                           L"\\intro_files\\xx\\yy.html", L"\\misc\\zz.html"})
    Write(root + f, "<p>page</p>");
  html_toc::create_toc(root.c_str(), L"toc.html");
  const std::string expected =
      "\r\n\r\n\r\n<HTML>\r\n<HEAD>\r\n<TITLE>\r\nkalmora6 Table of Contents\r\n</TITLE>\r\n\r\n"
      "</HEAD>\r\n<BODY>\r\n"
      "<a href=\"intro.html\">intro</a>\r\n<br>\r\n"
      "<a href=\"intro_files\\qq.html\">intro &gt; qq</a>\r\n<br>\r\n"
      "<a href=\"intro_files\\qq_more\\rr.HTML\">intro &gt; qq &gt; rr</a>\r\n<br>\r\n"
      "</BODY>\r\n</HTML>\r\n";
  const std::string page = Bytes(root + L"\\toc.html");
  EXPECT_EQ(page, expected);
  CreateDirectoryW(L"rz_pages", nullptr);
  Write(L"rz_pages\\toc.html", page);

  // A folder without pages: the title and no links.
  MakeDirs({root + L"\\empty"});
  html_toc::create_toc((root + L"\\empty").c_str(), L"t.html");
  const std::string none = Bytes(root + L"\\empty\\t.html");
  EXPECT_NE(none.find("kalmora6 Table of Contents"), std::string::npos);
  EXPECT_EQ(none.find("<a "), std::string::npos);
  RemoveTree(kDev);
}

// The Unix name of a Windows path (Wine's own function).
std::wstring UnixName(const std::wstring& path) {
  using Convert = char* (*)(const wchar_t*);
  auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const char* name = convert ? convert(path.c_str()) : nullptr;
  std::wstring w;
  for (const char* c = name ? name : ""; *c; ++c) w += static_cast<wchar_t>(*c);
  return w;
}

// Runs a shell command on the host (a Unix program that Wine starts) and
// waits until the file `done` exists.
bool Host(const std::wstring& command, const std::wstring& done) {
  std::wstring line = L"/bin/sh -c \"" + command + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  for (int waited = 0; waited < 600; ++waited, Sleep(50))
    if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

TEST_F(Tools, TableOfContentsThroughALinkLoop) {
  // intro_files\qq_loop leads back to the manual folder: the walk goes in
  // once more under the link's name would be endless, so it stops there.
  const std::wstring root = L"C:\\kalmoraTessaro-dev\\manual";
  RemoveTree(kDev);
  MakeDirs({kDev, root, root + L"\\intro_files"});
  Write(root + L"\\intro.html", "");
  Write(root + L"\\intro_files\\qq.html", "");
  ASSERT_TRUE(Host(L"ln -s .. " + UnixName(root + L"\\intro_files") + L"/qq_loop",
                   root + L"\\intro_files\\qq_loop"));
  html_toc::create_toc(root.c_str(), L"toc.txt");
  const std::string page = Bytes(root + L"\\toc.txt");
  EXPECT_NE(page.find(">intro &gt; qq</a>"), std::string::npos) << page;
  size_t links = 0;
  for (size_t at = 0; (at = page.find("<a href", at)) != std::string::npos; ++at) ++links;
  EXPECT_EQ(links, 2u) << page;
  // The link goes first, so that the removal of the tree does not follow it.
  EXPECT_TRUE(Host(L"rm " + UnixName(root + L"\\intro_files") + L"/qq_loop && touch " +
                       UnixName(root) + L"/unlinked",
                   root + L"\\unlinked"));
  RemoveTree(kDev);
}

TEST_F(Tools, TableOfContentsOfTenThousandPages) {
  const std::wstring root = L"C:\\kalmoraTessaro-dev\\manual";
  RemoveTree(kDev);
  MakeDirs({kDev, root, root + L"\\p1_files"});
  Write(root + L"\\p1_files\\inner.html", "");
  ASSERT_TRUE(Host(L"cd " + UnixName(root) +
                       L" && seq -f p%g.html 0 9999 | xargs touch && touch made.txt",
                   root + L"\\made.txt"));
  const DWORD started = GetTickCount();
  html_toc::create_toc(root.c_str(), L"toc.txt");
  const DWORD took = GetTickCount() - started;
  const std::string page = Bytes(root + L"\\toc.txt");
  size_t links = 0;
  for (size_t at = 0; (at = page.find("<a href", at)) != std::string::npos; ++at) ++links;
  // Every page, and the inner page once for each page whose name the
  // folder's path holds (p1, p1x...: "p1_files" holds only "p1").
  EXPECT_EQ(links, 10001u);
  EXPECT_LT(took, 30000u);
  printf("table of contents of 10,000 pages: %lu ms\n", static_cast<unsigned long>(took));
  RemoveTree(kDev);
}

TEST_F(Tools, WebCheckIsAlwaysOnline) {
  EXPECT_EQ(web_check::check_on_web(L"", L"x"), web_state::online);
}

}  // namespace
