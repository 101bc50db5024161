// column: the column model and header row of the owner-drawn list box:
// columns (name, reference, title colour), their display order, the column
// edges (boundaries), the title band, title texts, the header drawing, hit
// tests, header drags and the saved layout.
//
// Invariants:
//  - References are 1, 2, 3 ... in adding order and never reused.
//  - N columns have N + 1 boundaries after every header drawing, each at
//    least 20 pixels right of the one before; between drawings any count.
//  - Boundaries are never negative: an operation that would make one
//    negative raises the range error 302 and changes nothing.
//  - Titles and colours follow the reference, widths follow the position.
//  - Every step of an edge drag applies to the boundaries of the press.
//  - The saved layout is read at creation and by set_col_widths(false, ..)
//    and written only by save_col_widths, and only when it differs from
//    the boundaries; a saved list that is empty or holds a negative value
//    is ignored.
//  - All state lives on the collected heap (HeapArray).
#pragma once

#include "KWI/Wyn/wyn.h"
#include "KWI/drag/drag_rct.h"
#include "KWI/orvtoolkwi/heap_array.h"
#include "SYSTEM/orv_list/orv_list.h"

namespace rizediveva6 {

// tnull | title_tb(Top, Bottom)
struct title_tb {
  enum Kind : uint32_t { tnull = 1, band };
  uint32_t alt;
  uint32_t top, bottom;
};
inline title_tb TNull() { return {title_tb::tnull, 0, 0}; }
inline title_tb TitleTb(uint32_t top, uint32_t bottom) { return {title_tb::band, top, bottom}; }

struct col_info {
  const wchar_t* name;
  uint32_t ref;
  rect_struct titleRect;
  int32_t titleColour;
};
// One solution of the enumeration and of the point-to-column test.
struct col_at {
  col_info info;
  uint32_t position;
};

class column {
 public:
  static const tav::ClassInfo classInfo;

  static column* new_column(wyndow target, const wchar_t* name);

  virtual void set_title_tb(title_tb band);
  virtual title_tb get_title_tb();
  virtual title_tb get_good_title_tb(wyndow w);
  virtual void set_title(uint32_t ref, const wchar_t* title);
  virtual const wchar_t* get_title(uint32_t ref);
  virtual void set_left(uint32_t x);
  virtual void set_right(bool lessScrollBar, int64_t x);
  virtual uint32_t get_left();
  virtual uint32_t get_far_right();
  virtual void set_col_widths(bool useGiven, const List<uint32_t>* widths);
  virtual uint32_t add_col(const wchar_t* name);
  virtual const List<uint32_t>* add_cols(const SList* names);
  virtual bool remove_col(const wchar_t* name);
  virtual void remove_all_cols();
  virtual bool nd_cols(tav::Each<col_at> k);
  virtual void col_draw_titles(wyndow w);
  virtual bool pnt_col(bool titleOnly, pnt_struct p, col_at* hit);
  virtual bool pnt_command(pnt_struct p, col_info* hit);
  virtual bool nth_col(uint32_t n, col_info* hit);
  virtual bool is_dragging_col(uint32_t* ref);
  virtual bool try_drag_col(pnt_struct p);
  virtual bool drop_col(pnt_struct p);
  virtual bool pnt_col(pnt_struct p, uint32_t* position);
  virtual bool mouse_on_col(pnt_struct p, uint32_t* boundary);
  virtual const List<uint32_t>* get_boundaries(wyndow w);
  virtual void prevent_col_reorder(bool prevent);
  virtual void show_title_or_not(bool show);
  virtual bool set_title_color(const wchar_t* name, int32_t colour);
  virtual void save_col_widths();

  // Boundaries from widths starting at x = 1: running sums, last repeated.
  static const List<uint32_t>* make_xs(const List<uint32_t>* widths);
  // Applies the result of a header drag of column `ref` at p.
  void reorder_cols(const drag_obj_dom& kind, uint32_t ref, pnt_struct p);
  // The boundary count and minimum widths that every header drawing restores.
  void fix_lr();

  struct col_entry {
    const wchar_t* name;
    uint32_t ref;
    int32_t colour;
  };
  struct title_entry {
    uint32_t ref;
    const wchar_t* title;
  };

 protected:
  void init_column(wyndow target, const wchar_t* name);

 private:
  const col_entry* entry_of(uint32_t ref) const;
  bool span(uint32_t position, int64_t* left, int64_t* right) const;
  bool title_text(uint32_t ref, const wchar_t** text) const;
  void repair_size();
  void reset_border(uint32_t k, int64_t x);
  void remove_from_order(uint32_t ref);
  void reorder(uint32_t moved, uint32_t target);
  bool position_of(uint32_t ref, uint32_t* position);
  void set_boundaries(const HeapArray<int64_t>& values);
  bool load_saved();
  bool saved_equal();
  void restore_drag_start();

  wyndow xwyn_{wyndow::wnull, 0};
  title_tb x_title_tb_{title_tb::tnull, 0, 0};
  uint32_t xdb_num_cols_ = 0;
  uint32_t xdb_ref_ = 0;
  HeapArray<col_entry> ndb_col_;
  HeapArray<uint32_t> xdb_col_xrefs_;
  HeapArray<uint32_t> xdb_boundaries_;
  const wchar_t* xname_ = nullptr;
  HeapArray<title_entry> ndb_title_;
  bool boo_show_title_ = false;
  drag_rct* drag_ = nullptr;  // db_drag_col with dragRef_
  uint32_t dragRef_ = 0;
  HeapArray<uint32_t> dragStart_;  // the boundaries at the press
  bool boo_prevent_reorder_ = false;
};

}  // namespace rizediveva6
