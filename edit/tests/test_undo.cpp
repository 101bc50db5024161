// The undo ring: counts and limits, redo dropped by a new change, the clean
// state in both directions, lost clean states, inversion, text ownership.
#include <gtest/gtest.h>

#include "undo.h"

using namespace QEL_EDIT::detail;

namespace {

class Ring : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ring_.Setup()); }
  void TearDown() override { ring_.Destroy(); }
  void Add(int32_t kind, int n = 1) {
    for (int i = 0; i < n; ++i) {
      UndoEntry e{};
      e.kind = kind;
      e.newChar = static_cast<uint16_t>(L'a' + i % 26);
      ring_.Add(e);
    }
  }
  bool Undo() {
    UndoEntry e;
    return ring_.TakeUndo(&e, false);
  }
  bool Redo() {
    UndoEntry e;
    return ring_.TakeRedo(&e);
  }
  UndoRing ring_{};
};

TEST_F(Ring, NewRingHasNothingToUndoAndIsClean) {
  EXPECT_EQ(ring_.undoCount, 0);
  EXPECT_EQ(ring_.redoCount, 0);
  EXPECT_FALSE(Undo());
  EXPECT_FALSE(Redo());
  EXPECT_TRUE(ring_.AtCleanState());
}

TEST_F(Ring, OneChangeUndoneIsCleanRedoneIsNot) {
  Add(uk_insertChar);
  EXPECT_FALSE(ring_.AtCleanState());
  ASSERT_TRUE(Undo());
  EXPECT_TRUE(ring_.AtCleanState());
  ASSERT_TRUE(Redo());
  EXPECT_FALSE(ring_.AtCleanState());
}

TEST_F(Ring, CleanMarkAfterTwoChanges) {
  Add(uk_insertChar, 2);
  ring_.MarkClean();
  ASSERT_TRUE(Undo());
  EXPECT_FALSE(ring_.AtCleanState());
  ASSERT_TRUE(Redo());
  EXPECT_TRUE(ring_.AtCleanState());
}

TEST_F(Ring, SelectionChangesKeepTheCleanState) {
  Add(uk_insertChar);
  ring_.MarkClean();
  Add(uk_selection, 3);
  EXPECT_TRUE(ring_.AtCleanState());
  ASSERT_TRUE(Undo());
  ASSERT_TRUE(Undo());
  EXPECT_TRUE(ring_.AtCleanState());
  // The clean state ahead, behind a selection change: still clean.
  ring_.Destroy();
  ASSERT_TRUE(ring_.Setup());
  Add(uk_insertChar);
  Add(uk_selection);
  ring_.MarkClean();
  ASSERT_TRUE(Undo());
  EXPECT_TRUE(ring_.AtCleanState());
  ASSERT_TRUE(Undo());
  EXPECT_FALSE(ring_.AtCleanState());
}

TEST_F(Ring, SixHundredChangesAllow511Undos) {
  Add(uk_insertChar, 600);
  int undone = 0;
  while (Undo()) ++undone;
  EXPECT_EQ(undone, MaxUndo);
  EXPECT_EQ(ring_.redoCount, MaxUndo);
  int redone = 0;
  while (Redo()) ++redone;
  EXPECT_EQ(redone, MaxUndo);
}

TEST_F(Ring, NewChangeDropsTheRedoEntries) {
  Add(uk_insertChar, 5);
  ASSERT_TRUE(Undo());
  ASSERT_TRUE(Undo());
  ASSERT_TRUE(Undo());
  Add(uk_deleteChar);
  EXPECT_EQ(ring_.redoCount, 0);
  EXPECT_EQ(ring_.undoCount, 3);
  EXPECT_FALSE(Redo());
  // The two slots after the new entry are empty.
  EXPECT_EQ(ring_.slots[UndoRing::NextIndex(ring_.current)].kind, uk_empty);
  EXPECT_EQ(ring_.slots[UndoRing::NextIndex(UndoRing::NextIndex(ring_.current))].kind, uk_empty);
}

// A fresh ring's clean index is 511: 512 changes reuse that slot, so undo
// and redo must not report the clean text.
TEST_F(Ring, ReusedCleanSlotLosesTheCleanState) {
  Add(uk_insertChar, 512);
  ASSERT_TRUE(Undo());
  ASSERT_TRUE(Redo());
  EXPECT_EQ(ring_.current, 511);
  EXPECT_FALSE(ring_.AtCleanState());
  // So too 512 changes after a clean mark.
  ring_.MarkClean();
  Add(uk_insertChar, 512);
  ASSERT_TRUE(Undo());
  ASSERT_TRUE(Redo());
  EXPECT_FALSE(ring_.AtCleanState());
  // Undo past the clean point, then a selection change reuses its slot.
  ring_.Destroy();
  ASSERT_TRUE(ring_.Setup());
  Add(uk_insertChar);
  ring_.MarkClean();
  ASSERT_TRUE(Undo());
  Add(uk_selection);
  EXPECT_FALSE(ring_.AtCleanState());
}

TEST_F(Ring, InversionTable) {
  struct Case { int32_t kind; int32_t inverse; };
  const Case cases[] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 6}, {6, 5}, {7, 7}, {8, 9},
                        {9, 8}, {10, 10}, {11, 12}, {12, 11}, {13, 13}, {14, 14}, {15, 15}, {16, 16}};
  for (const Case& c : cases) {
    UndoEntry e{};
    e.kind = c.kind;
    e.lineBefore = 1, e.colBefore = 2, e.lineAfter = 3, e.colAfter = 4;
    e.selBefore = {1, 1, 1, 2, 1};
    e.selAfter = {0, 5, 5, 5, 5};
    e.oldChar = 'o', e.newChar = 'n';
    wchar_t oldT[] = L"old", newT[] = L"new";
    e.oldText = oldT, e.newText = newT;
    e.dragFrom = 10, e.dragTo = 20;
    UndoEntry r = InvertUndoEntry(e, true);
    EXPECT_EQ(r.kind, c.inverse) << c.kind;
    EXPECT_EQ(r.lineBefore, 3);
    EXPECT_EQ(r.colAfter, 2);
    EXPECT_EQ(r.selBefore.anchorCol, 5);
    EXPECT_EQ(r.selAfter.caretCol, 2);
    bool textsSwap = c.kind == 10 || c.kind == 13;
    EXPECT_EQ(r.oldText, textsSwap ? newT : oldT) << c.kind;
    EXPECT_EQ(r.oldChar, c.kind >= 7 && c.kind <= 9 ? 'n' : 'o') << c.kind;
    EXPECT_EQ(r.dragFrom, c.kind == 4 ? 20 : 10) << c.kind;
    EXPECT_EQ(InvertUndoEntry(e, false).dragFrom, 10);
  }
}

TEST_F(Ring, EntriesKeepOnlyTheTextsOfTheirKind) {
  auto entry = [](int32_t kind) {
    UndoEntry e{};
    e.kind = kind;
    e.oldText = CopyUndoText(L"old", 3);
    e.newText = CopyUndoText(L"new", 3);
    e.savedText = CopyUndoText(L"saved", 5);
    return e;
  };
  const int32_t kinds[] = {1, 2, 3, 8, 10, 12, 13, 15, 16};
  for (int32_t k : kinds) {
    ring_.Add(entry(k));
    const UndoEntry& s = ring_.slots[ring_.current];
    bool saved = k == 2 || k == 3 || k == 15 || k == 16;
    bool lines = k == 10 || k == 12 || k == 13;
    EXPECT_EQ(s.savedText != nullptr, saved) << k;
    EXPECT_EQ(s.oldText != nullptr, lines) << k;
    EXPECT_EQ(s.newText != nullptr, lines) << k;
    if (saved) {
      EXPECT_STREQ(s.savedText, L"saved");
    }
  }
  // The undo copy shares the slot's texts.
  UndoEntry u;
  ASSERT_TRUE(ring_.TakeUndo(&u, false));
  EXPECT_EQ(u.savedText, ring_.slots[UndoRing::NextIndex(ring_.current)].savedText);
}

}  // namespace
