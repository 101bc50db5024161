// The shared set-up of the writer's tests: a scratch folder, the output file
// written through the library, and the expected file built from entries.
#pragma once

#include <gtest/gtest.h>

#include "fixtures.h"

namespace restest {

class ResWriter : public ::testing::Test {
 protected:
  std::wstring dir = ScratchDir();
  std::wstring out = dir + L"\\out.res";
  Terms t;

  void SetUp() override { ASSERT_EQ(QelResource::begin_resgen(out.c_str(), L""), 1); }
  void TearDown() override {
    QelResource::end_resgen();
    RemoveScratch(dir);
  }

  std::wstring Source(const std::wstring& name, const Bytes& bytes) {
    std::wstring path = dir + L"\\" + name;
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
  }
  // Finishes the file and returns its bytes.
  Bytes Finish() {
    EXPECT_EQ(QelResource::end_resgen(), 1);
    return ReadWholeFile(out);
  }
  // The file as it would be after the empty entry and `entries`.
  static Bytes Expected(std::initializer_list<Bytes> entries) {
    Bytes b = EmptyEntry();
    for (const Bytes& e : entries) Append(b, e);
    return b;
  }
  // An entry: header and data, padded to 4 (the padding not counted unless `counted`).
  static Bytes Entry(Name type, Name name, uint16_t flags, Bytes data, uint32_t dataSize = UINT32_MAX) {
    Bytes e = Header(dataSize == UINT32_MAX ? static_cast<uint32_t>(data.size()) : dataSize, type, name, flags);
    Append(e, data);
    Pad4(e);
    return e;
  }
};

}  // namespace restest
