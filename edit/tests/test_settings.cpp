// Process-wide settings: sizes that are not positive are refused with 6911
// and leave the setting as it was.
#include <gtest/gtest.h>

#include "qel6edit.h"
#include "qel6kernel.h"

using namespace QEL_EDIT;
namespace K = Qel::RunTime::Kernel;

TEST(Settings, SizesMustBePositive) {
  edit_SetTabSize_0(8);
  EXPECT_EQ(K::RunTrapped([] { edit_SetTabSize_0(0); }), 6911u);
  EXPECT_EQ(K::RunTrapped([] { edit_SetTabSize_0(-3); }), 6911u);
  EXPECT_EQ(edit_GetTabSize(), 8);
  edit_IndentSize_0(2);
  EXPECT_EQ(K::RunTrapped([] { edit_IndentSize_0(0); }), 6911u);
  int32_t size = 0;
  edit_IndentSize_1(&size);
  EXPECT_EQ(size, 2);
  edit_TabMode_0(7);
  int32_t mode = 0;
  edit_TabMode_1(&mode);
  EXPECT_EQ(mode, 1);
  edit_SetTabSize_0(4);
}
