// libox: the owner-drawn multi-column list box: its column header (the
// inherited `column`), its lines in a private in-memory chain database with
// a sort index, the display order, the selection, disabled rows, colours and
// the property setters.
//
// Invariants:
//  - Every stored term of the chain "lbox_cust" is line(Ref, ...) naming its
//    own reference; line_no exists only on the way in.
//  - The display order is a vector of references: the chain order when no
//    index stands (it follows every add), else the order of the index as
//    last built (lines added later join at the next build).  Every stored
//    line has an index entry: a line with too few cells gets "zzzz".
//  - build_index rebuilds only after a change since the last build (line
//    added, replaced or cleared, sort column, allow_order, data properties).
//  - Row numbers count from 1 in display order; lbox_getsel alone counts
//    from 0.  Selected and disabled rows keep their entry order beside a
//    per-row flag for constant-time membership.
//  - After delete_db the database is gone: operations on the line store
//    raise 329.
#pragma once

#include "KWI/orvtoolkwi/column.h"
#include "SYSTEM/mychaindb/bt.h"
#include "chainDB/chainDb.h"

namespace rizediveva6 {

// line(Ref, Cells, Colour, Second) when stored, else line_no(Cells, Colour, Second).
struct line {
  enum Kind : uint32_t { stored = 1, line_no };
  uint32_t alt;
  int32_t ref;  // stored only
  const SList* cells;
  int32_t colour;
  int32_t second;
};
inline line LineNo(const SList* cells, int32_t colour = 0, int32_t second = 0) {
  return {line::line_no, 0, cells, colour, second};
}

// The stored images of the two alternatives of `line` (domains::line).
struct line_image {
  uint64_t functor;
  int32_t ref;
  const tav::StringList* cells;
  int32_t colour;
  int32_t second;
};
struct line_no_image {
  uint64_t functor;
  const tav::StringList* cells;
  int32_t colour;
  int32_t second;
};

enum class data_prop : uint32_t { selected_has_checkbox = 1, has_color_box, has_cell_boundaries };
struct selected_prop {
  enum Kind : uint32_t {
    selected_is_depressed = 1,
    selected_is_bold,
    selected_is_italic,
    selected_is_colored,
    selection_allowed,
    drag_line_is_allowed
  };
  uint32_t alt;
  int32_t lo, hi;  // selection_allowed only
};

// Predicate values: code and object (null for a class predicate).
struct lbox_callback {
  void (*code)(void* object, uint32_t column, uint32_t row, const line& l);
  void* object;
};

struct color_callback {
  void (*code)(void* object, int32_t colour, uint32_t row);
  void* object;
};
struct lbox_scroll_callback {
  void (*code)(void* object, uint32_t position);
  void* object;
};
struct edit_sendback {
  void (*code)(void* object, const wchar_t* text, uint32_t row, uint32_t column);
  void* object;
};
// A determ fact: absent until set.
template <class T>
struct Maybe {
  bool present;
  T value;
};

// One solution of nd_selected: 0, the cells, the position from 0, the colour.
struct selected_line {
  uint32_t zero;
  const SList* cells;
  uint32_t position;
  int32_t colour;
};
struct selection {
  const List<const SList*>* cells;
  const List<uint32_t>* positions;
};

// Row numbers in entry order with a flag per row; rows from kDense on (no
// list holds that many lines) are found by a scan of the entries instead.
class RowSet {
 public:
  static constexpr uint32_t kDense = 1u << 22;
  bool has(uint32_t row) const {
    if (row < kDense) return row < flags_.size() && flags_[row];
    for (uint32_t r : entries_)
      if (r == row) return true;
    return false;
  }
  void add(uint32_t row);
  bool remove(uint32_t row);
  void clear();
  const HeapArray<uint32_t>& entries() const { return entries_; }

 private:
  HeapArray<uint32_t> entries_;
  HeapArray<uint8_t> flags_;
};

class libox : public column {
 public:
  static const tav::ClassInfo classInfo;
  static const wchar_t* const kChain;  // "lbox_cust"
  static const wchar_t* const kIndex;  // "btlibox"

  static libox* new_(const wchar_t* name, wyndow target);

  virtual void lbox_add(const List<const SList*>* rows);
  virtual void lbox_add_slist(const SList* cells);
  virtual void lbox_add_lines(const List<line>* lines);
  virtual void lbox_clear();
  virtual bool lbox_setcolorline(uint32_t row, int32_t colour);
  virtual selection lbox_getsel();
  virtual const List<int32_t>* lbox_getsel_color();
  virtual const List<int32_t>* lbox_getall_colors();
  virtual void lbox_setall_colors(const List<int32_t>* colours);
  virtual void lbox_setsel(uint32_t row, bool on);
  virtual void lbox_setsels(const List<bool>* rows);
  virtual bool lbox_setsel2(const wchar_t* text, bool on);
  virtual void lbox_enable(const List<int32_t>* marks);
  virtual const List<const SList*>* lbox_getall();
  virtual uint32_t lbox_num_rows();
  virtual void set_selected_props(const List<selected_prop>* props);
  virtual void set_data_props(const List<data_prop>* props);
  virtual void set_allow_multiselect(bool on);
  virtual void set_color_sel(color_callback cb);
  virtual void set_callback_sel(lbox_callback cb);
  virtual void set_callback_dbl(lbox_callback cb);
  virtual void set_callback_scroll(lbox_scroll_callback cb);
  virtual void set_sendback(edit_sendback cb, const List<uint32_t>* editable);
  virtual bool nth_line(uint32_t row, line* out);
  virtual void set_top(uint32_t y);
  virtual uint32_t get_bot();
  virtual uint32_t get_top();
  virtual void build_index(uint32_t col);
  virtual void build_index();
  virtual void allow_order(const List<uint32_t>* cols);
  virtual bool nd_selected(tav::Each<selected_line> k);
  virtual void set_selected(uint32_t row);
  virtual void set_selecteds(const List<uint32_t>* rows);
  virtual wyndow get_wyndow();
  virtual void delete_db();

  // Internal predicates, public for the later parts of the list box.
  void add_line(const line& l);
  void replace_line(const line& l);
  bool nd_line_ordered(tav::Each<const line*> k);
  bool col_str(uint32_t col, const SList* cells, const wchar_t** text);
  bool row_col_str(uint32_t row, uint32_t col, const wchar_t** text);
  line modify_line_if_has_checkbox(uint32_t row, const line& l);
  static const wchar_t* combine_slists(const List<const SList*>* rows);
  void use_dbl_callback_for_postevent();
  // Whether a click at p may select: the column under p lies in the range of
  // the first selection_allowed property.
  bool allow_select_by_column(pnt_struct p);
  // Every column at the default width: 48 widths of xcol_width, given ones.
  void widen_cols();
  bool is_selected(uint32_t row) const { return selected_.has(row); }
  bool is_disabled(uint32_t row) const { return disabled_.has(row); }
  const HeapArray<uint32_t>& selected_rows() const { return selected_.entries(); }
  bool has_data_prop(data_prop p) const;
  // The key of a line for a header column: the cell under that title.
  const wchar_t* get_key(uint32_t col, const SList* cells) const;
  const HeapArray<int32_t>& display_order() const { return *display(); }
  // The scroll-bar control; 0 when the list is not on a screen window.
  LONG_PTR get_vscroll() const;

 protected:
  void init_libox(const wchar_t* name, wyndow target);

 private:
  tav::chainDB* db() const;
  // The display order; raises 329 once the database is gone.
  const HeapArray<int32_t>* display() const {
    db();
    return db_bt_class_ ? &sorted_ : &chain_;
  }
  line read(int32_t ref) const;
  void del_index();
  void clear_selection() { selected_.clear(); }
  bool setall_colors(const List<int32_t>* colours);

  RowSet selected_;   // ndb_selected
  RowSet disabled_;   // ndb_disabled
  uint32_t sdb_number_of_lines_ = 10;
  const List<selected_prop>* sdb_selected_props_ = nullptr;
  const List<data_prop>* sdb_data_props_ = nullptr;
  uint8_t* xdb_font_ = nullptr;
  LONG_PTR db_vscroll_ = 0;
  bool sdb_allow_multiselect_ = false;
  Maybe<color_callback> db_color_sel_{};
  Maybe<lbox_callback> db_cb_sel_{};
  Maybe<lbox_callback> db_cb_dbl_{};
  Maybe<lbox_scroll_callback> db_cb_scroll_{};
  Maybe<edit_sendback> db_sendback_{};
  const List<uint32_t>* editable_ = nullptr;  // with db_sendback_
  tav::chainDB* xchaindb_ = nullptr;
  wyndow thiswyn_{wyndow::wnull, 0};
  const wchar_t* xdbname_ = nullptr;
  bt* db_bt_class_ = nullptr;
  uint32_t x_colno_for_index_ = 1;
  HeapArray<uint32_t> boo_allow_order_;
  uint32_t xcol_width_ = 50;
  uint32_t xtopp_ = 0;
  uint32_t xbott_ = 0;
  HeapArray<int32_t> chain_;   // references in chain order
  HeapArray<int32_t> sorted_;  // references in index order, as last built
  bool changed_ = true;        // something changed since the last build
};

}  // namespace rizediveva6
