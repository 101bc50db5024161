// kwiToolbar: toolbars the class draws and hit-tests itself.  A toolbar is a
// child window of its parent; its buttons, text fields and separators are
// rectangles of that window, only list buttons are real drop-down lists.
// Every public operation but `create`, `reload` and `remove`(toolbar) names
// the parent window and searches its toolbars in creation order; all of
// them but `create` and `getrect` succeed unchanged when nothing matches.
// Windows, timer ids and closures are pointer-sized; control Ids are u32 and
// raise the runtime's range error where they must become signed.
#pragma once

#include "kwi/kwi.h"

namespace tav {

namespace tbar {

using QEL_KWI::pnt_struct;
using QEL_KWI::rect_struct;
using QEL_KWI::slist_struct;

// style: where the toolbar sits.
enum class StyleKind : uint32_t { tb_top = 1, tb_left, tb_bottom, tb_right, tb_inside, tb_moveable };
struct style {
  StyleKind kind;
  pnt_struct origin;     // tb_inside, tb_moveable
  const wchar_t* title;  // tb_moveable
};
style tb_top();
style tb_left();
style tb_bottom();
style tb_right();
style tb_inside(pnt_struct origin);
style tb_moveable(const wchar_t* title, pnt_struct origin);

enum class ControlStyle : int32_t { pushb = 1, checkb };
enum class TextStyle : int32_t { tb_static = 1, tb_context };

// control: one entry of a control list.
enum class ControlKind : uint32_t { tb_ctrl = 1, tb_text, tb_lbut, separator, new_row };
struct control {
  ControlKind kind;
  uint32_t id;
  ControlStyle controlStyle;  // tb_ctrl
  BitmapIdTerm bitmap;        // tb_ctrl
  const wchar_t* text;        // tb_ctrl: "tooltip;status"; tb_text: the text
  int32_t enabled;            // tb_ctrl, tb_lbut: 1 enabled, 0 disabled
  int32_t state;              // tb_ctrl: 1 released, 0 pressed; tb_lbut: selection
  TextStyle textStyle;        // tb_text
  int16_t width;              // tb_text, tb_lbut
  int32_t fontStyle, fontFamily;
  int16_t fontSize;
  uint32_t textColor;
  const slist_struct* items;  // tb_lbut
};
control tb_ctrl(uint32_t id, ControlStyle cs, BitmapIdTerm bitmap, const wchar_t* text,
                int32_t enabled, int32_t state);
control tb_text(uint32_t id, TextStyle ts, int16_t width, int32_t fontStyle, int32_t fontFamily,
                int16_t fontSize, uint32_t textColor, const wchar_t* text);
control tb_lbut(uint32_t id, int16_t width, const slist_struct* items, int32_t enabled,
                int32_t selection);
control separator();
control new_row();

BitmapIdTerm resid(uint32_t id);
BitmapIdTerm filename(const wchar_t* name);
BitmapIdTerm bmp(QEL_KWI::picture p);

struct control_list {
  const control* items;
  uint32_t count;
};

// value: ctrl_value(Enabled, State), text_value(Text), lbut_value(Enabled,
// Selection), none.
enum class ValueKind : uint32_t { ctrl_value = 1, text_value, lbut_value, none };
struct value {
  ValueKind kind;
  int32_t enabled;
  int32_t state;  // State of a button, Selection of a list button
  const wchar_t* text;
};
value ctrl_value(int32_t enabled, int32_t state);
value text_value(const wchar_t* text);
value lbut_value(int32_t enabled, int32_t selection);
value none();
bool operator==(const value& a, const value& b);

// actionfunc: function(ParentWin, Id, Value), or function(object, ParentWin,
// Id, Value) when object is set.
using ActionFunction = void (*)(LONG_PTR parent, uint32_t id, const value* v);
using ActionMethod = void (*)(void* object, LONG_PTR parent, uint32_t id, const value* v);
struct actionfunc {
  void* function;
  void* object;
};

}  // namespace tbar

class kwiToolbar {
 public:
  static const ClassInfo classInfo;

  // The toolbar window.  The three-argument form acts through
  // _resendtoparentwindow; without Ornament the style decides it.
  static LONG_PTR create(const tbar::style& s, LONG_PTR parent, tbar::control_list controls);
  static LONG_PTR create(const tbar::style& s, LONG_PTR parent, tbar::control_list controls,
                         tbar::actionfunc action);
  static LONG_PTR create(const tbar::style& s, LONG_PTR parent, tbar::control_list controls,
                         tbar::actionfunc action, int32_t ornament);
  static void reload(LONG_PTR toolbarWin, tbar::control_list controls);
  static void resize(LONG_PTR parent);
  // False (fails) when the parent has no toolbar of that style, and for
  // tb_inside and tb_moveable.
  static bool getrect(LONG_PTR parent, const tbar::style& s, QEL_KWI::rect_struct* out);
  static void remove(LONG_PTR window);
  static void mesredirect(LONG_PTR parent, LONG_PTR eventTarget);

  static void setvalue(LONG_PTR parent, uint32_t id, const tbar::value& v);
  static tbar::value getvalue(LONG_PTR parent, uint32_t id);
  static void groupcontrols(LONG_PTR parent, int32_t group, const uint32_t* ids, uint32_t count);
  // False (fails) when no button of the group is pressed.
  static bool getpressedbutton(LONG_PTR parent, int32_t group, uint32_t* id);
  static void setpressedbutton(LONG_PTR parent, int32_t group, uint32_t id);

  // Every toolbar window of the parent, in creation order.
  static bool gettoolbar_nd(LONG_PTR parent, Each<LONG_PTR> k);
  static void tooltip_hide();

  static void _resendtoparentwindow(LONG_PTR parent, uint32_t id, const tbar::value* v);
  static void _noaction(LONG_PTR parent, uint32_t id, const tbar::value* v);
  static tbar::actionfunc resendtoparentwindow();
  static tbar::actionfunc noaction();
};

}  // namespace tav
