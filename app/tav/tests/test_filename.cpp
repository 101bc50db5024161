// fileName: tables of paths taken apart and put together, the relative
// forms of setpath and reduce, and texts without any part (empty, a lone
// separator, a bare drive, a server name, a very long name).
#include "fileSystem/fileName.h"
#include "tav_test.h"

using namespace tavtest;

namespace {

class FileName : public Library {};

TEST_F(FileName, TakesPathsApart) {
  struct {
    const wchar_t *full, *path, *rest, *name, *ext, *noExt;
  } cases[] = {
      {L"C:\\dir\\a.b.c", L"C:\\dir\\", L"a.b.c", L"a.b", L"c", L"C:\\dir\\a.b"},
      {L"C:file.txt", L"C:", L"file.txt", L"file", L"txt", L"C:file"},
      {L"file.txt", L"", L"file.txt", L"file", L"txt", L"file"},
      {L"C:/a\\b/c.txt", L"C:/a\\b/", L"c.txt", L"c", L"txt", L"C:/a\\b/c"},
      {L"d\\file.", L"d\\", L"file.", L"file", L"", L"d\\file"},
      {L".profile", L"", L".profile", L"", L"profile", L""},
      {L"a.dir\\name", L"a.dir\\", L"name", L"name", L"", L"a.dir\\name"},
      {L"", L"", L"", L"", L"", L""},
      {L"\\", L"\\", L"", L"", L"", L"\\"},
      {L"\\\\srv", L"\\\\", L"srv", L"srv", L"", L"\\\\srv"},
      {L"C:", L"C:", L"", L"", L"", L"C:"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(Narrow(c.full));
    const wchar_t* rest = nullptr;
    EXPECT_STREQ(fileName::getpath(c.full, &rest), c.path);
    EXPECT_STREQ(rest, c.rest);
    EXPECT_STREQ(fileName::getpath(c.full), c.path);
    EXPECT_STREQ(fileName::getname(c.full), c.name);
    const wchar_t* noExt = nullptr;
    EXPECT_STREQ(fileName::getextension(c.full, &noExt), c.ext);
    EXPECT_STREQ(noExt, c.noExt);
    EXPECT_STREQ(fileName::getextension(c.full), c.ext);
  }
}

TEST_F(FileName, SetsNameAndExtension) {
  EXPECT_STREQ(fileName::setextension(L"x.txt", L""), L"x");
  EXPECT_STREQ(fileName::setextension(L"C:\\d\\x", L"log"), L"C:\\d\\x.log");
  EXPECT_STREQ(fileName::setextension(L"a.b.c", L"d"), L"a.b.d");
  EXPECT_STREQ(fileName::setname(L"d\\x.txt", L"y"), L"d\\y.txt");
  EXPECT_STREQ(fileName::setname(L"d\\x", L"y"), L"d\\y");
  EXPECT_STREQ(fileName::setname(L"C:", L"y"), L"C:y");
}

TEST_F(FileName, SetPath) {
  struct {
    const wchar_t *full, *newPath, *result;
  } cases[] = {
      {L"..\\..\\x\\f.txt", L"C:\\a\\b\\c", L"C:\\a\\x\\f.txt"},
      {L"sub\\f.txt", L"C:\\a", L"C:\\a\\f.txt"},
      {L"C:\\old\\f.txt", L"", L"f.txt"},
      {L"C:\\old\\f.txt", L"D:\\new/", L"D:\\new/f.txt"},
      {L"..\\f.txt", L"C:\\a\\", L"C:\\f.txt"},
      // Climbing past the root of an absolute path stops at the root.
      {L"..\\..\\..\\..\\f.txt", L"C:\\a", L"C:\\f.txt"},
      {L"..\\..\\..\\f.txt", L"\\\\srv\\share\\d", L"\\\\srv\\share\\f.txt"},
      // A relative new path keeps the climbs it cannot take.
      {L"..\\..\\..\\f.txt", L"a\\b", L"..\\f.txt"},
      // Only the backslash form climbs.
      {L"../f.txt", L"C:\\a", L"C:\\a\\f.txt"},
      {L"f.txt", L"C:\\a", L"C:\\a\\f.txt"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(Narrow(std::wstring(c.full) + L" into " + c.newPath));
    EXPECT_STREQ(fileName::setpath(c.full, c.newPath), c.result);
  }
}

TEST_F(FileName, Reduce) {
  struct {
    const wchar_t *full, *base, *result;
  } cases[] = {
      {L"C:\\a\\b\\f.txt", L"C:\\a", L"b\\f.txt"},
      {L"C:\\A\\f.txt", L"c:\\a\\b", L"..\\f.txt"},
      {L"D:\\x\\f.txt", L"C:\\a", L"D:\\x\\f.txt"},  // longer relative form
      {L"f.txt", L"C:\\a", L"f.txt"},
      {L"C:\\a\\f.txt", L"", L"C:\\a\\f.txt"},
      {L"C:\\a\\f.txt", L"C:\\a\\", L"f.txt"},
      {L"C:\\a\\b\\c\\d\\f.txt", L"C:\\a\\x", L"..\\b\\c\\d\\f.txt"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(Narrow(std::wstring(c.full) + L" against " + c.base));
    EXPECT_STREQ(fileName::reduce(c.full, c.base), c.result);
  }
}

TEST_F(FileName, FirstDirectory) {
  struct {
    const wchar_t *path, *first, *rest;
  } cases[] = {
      {L"\\\\srv\\share\\d", L"\\\\srv\\", L"share\\d"},
      {L"\\\\srv", L"\\\\srv", L""},
      {L"C:\\a\\b", L"C:\\", L"a\\b"},
      {L"a/b", L"a/b", L""},
      {L"\\", L"\\", L""},
      {L"", L"", L""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(Narrow(c.path));
    const wchar_t *first = nullptr, *rest = nullptr;
    fileName::getfirstdirectory(c.path, &first, &rest);
    EXPECT_STREQ(first, c.first);
    EXPECT_STREQ(rest, c.rest);
  }
}

TEST_F(FileName, LongNames) {
  std::wstring dir = L"C:";
  const int n = 5000;
  for (int i = 0; i < n; ++i) dir += L"\\segment";
  std::wstring full = dir + L"\\name.ext";
  EXPECT_GT(full.size(), 40000u);
  EXPECT_EQ(std::wstring(fileName::getpath(full.c_str())), dir + L"\\");
  EXPECT_STREQ(fileName::getextension(full.c_str()), L"ext");
  std::wstring up;
  for (int i = 0; i < n - 1; ++i) up += L"..\\";
  EXPECT_STREQ(fileName::setpath((up + L"f").c_str(), dir.c_str()), L"C:\\segment\\f");
  std::wstring below;
  for (int i = 0; i < n - 1; ++i) below += L"segment\\";
  EXPECT_EQ(std::wstring(fileName::reduce(full.c_str(), L"C:\\segment")), below + L"name.ext");
}

}  // namespace
