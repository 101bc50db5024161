// Writing argument lists to streams and strings: text forms, binary images,
// raw bytes, and the string sink.
#include "fmt_test.h"
#include "qel6run_db.h"

using namespace fmttest;
using namespace CorvaneString;

namespace {

class Write : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Activate(); }
};

TEST_F(Write, TextFormsQuotedAndPlain) {
  std::vector<IntCons> cells;
  const uint8_t* list = IntList(cells, {1, -2});
  Args args{S(L"a\"b\n"), I(5), C(L'\t'), Term(D(ints), list), R(0.25)};
  EXPECT_EQ(std::wstring(Write2StringProlog(1, 1, args)), L"\"a\\\"b\\n\"5'\\t'[1,-2]0.25");
  EXPECT_EQ(std::wstring(Write2StringProlog(0, 1, args)), L"a\"b\n5\t[1,-2]0.25");
  EXPECT_EQ(std::wstring(Write2StringProlog(0, 1, Args{})), L"");
}

TEST_F(Write, StreamEntriesWriteAcrossSmallBlocks) {
  SmallSink sink(6);
  Args args{S(L"hello"), I(-42)};
  Format::corvane_Write2OutputStream(&sink, 0, 1, args);
  Format::corvane_Write2OutputStream(&sink, 1, 1, args);
  Format::corvaneStream_Format(&sink, L"|%5d|", Args{I(7)});
  Format::corvane_formatToOutputStream_support(Args{S(L"end")}, L"%s.", &sink);
  EXPECT_EQ(sink.Text(), L"hello-42\"hello\"-42|    7|end.");
  EXPECT_GT(sink.blocks, 5u);
}

TEST_F(Write, BinaryImagesWithTheirSizeWord) {
  Args args{I(5), S(L"ab")};
  SmallSink sink(10);
  Format::corvane_write2OutputStream_support(args, 0, 0, &sink);
  std::vector<uint8_t> expected;
  for (auto [d, t] : {std::pair{D(intd), reinterpret_cast<const uint8_t*>(&args.words[4])},
                      std::pair{D(strd), reinterpret_cast<const uint8_t*>(L"ab")}}) {
    const uint8_t* image = ToBinary(d, t);
    uint32_t size;
    memcpy(&size, image - 4, 4);
    expected.insert(expected.end(), image - 4, image - 4 + size);
  }
  EXPECT_EQ(sink.Bytes(), expected);

  // The same bytes in a string; an odd count still ends in a zero unit.
  static uint8_t odd[] = {5, 0, 0, 0, 0x41};
  Args one{Term(D(bind), odd + 4)};
  SmallSink raw(64);
  Format::corvane_Write2OutputStream(&raw, 1, 0, one);
  std::vector<uint8_t> bytes = raw.Bytes();
  ASSERT_EQ(bytes.size() % 2, 1u);
  auto* s = reinterpret_cast<const uint8_t*>(Write2StringProlog(0, 0, one));
  EXPECT_EQ(std::vector<uint8_t>(s, s + bytes.size()), bytes);
  EXPECT_EQ(s[bytes.size()], 0);
  EXPECT_EQ(s[bytes.size() + 1], 0);
}

TEST_F(Write, BytesAsTheyAre) {
  SmallSink sink(4);
  const char bytes[] = "abcdefghij";
  Format::corvane_WriteBytes2OutputStream(&sink, bytes, 10);
  Format::corvane_WriteBytes2OutputStream(&sink, nullptr, 0);
  std::vector<uint8_t> got = sink.Bytes();
  EXPECT_EQ(std::string(got.begin(), got.end()), "abcdefghij");
  EXPECT_EQ(ErrorOf([&] { Format::corvane_WriteBytes2OutputStream(&sink, nullptr, 3); }), 3u);
}

TEST_F(Write, StreamToStringGivesTheConsultForm) {
  std::vector<IntCons> cells;
  EXPECT_EQ(std::wstring(StreamToString(D(ints), IntList(cells, {3, 4}))), L"[3,4]");
  EXPECT_EQ(std::wstring(StreamToString(D(strd), reinterpret_cast<const uint8_t*>(L"a\\"))),
            L"\"a\\\\\"");
  int32_t v = -7;
  EXPECT_EQ(std::wstring(StreamToString(D(intd), reinterpret_cast<const uint8_t*>(&v))), L"-7");
}

TEST_F(Write, StringSinkChunks) {
  // Nothing written: one zero unit.
  const wchar_t* empty = Format2StringProlog(L"", Args{});
  EXPECT_EQ(empty[0], 0);
  // 8,192 bytes and then 10 more: two chunks joined in writing order.
  std::wstring first(4096, L'a'), second = L"0123456789";
  std::wstring text = Format2StringProlog((first + L"%s").c_str(), Args{S(L"01234")});
  EXPECT_EQ(text, first + L"01234");
  std::wstring big = Format2StringProlog(L"%s%s", Args{S(first.c_str()), S(L"01234")});
  EXPECT_EQ(big.size(), 4101u);
  EXPECT_EQ(big.substr(4096), L"01234");
  // The chunks live on the global stack only while the string is built.
  uint8_t* before = Memory::MarkGStack();
  std::wstring huge(50000, L'q');
  EXPECT_EQ(std::wstring(Format2StringProlog(L"%s", Args{S(huge.c_str())})), huge);
  EXPECT_EQ(Memory::MarkGStack(), before);
  // An error leaves the global stack as it was.
  EXPECT_EQ(ErrorOf([&] { Format2StringProlog((huge + L"%d").c_str(), Args{}); }), 314u);
  EXPECT_EQ(Memory::MarkGStack(), before);
}

}  // namespace
