// File streams against real files in a per-test folder: the bytes written in
// each mode (signature, CR LF, code pages), reading back across buffer
// boundaries with positions equal to byte offsets, odd and truncated input,
// devices that refuse writes, and a stream collected unclosed.
#include <windows.h>

#include <string>

#include "fileSystem/fileStream.h"
#include "stream/stream_exception.h"
#include "string/string.h"
#include "string8/string8.h"
#include "fs_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;
namespace Tm = Qel::RunTime::Terms;

namespace {

class FileStreams : public TempFolder {
 protected:
  std::wstring File(const wchar_t* name) { return F(name); }
};

std::string Utf16(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size());
}
std::string Hex(const std::string& s) {
  std::string out;
  char b[4];
  for (unsigned char c : s) {
    snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  return out;
}

void Write(outputStream* s, const wchar_t* text) {
  Tm::TEllipsisArgs<1> a;
  a.SetTerm(0, D(domains::string), text);
  s->write(a);
}

// The error's native-call code and function name, or the descriptor's name.
std::wstring ErrorOf(uint32_t id, uint32_t* code = nullptr) {
  const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::nativecallexception);
  if (!e) {
    std::vector<const TraceEntry*> all = Entries();
    return all.empty() ? L"<none>" : all[0]->exception->name;
  }
  if (code) *code = Unsigned(exception::trygetextrainfo(e, L"Error code"));
  return Extra(e, L"API function name");
}

TEST_F(FileStreams, BytesWrittenInEachMode) {
  std::wstring u = File(L"u.txt"), e = File(L"e.txt"), a = File(L"a.txt"), b = File(L"b.bin");
  outputStream_file* s = outputStream_file::create(u.c_str());
  EXPECT_EQ(s->getposition(), 0u);
  Write(s, L"a\nb");
  s->close();
  EXPECT_EQ(Hex(Bytes(u)), "FF FE 61 00 0D 00 0A 00 62 00 ");

  outputStream_file::create(e.c_str())->close();
  EXPECT_EQ(Hex(Bytes(e)), "FF FE ");
  outputStream_file::create8(e.c_str())->close();
  EXPECT_EQ(Bytes(e), "");

  s = outputStream_file::create(a.c_str(), 0, accesspermit::permitread, Mode::Ansi(1252));
  Write(s, L"\u00e9\u20ac\nx");
  EXPECT_EQ(s->getposition(), 5u);  // converted and written before it is told
  EXPECT_EQ(Bytes(a), "\xe9\x80\r\nx");
  Write(s, L"y");
  s->close();
  EXPECT_EQ(Bytes(a), "\xe9\x80\r\nxy");

  s = outputStream_file::create(b.c_str(), 0, accesspermit::permitread, Mode::Binary());
  s->writebytes("x\ny", 3);
  EXPECT_FALSE(s->getcrlfconversion());
  uint32_t id = RunTrapped([&] { s->setcrlfconversion(true); });
  EXPECT_NE(exception::trygetdescriptor(id, &stream_exception::wrongmode), nullptr);
  s->close();
  EXPECT_EQ(Bytes(b), "x\ny");
  // Closed: the handle fact has no value.
  id = RunTrapped([&] { s->close(); });
  EXPECT_EQ(RunTimeCode(id), 329u);
}

// A binary block of a buffer or more is written at once, after the bytes
// the buffer holds and before later ones; positions count it.
TEST_F(FileStreams, LargeBinaryBlocksKeepTheirPlace) {
  std::wstring f = File(L"blocks.bin");
  outputStream_file* s = outputStream_file::create(f.c_str(), 0, accesspermit::permitread, Mode::Binary());
  const uint32_t big = outputStream_file::kBufferBytes;
  std::string block(big + 1, 'b');
  s->writebytes("ab", 2);
  s->writebytes(block.data(), big + 1);
  EXPECT_EQ(s->getposition(), big + 3u);
  s->writebytes("z", 1);
  s->writebytes(block.data(), big);
  s->close();
  EXPECT_EQ(Bytes(f), "ab" + block + "z" + block.substr(1));
}

TEST_F(FileStreams, AppendAndOpenKeepOneSignature) {
  std::wstring f = File(L"ap.txt");
  Put(f, "");
  outputStream_file* s = outputStream_file::append(f.c_str());
  Write(s, L"x");
  s->close();
  s = outputStream_file::append(f.c_str());
  Write(s, L"y");
  s->close();
  EXPECT_EQ(Hex(Bytes(f)), "FF FE 78 00 79 00 ");
  // Open overwrites after the signature.
  s = outputStream_file::openfile(f.c_str());
  EXPECT_EQ(s->getposition(), 0u);
  Write(s, L"z");
  EXPECT_EQ(s->getposition(), 2u);
  uint32_t id = RunTrapped([&] { s->setposition(3); });
  EXPECT_NE(exception::trygetdescriptor(id, &string_exception::oddoffset), nullptr);
  s->close();
  EXPECT_EQ(Hex(Bytes(f)), "FF FE 7A 00 79 00 ");
  // Append to a file without signature writes none.
  Put(f, std::string("a\0", 2));
  s = outputStream_file::append(f.c_str());
  Write(s, L"b");
  s->close();
  EXPECT_EQ(Hex(Bytes(f)), "61 00 62 00 ");
}

// Lines of varied length with CR LF after a first line of `first` z's; with
// four one pair straddles the first 8,192-byte fill of a UTF-16 file (after
// the signature).
std::vector<std::wstring> Lines(size_t first) {
  std::vector<std::wstring> lines{std::wstring(first, L'z')};
  const wchar_t* pieces[] = {L"abc", L"\u00b1t\u00a7\uff71", L"\u65e5\u672c\u8a9e", L"x"};
  for (int i = 0; i < 1400; ++i) {
    std::wstring line;
    for (int k = 0; k <= i % 9; ++k) line += pieces[(i + k) % 4];
    lines.push_back(line);
  }
  return lines;
}

// Whether a character of more than one byte straddles the end of the first
// 8-bit fill.
bool StraddlesFirstFill(const std::vector<std::wstring>& lines, uint32_t codePage) {
  size_t at = 0;
  for (const std::wstring& line : lines) {
    for (wchar_t ch : line) {
      std::wstring one(1, ch);
      size_t n = strlen(string8::mapfromstring(one.c_str(), codepage::Number(codePage)));
      if (at < inputStream_file::kAnsiBytes && at + n > inputStream_file::kAnsiBytes) return true;
      at += n;
    }
    at += 2;
  }
  return false;
}

TEST_F(FileStreams, ReadsLinesAtByteOffsets) {
  struct {
    Mode mode;
    uint32_t codePage;  // 0: UTF-16 with signature
  } cases[] = {{Mode::Unicode(), 0}, {Mode::Ansi(65001), 65001}, {Mode::Ansi(932), 932}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    // In the 8-bit files the first line moves a character across the fill's end.
    size_t first = 4;
    if (c.codePage)
      for (first = 0; first < 16 && !StraddlesFirstFill(Lines(first), c.codePage);) ++first;
    ASSERT_LT(first, 16u);
    std::vector<std::wstring> lines = Lines(first);
    std::string bytes = c.codePage ? "" : "\xff\xfe";
    std::vector<uint64_t> ends;
    for (const std::wstring& line : lines) {
      std::wstring withEnd = line + L"\r\n";
      bytes += c.codePage ? string8::mapfromstring(withEnd.c_str(), codepage::Number(c.codePage))
                          : Utf16(withEnd);
      ends.push_back(bytes.size() - (c.codePage ? 0 : 2));
    }
    std::wstring f = File(L"lines.txt");
    Put(f, bytes);
    inputStream_file* s = inputStream_file::openfile(f.c_str(), accesspermit::permitread, c.mode);
    EXPECT_EQ(s->getposition(), 0u);
    for (size_t i = 0; i < lines.size(); ++i) {
      ASSERT_FALSE(s->endofstream()) << i;
      ASSERT_EQ(std::wstring(s->readline()), lines[i]) << i;
      ASSERT_EQ(s->getposition(), ends[i]) << i;
    }
    EXPECT_TRUE(s->endofstream());
    // Back to a line's start.
    s->setposition(ends[99]);
    EXPECT_EQ(std::wstring(s->readline()), lines[100]);
    s->close();
  }
}

// Text of mostly 7-bit characters with every kind of line end, and CRs
// placed at the borders of the 8-bit fills, where UTF-16 fills end too: a
// pair across one, a lone CR before one, a CR CR LF across one, a lone CR at
// the very end.  Each readline and position agrees with a plain reading of
// the characters, as UTF-16, as 1252 and as UTF-8 (7-bit lines are widened
// without the system; a line with an accented letter goes through it).
TEST_F(FileStreams, LineEndsAtTheBordersOfFills) {
  uint32_t seed = 99;
  auto next = [&] { return (seed = seed * 1103515245 + 12345) >> 16; };
  const size_t fill = inputStream_file::kAnsiBytes;
  static_assert(inputStream_file::kAnsiBytes % (inputStream_file::kBufferBytes / 2) == 0);
  std::wstring text;
  while (text.size() < 3 * fill + fill / 2) {
    text += std::wstring(next() % 90, L'a' + next() % 26);
    const wchar_t* ends[] = {L"\r\n", L"\n", L"\r"};
    text += ends[next() % 3];
  }
  auto put = [&](size_t at, const wchar_t* chars) {
    for (size_t i = 0; chars[i]; ++i) text[at + i] = chars[i];
  };
  put(fill - 1, L"\r\n");
  put(2 * fill - 1, L"\rx");
  put(3 * fill - 2, L"\r\r\n");
  put(2 * fill + fill / 2, L"\u00e9");
  text.resize(3 * fill + fill / 2 - 1);
  text += L"\r";
  struct {
    Mode mode;
    uint32_t codePage;  // 0: UTF-16 with signature
  } cases[] = {{Mode::Unicode(), 0}, {Mode::Ansi(1252), 1252}, {Mode::Ansi(65001), 65001}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    std::string bytes = c.codePage ? "" : "\xff\xfe";
    std::vector<uint64_t> at{0};  // byte offset of each character (and of the end)
    for (wchar_t ch : text) {
      std::wstring one(1, ch);
      bytes += c.codePage ? string8::mapfromstring(one.c_str(), codepage::Number(c.codePage))
                          : Utf16(one);
      at.push_back(bytes.size() - (c.codePage ? 0 : 2));
    }
    std::wstring f = File(L"borders.txt");
    Put(f, bytes);
    inputStream_file* s = inputStream_file::openfile(f.c_str(), accesspermit::permitread, c.mode);
    size_t i = 0, lines = 0;
    while (i < text.size()) {
      size_t end = text.find_first_of(L"\r\n", i);
      if (end == std::wstring::npos) end = text.size();
      size_t after = end + (end < text.size()) +
                     (end + 1 < text.size() && text[end] == L'\r' && text[end + 1] == L'\n');
      ASSERT_FALSE(s->endofstream()) << i;
      ASSERT_EQ(std::wstring(s->readline()), text.substr(i, end - i)) << i;
      ASSERT_EQ(s->getposition(), at[after]) << i;
      i = after;
      ++lines;
    }
    EXPECT_TRUE(s->endofstream());
    EXPECT_GT(lines, 500u);
    s->close();
    if (!c.codePage) continue;
    // The CR that ends the first fill waits; the next fill starts with the
    // LF that stands for both, so before it the position is the CR's.
    uint32_t units = 0;
    for (size_t k = 0; k < fill - 1; ++k) units += !(text[k] == L'\r' && text[k + 1] == L'\n');
    s = inputStream_file::openfile(f.c_str(), accesspermit::permitread, c.mode);
    s->readstring(units);
    EXPECT_FALSE(s->endofstream());
    EXPECT_EQ(s->getposition(), at[fill - 1]);
    EXPECT_EQ(s->readchar(), L'\n');
    EXPECT_EQ(s->getposition(), at[fill + 1]);
    s->ungetchar();
    EXPECT_EQ(s->getposition(), at[fill - 1]);
    s->close();
  }
}

// Reads the file twice in `mode`: its characters one by one, cut into lines
// at each LF, CR or zero unit, then its lines with readline.  Both give the
// same lines and the same positions after them, and after a readline the
// unit that ended the line is read again where the characters had it.  The
// file ends with a line end.
void ExpectLinesAsCharacters(const std::wstring& f, Mode mode, bool crlf, size_t* count) {
  struct Line {
    std::wstring text;
    wchar_t end = 0;
    uint64_t before = 0, after = 0;  // positions around the end
  };
  std::vector<Line> lines;
  inputStream_file* s = inputStream_file::openfile(f.c_str(), accesspermit::permitread, mode);
  s->setcrlfconversion(crlf);
  Line line;
  while (!s->endofstream()) {
    wchar_t ch = s->readchar();
    if (ch != 0 && ch != L'\n' && ch != L'\r') {
      line.text += ch;
      continue;
    }
    line.end = ch;
    line.after = s->getposition();
    s->ungetchar();
    line.before = s->getposition();
    s->readchar();
    lines.push_back(line);
    line = Line();
  }
  s->close();
  ASSERT_EQ(line.text, L"");
  *count = lines.size();
  s = inputStream_file::openfile(f.c_str(), accesspermit::permitread, mode);
  s->setcrlfconversion(crlf);
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_FALSE(s->endofstream()) << i;
    ASSERT_EQ(std::wstring(s->readline()), lines[i].text) << i;
    ASSERT_EQ(s->getposition(), lines[i].after) << i;
    if (i % 3 == 0) {
      s->ungetchar();
      ASSERT_EQ(s->getposition(), lines[i].before) << i;
      ASSERT_EQ(s->readchar(), lines[i].end) << i;
    }
  }
  EXPECT_TRUE(s->endofstream());
  s->close();
}

// 8-bit text of 7-bit lines with every kind of end and a few lines with
// characters of more than one byte, around the ends of fills: a CR LF pair
// across the first, a character across the second (in 1252 a one-byte one
// ends it), a lone CR that ends the third, a lone CR at the very end.
TEST_F(FileStreams, LinesAgreeWithCharactersAtTheEndsOfFills) {
  const size_t fill = inputStream_file::kAnsiBytes;
  struct {
    uint32_t codePage;
    std::string wide;  // one character
  } cases[] = {{1252, "\xe9"}, {932, "\x93\xfa"}, {65001, "\xe6\x97\xa5"}};
  for (auto& c : cases) {
    std::string bytes;
    auto sevenBit = [&](size_t until) {
      for (int i = 0; bytes.size() < until; ++i)
        bytes += std::string(i % 37, static_cast<char>('a' + i % 26)) +
                 (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
      bytes.resize(until);
    };
    sevenBit(fill - 1);
    bytes += "\r\n";
    bytes += c.wide + "x" + c.wide + "\r\n" + c.wide + "\n";
    sevenBit(2 * fill - 1);
    bytes += c.wide + "\r\n";
    // The second fill carries the character's first byte to the third.
    size_t third = 3 * fill - (c.wide.size() > 1);
    sevenBit(third - 1);
    bytes += "\rx\r\n";
    sevenBit(third + fill / 2);
    bytes += "\r";
    std::wstring f = File(L"agree.txt");
    Put(f, bytes);
    for (bool crlf : {true, false}) {
      SCOPED_TRACE(testing::Message() << c.codePage << (crlf ? " crlf" : ""));
      size_t count = 0;
      ExpectLinesAsCharacters(f, Mode::Ansi(c.codePage), crlf, &count);
      EXPECT_GT(count, 1000u);
    }
  }
}

// Invalid bytes right before a line end, in the first line of a file: the
// system joins a lead byte to the LF or CR after it (932), not to a zero;
// truncated or invalid UTF-8 ends before the LF.  The lines that reading the
// characters gives: three each.
TEST_F(FileStreams, InvalidBytesBeforeLineEnds) {
  struct {
    uint32_t codePage;
    std::string first;
  } cases[] = {{932, "a\x82\nb\r\n"},         {932, "e\x82\r\n"},
               {932, std::string("c\x82\0", 3)}, {65001, "a\xe3\x81\n"},
               {65001, "\xf0\x9f\n"},         {65001, "\xff\r\n"},
               {1252, "\x81\x8d\x8f\x90\x9d\n"}};
  std::wstring f = File(L"invalid.txt");
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " " << Hex(c.first));
    Put(f, c.first + "next\r\nlast\r\n");
    size_t count = 0;
    ExpectLinesAsCharacters(f, Mode::Ansi(c.codePage), true, &count);
    EXPECT_EQ(count, 3u);
    ExpectLinesAsCharacters(f, Mode::Ansi(c.codePage), false, &count);
  }
}

// readline mixed with the other reads, positions and setposition, over a
// line that crosses the end of the first fill, in each kind of code page:
// the reads after a line go on in the bytes that the line left (7-bit up to
// that line's end).
TEST_F(FileStreams, ReadlineMixedWithOtherReads) {
  struct {
    uint32_t codePage;
    const wchar_t* wide;
  } cases[] = {{1252, L"\u00e9"}, {932, L"\u65e5"}, {65001, L"\u65e5"}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    std::vector<std::wstring> lines{L"first",
                                    L"second",
                                    std::wstring(inputStream_file::kAnsiBytes, L'a'),
                                    std::wstring(c.wide) + L"tail",
                                    std::wstring(L"s") + c.wide + L"cond",
                                    L"last"};
    std::string bytes;
    std::vector<uint64_t> ends;
    for (size_t i = 0; i < lines.size(); ++i) {
      std::wstring line = lines[i] + (i + 1 < lines.size() ? L"\r\n" : L"");
      bytes += string8::mapfromstring(line.c_str(), codepage::Number(c.codePage));
      ends.push_back(bytes.size());
    }
    std::wstring f = File(L"mixed.txt");
    Put(f, bytes);
    inputStream_file* s = inputStream_file::openfile(f.c_str(), accesspermit::permitread,
                                                     Mode::Ansi(c.codePage));
    EXPECT_EQ(std::wstring(s->readline()), lines[0]);
    EXPECT_EQ(s->getposition(), ends[0]);
    s->ungetchar();  // the LF, its CR with it
    EXPECT_EQ(s->getposition(), ends[0] - 2);
    EXPECT_EQ(s->readchar(), L'\n');
    EXPECT_EQ(s->getposition(), ends[0]);
    EXPECT_EQ(s->readchar(), L's');
    EXPECT_EQ(std::wstring(s->readline()), lines[1].substr(1));
    EXPECT_EQ(s->getposition(), ends[1]);
    EXPECT_EQ(std::wstring(s->readstring(3)), L"aaa");
    EXPECT_EQ(s->getposition(), ends[1] + 3);
    EXPECT_EQ(std::wstring(s->readline()), lines[2].substr(3));
    EXPECT_EQ(s->getposition(), ends[2]);
    s->setposition(ends[0]);
    for (size_t i = 1; i < lines.size(); ++i) {
      EXPECT_FALSE(s->endofstream()) << i;
      if (i == 4) {
        EXPECT_EQ(s->readchar(), L's');  // the rest of the bytes converted
      }
      EXPECT_EQ(std::wstring(s->readline()), lines[i].substr(i == 4)) << i;
      EXPECT_EQ(s->getposition(), ends[i]) << i;
    }
    EXPECT_TRUE(s->endofstream());
    s->ungetchar();  // the last line has no end: its last character
    EXPECT_EQ(s->readchar(), L't');
    uint32_t id = RunTrapped([&] { s->readline(); });
    EXPECT_EQ(RunTimeCode(id), 319u);
    EXPECT_EQ(s->getposition(), ends.back());
    s->close();
  }
}

// In UTF-7 a 7-bit byte may be part of a longer character: its lines come
// from the converted text.
TEST_F(FileStreams, LinesOfUtf7) {
  std::wstring f = File(L"utf7lines.txt");
  Put(f, string8::mapfromstring(L"\u00c0+x\r\nline\u00c0\nlast", codepage::Number(65000)));
  inputStream_file* s = inputStream_file::openfile(f.c_str(), accesspermit::permitread,
                                                   Mode::Ansi(65000));
  EXPECT_EQ(std::wstring(s->readline()), L"\u00c0+x");
  EXPECT_EQ(std::wstring(s->readline()), L"line\u00c0");
  EXPECT_EQ(std::wstring(s->readline()), L"last");
  EXPECT_TRUE(s->endofstream());
  s->close();
}

TEST_F(FileStreams, CrLfAcrossTheFirstFill) {
  // The CR is the last unit of the first 8,192 bytes after the signature.
  std::wstring text(4095, L'a');
  text += L"\r\nb";
  std::wstring f = File(L"cr.txt");
  Put(f, "\xff\xfe" + Utf16(text));
  inputStream_file* s = inputStream_file::openfile(f.c_str());
  EXPECT_EQ(std::wstring(s->readline()), std::wstring(4095, L'a'));
  EXPECT_EQ(s->getposition(), 8194u);
  EXPECT_EQ(s->readchar(), L'b');
  EXPECT_TRUE(s->endofstream());
  s->close();
}

TEST_F(FileStreams, EdgesOfInput) {
  std::wstring f = File(L"edge.txt");
  // A final lone CR is delivered; the stream does not end before it.
  Put(f, "\xff\xfe" + Utf16(L"ab\r"));
  inputStream_file* s = inputStream_file::openfile(f.c_str());
  EXPECT_EQ(s->readchar(), L'a');
  EXPECT_EQ(s->readchar(), L'b');
  EXPECT_FALSE(s->endofstream());
  EXPECT_EQ(s->getposition(), 4u);
  EXPECT_EQ(s->readchar(), L'\r');
  EXPECT_TRUE(s->endofstream());
  EXPECT_EQ(s->getposition(), 6u);
  uint32_t id = RunTrapped([&] { s->setposition(8); });
  EXPECT_NE(exception::trygetdescriptor(id, &stream_exception::endofstream), nullptr);
  id = RunTrapped([&] { s->setposition(1); });
  EXPECT_NE(exception::trygetdescriptor(id, &string_exception::oddoffset), nullptr);
  s->close();

  // A bare signature is an empty stream; no signature reads from byte 0.
  Put(f, "\xff\xfe");
  s = inputStream_file::openfile(f.c_str());
  EXPECT_TRUE(s->endofstream());
  EXPECT_EQ(s->getposition(), 0u);
  s->close();
  Put(f, Utf16(L"q"));
  s = inputStream_file::openfile(f.c_str());
  EXPECT_EQ(s->readchar(), L'q');
  s->close();
  Put(f, "");
  s = inputStream_file::openfile8(f.c_str());
  EXPECT_TRUE(s->endofstream());
  s->close();

  // An odd last byte of a UTF-16 file is no character: the line ends before it.
  Put(f, "\xff\xfe" + Utf16(L"ab") + "c");
  s = inputStream_file::openfile(f.c_str());
  EXPECT_EQ(std::wstring(s->readline()), L"ab");
  EXPECT_TRUE(s->endofstream());
  s->close();

  // Invalid UTF-8 bytes come through as replacement characters.
  Put(f, "a\xff" "b\r\n");
  s = inputStream_file::openfile(f.c_str(), accesspermit::permitread, Mode::Ansi(65001));
  std::wstring line = s->readline();
  EXPECT_EQ(line.size(), 3u);
  EXPECT_EQ(line[0], L'a');
  EXPECT_EQ(line[2], L'b');
  EXPECT_TRUE(s->endofstream());
  s->close();

  // Binary streams refuse the CR/LF switch.
  s = inputStream_file::openfile(f.c_str(), accesspermit::permitread, Mode::Binary());
  EXPECT_FALSE(s->getcrlfconversion());
  id = RunTrapped([&] { s->setcrlfconversion(true); });
  EXPECT_NE(exception::trygetdescriptor(id, &stream_exception::wrongmode), nullptr);
  s->close();
  id = RunTrapped([&] { s->readchar(); });
  EXPECT_EQ(RunTimeCode(id), 329u);
}

TEST_F(FileStreams, BinaryAroundTheBufferSize) {
  std::wstring f = File(L"bin.dat");
  for (uint32_t size : {0u, 1u, 8191u, 8192u, 8193u, 70000u}) {
    SCOPED_TRACE(size);
    std::string bytes(size, 0);
    for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    Put(f, bytes);
    inputStream_file* s = inputStream_file::openfile(f.c_str(), accesspermit::permitread,
                                                     Mode::Binary());
    std::string got;
    if (size > 5) {
      const uint8_t* part = s->readbytes(5);
      got.append(reinterpret_cast<const char*>(part), 5);
      EXPECT_EQ(s->getposition(), 5u);
    }
    const uint8_t* rest = s->readbytes(size > 5 ? size - 5 : size);
    uint32_t restSize;
    memcpy(&restSize, rest - 4, 4);
    got.append(reinterpret_cast<const char*>(rest), restSize - 4);
    EXPECT_EQ(got, bytes);
    EXPECT_TRUE(s->endofstream());
    EXPECT_EQ(s->getposition(), size);
    s->close();
  }
}

TEST_F(FileStreams, SurrogatePairAcrossAnsiBuffers) {
  std::wstring f = File(L"sp.txt");
  // 4,095 units, then a pair whose high half ends the first 8,192-byte buffer.
  std::wstring text(4095, L'a');
  text += L"\U0001F600z";
  outputStream_file* s = outputStream_file::create(f.c_str(), 0, accesspermit::permitread,
                                                   Mode::Ansi(65001));
  Write(s, text.c_str());
  s->close();
  EXPECT_EQ(Bytes(f), std::string(4095, 'a') + "\xf0\x9f\x98\x80z");
}

// A code page that needs more than three bytes a unit (UTF-7 spends five
// on a lone accented letter) gets its whole conversion.
TEST_F(FileStreams, WideAnsiConversionIsWhole) {
  std::wstring f = File(L"utf7.txt");
  const wchar_t* text = L"\u00C0 \u00C0 \u00C0";
  outputStream_file* s = outputStream_file::create(f.c_str(), 0, accesspermit::permitread,
                                                   Mode::Ansi(65000));
  Write(s, text);
  s->close();
  std::string expected = string8::mapfromstring(text, codepage::Number(65000));
  EXPECT_GT(expected.size(), 3 * wcslen(text) + 1);
  EXPECT_EQ(Bytes(f), expected);
}

TEST_F(FileStreams, RefusedOpensAndWrites) {
  std::wstring f = File(L"locked.txt");
  Put(f, "x");
  HANDLE lock = CreateFileW(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  uint32_t id = RunTrapped([&] { inputStream_file::openfile(f.c_str()); });
  const TraceEntry* e = exception::trygetdescriptor(id, &fileSystem_api::cannotcreate);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Error code")), 32u);
  CloseHandle(lock);
  id = RunTrapped([&] { inputStream_file::openfile((folder_ + L"\\missing").c_str()); });
  EXPECT_NE(exception::trygetdescriptor(id, &fileSystem_api::cannotcreate), nullptr);

  // A device that takes nothing.
  outputStream_file* s = outputStream_file::openfile(L"Z:\\dev\\full", accesspermit::permitreadwrite,
                                                     Mode::Binary());
  std::string block(10000, 'x');
  id = RunTrapped([&] { s->writebytes(block.data(), static_cast<uint32_t>(block.size())); });
  uint32_t code = 0;
  EXPECT_EQ(ErrorOf(id, &code), L"WriteFile");
  EXPECT_EQ(code, 112u);
  // A block smaller than the buffer waits in it: closing writes it and fails.
  ASSERT_EQ(RunTrapped([&] { s->writebytes(block.data(), 100); }), 0u);
  id = RunTrapped([&] { s->close(); });
  EXPECT_EQ(ErrorOf(id), L"WriteFile");
}

TEST_F(FileStreams, SharingOfOpenStreams) {
  std::wstring f = File(L"shared.txt");
  struct {
    accesspermit share;
    bool readOk, writeOk;
  } cases[] = {{accesspermit::permitread, true, false},
               {accesspermit::permitwrite, false, true},
               {accesspermit::permitreadwrite, true, true},
               {accesspermit::permitnone, false, false}};
  for (auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.share));
    outputStream_file* s = outputStream_file::create(f.c_str(), 0, c.share, Mode::Unicode());
    for (DWORD access : {DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}}) {
      HANDLE h = CreateFileW(f.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
      EXPECT_EQ(h != INVALID_HANDLE_VALUE, access == GENERIC_READ ? c.readOk : c.writeOk);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      else EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    s->close();
  }
  // A reader that lets others only read keeps a writer out, and is kept out by one.
  inputStream_file* in = inputStream_file::openfile(f.c_str());
  uint32_t id = RunTrapped([&] { outputStream_file::append(f.c_str()); });
  EXPECT_NE(exception::trygetdescriptor(id, &fileSystem_api::cannotcreate), nullptr);
  in->close();
}

// --- Fresh processes -----------------------------------------------------

// What the streams write, read by another process through its own streams:
// each line with the position after it, and readstring's choice of encoding.
TEST_F(FileStreams, FreshProcessReadsWhatStreamsWrote) {
  const std::wstring latin[] = {L"first", L"caf\u00e9 \u00df\u00fc", L"", std::wstring(5000, L'x'),
                                L"last \u00e9"};
  const std::wstring japanese[] = {L"\u65e5\u672c\u8a9e", L"", std::wstring(3000, L'\u3042'),
                                   L"a\uff71b"};
  const std::wstring all[] = {L"\u00e9\u65e5", L"\U0001F600 pair", std::wstring(4097, L'y'), L""};
  struct {
    const wchar_t* mode;
    Mode m;
    uint32_t codePage;  // 0: UTF-16 with signature
    const std::wstring* lines;
    size_t count;
  } cases[] = {{L"unicode", Mode::Unicode(), 0, all, 4},
               {L"1252", Mode::Ansi(1252), 1252, latin, 5},
               {L"932", Mode::Ansi(932), 932, japanese, 4},
               {L"65001", Mode::Ansi(65001), 65001, all, 4}};
  for (auto& c : cases) {
    SCOPED_TRACE(Narrow(c.mode));
    std::wstring f = File(L"fresh.txt");
    outputStream_file* s = outputStream_file::create(f.c_str(), 0, accesspermit::permitread, c.m);
    std::string expected;
    uint64_t position = 0;
    for (size_t i = 0; i < c.count; ++i) {
      Write(s, c.lines[i].c_str());
      s->nl();
      position += c.codePage ? std::string(string8::mapfromstring(
                                               c.lines[i].c_str(), codepage::Number(c.codePage)))
                                       .size() + 2
                             : 2 * c.lines[i].size() + 4;
      expected += std::to_string(position) + "\t" + Utf8(c.lines[i]) + "\n";
    }
    s->close();
    EXPECT_EQ(RunChild("fs-read", {{L"TAV_FILE", f}, {L"TAV_MODE", c.mode}}), expected);
  }
  // readstring tells UTF-16 (signature) from the ANSI code page.
  std::wstring f = File(L"fresh.txt");
  outputStream_file* s = outputStream_file::create(f.c_str());
  Write(s, L"\u65e5\na");
  s->close();
  EXPECT_EQ(RunChild("fs-readstring", {{L"TAV_FILE", f}}), "1\t" + Utf8(L"\u65e5\na"));
  s = outputStream_file::create8(f.c_str());
  Write(s, L"caf\u00e9\nb");
  s->close();
  EXPECT_EQ(RunChild("fs-readstring", {{L"TAV_FILE", f}}), "0\t" + Utf8(L"caf\u00e9\nb"));
}

// What another process writes through its streams: the exact bytes (one
// signature after an append), and our streams read it back.
TEST_F(FileStreams, FreshProcessWritesWhatStreamsRead) {
  std::wstring f = File(L"child.txt");
  EXPECT_EQ(RunChild("fs-create", {{L"TAV_FILE", f}, {L"TAV_MODE", L"unicode"}, {L"TAV_TEXT", L"a\nb"}}),
            "written");
  EXPECT_EQ(Hex(Bytes(f)), "FF FE 61 00 0D 00 0A 00 62 00 ");
  EXPECT_EQ(RunChild("fs-append", {{L"TAV_FILE", f}, {L"TAV_MODE", L"unicode"}, {L"TAV_TEXT", L"c"}}),
            "written");
  EXPECT_EQ(Hex(Bytes(f)), "FF FE 61 00 0D 00 0A 00 62 00 63 00 ");
  inputStream_file* in = inputStream_file::openfile(f.c_str());
  EXPECT_EQ(std::wstring(in->readline()), L"a");
  EXPECT_EQ(std::wstring(in->readline()), L"bc");
  in->close();

  const std::wstring text = L"\u65e5\u672c\n" + std::wstring(5000, L'\u3042') + L"\nx";
  EXPECT_EQ(RunChild("fs-create", {{L"TAV_FILE", f}, {L"TAV_MODE", L"932"}, {L"TAV_TEXT", text}}),
            "written");
  std::wstring onDisk = L"\u65e5\u672c\r\n" + std::wstring(5000, L'\u3042') + L"\r\nx";
  EXPECT_EQ(Bytes(f), string8::mapfromstring(onDisk.c_str(), codepage::Number(932)));
  in = inputStream_file::openfile(f.c_str(), accesspermit::permitread, Mode::Ansi(932));
  EXPECT_EQ(std::wstring(in->readline()), L"\u65e5\u672c");
  EXPECT_EQ(std::wstring(in->readline()), std::wstring(5000, L'\u3042'));
  EXPECT_EQ(std::wstring(in->readline()), L"x");
  EXPECT_TRUE(in->endofstream());
  in->close();
}

// An open stream's sharing holds against another process: it reads what was
// flushed where reading is shared, and is refused (32) where it is not.
TEST_F(FileStreams, SharingBetweenProcesses) {
  std::wstring f = File(L"shared.txt");
  auto read = [&] { return RunChild("fs-read", {{L"TAV_FILE", f}, {L"TAV_MODE", L"unicode"}}); };
  auto append = [&] {
    return RunChild("fs-append", {{L"TAV_FILE", f}, {L"TAV_MODE", L"unicode"}, {L"TAV_TEXT", L"d"}});
  };
  outputStream_file* s = outputStream_file::create(f.c_str(), 0, accesspermit::permitread,
                                                   Mode::Unicode());
  Write(s, L"abc");
  s->flush();
  EXPECT_EQ(read(), "6\tabc\n");
  std::string refused = append();
  EXPECT_EQ(refused.substr(0, 6), "error ");
  EXPECT_EQ(refused.substr(refused.rfind(' ')), " 32");
  s->close();
  EXPECT_EQ(append(), "written");
  EXPECT_EQ(Hex(Bytes(f)), "FF FE 61 00 62 00 63 00 64 00 ");

  s = outputStream_file::create(f.c_str(), 0, accesspermit::permitnone, Mode::Unicode());
  std::string locked = read();
  EXPECT_EQ(locked.substr(locked.rfind(' ')), " 32");
  s->close();
}

// Writes without closing; the stream is dropped on return.
__attribute__((noinline)) void WriteAndDrop(const std::wstring& f) {
  outputStream_file* s = outputStream_file::create(f.c_str());
  Write(s, L"kept");
}

TEST_F(FileStreams, CollectedUnclosedStreamIsFlushed) {
  std::wstring f = File(L"dropped.txt");
  WriteAndDrop(f);
  Kn::Memory::FinalizeAll();
  EXPECT_EQ(Bytes(f), "\xff\xfe" + Utf16(L"kept"));
  EXPECT_TRUE(DeleteFileW(f.c_str()));  // the handle is closed
}

}  // namespace
