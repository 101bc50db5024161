// A fixture with editor records without a window: made from a text (also
// word-wrapped), read back whole or by rows, undone and redone.  The global
// stack is released after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core.h"
#include "qel6kernel.h"
#include "settings.h"
#include "wrap.h"

namespace edittest {

using namespace QEL_EDIT::detail;
namespace K = Qel::RunTime::Kernel;

// A record of `text` without a window (null when the text does not load).
inline EditorRecord* NewTestRecord(const wchar_t* text, bool hyper = false, int32_t indent = 0) {
  RecordParams p{};
  p.windowType = 2;
  p.hyperMode = hyper;
  p.indent = indent;
  EditorRecord* ed = NewRecord(p);
  ed->visibleRows = 10;
  ed->lineHeight = 16;
  ed->clientWidth = 100000;
  if (K::RunTrapped([&] { LoadPlainText(ed, text); }) != 0) {
    DeleteRecord(ed);
    return nullptr;
  }
  return ed;
}

// The whole text of a record.
inline std::wstring RecordText(EditorRecord* ed) {
  uint8_t* m = K::Memory::MarkGStack();
  std::wstring s = TextGet(ed);
  K::Memory::ReleaseGStack(m);
  return s;
}

// A wrapping record of `text` without a window whose rows are `chars`
// characters wide (every character charWidth pixels).
inline EditorRecord* NewWrappedRecord(const wchar_t* text, int32_t chars, bool hyper = false) {
  RecordParams p{};
  p.windowType = 2;
  p.wrap = 1;
  p.wrappable = 1;
  p.hyperMode = hyper;
  EditorRecord* ed = NewRecord(p);
  ed->visibleRows = 4;
  ed->lineHeight = 16;
  ed->clientWidth = 100000;
  ed->wrapWidth = chars * ed->charWidth + ed->leftMargin;
  EXPECT_TRUE(LoadRows(ed, text, RowWidth(ed)));
  return ed;
}

// A record's rows, "~" after a soft end and "|" after a hard one.
inline std::vector<std::wstring> RowTexts(EditorRecord* ed) {
  std::vector<std::wstring> rows;
  for (int32_t n = 1; n <= ed->LineCount(); ++n) {
    uint8_t* m = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, n);
    rows.push_back(std::wstring(t.text, t.length) + (t.hardEnd ? L"|" : L"~"));
    K::Memory::ReleaseGStack(m);
  }
  return rows;
}

class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    mark_ = K::Memory::MarkGStack();
    settings = Settings{};
  }
  void TearDown() override {
    for (EditorRecord* ed : made_) DeleteRecord(ed);
    K::Memory::ReleaseGStack(mark_);
  }
  EditorRecord* Make(const wchar_t* text, bool hyper = false, int32_t indent = 0) {
    EditorRecord* ed = NewTestRecord(text, hyper, indent);
    EXPECT_TRUE(ed);
    if (ed) made_.push_back(ed);
    return ed;
  }
  static std::wstring Text(EditorRecord* ed) { return RecordText(ed); }
  // Deletes a record made elsewhere at the test's end.
  EditorRecord* Keep(EditorRecord* ed) {
    made_.push_back(ed);
    return ed;
  }
  static void Undo(EditorRecord* ed) { ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u); }
  static void Redo(EditorRecord* ed) { ASSERT_EQ(K::RunTrapped([&] { RedoStep(ed); }), 0u); }

 private:
  uint8_t* mark_ = nullptr;
  std::vector<EditorRecord*> made_;
};

}  // namespace edittest
