// libox: the owner-drawn multi-column list box: its column header (the
// inherited `column`), its lines in a private in-memory chain database with
// a sort index, the display order, the selection, disabled rows, colours and
// the property setters.
//
// Invariants:
//  - Every stored term of the chain "lbox_cust" is line(Ref, ...) naming its
//    own reference; line_no exists only on the way in.
//  - Each stored line is also kept decoded (heap copies, by reference),
//    written with each write of the store and dropped with its chain.
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
//  - A screen pass paints from line sdb_offset + 1 of the display order to
//    the first row past the client bottom and reads no other line; it
//    rewrites the drawn rows, the counters and xbott.  Printing leaves them
//    as the last screen pass left them.
//  - The scroll bar's range is 0..sdb_number_of_lines and its position the
//    offset; the bar is set only when one of them changed.
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
struct but_callback {
  void (*code)(void* object, uint32_t row, uint32_t column);
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

// One row of the last drawing pass: its number, line and rectangle (the
// line's cells are heap copies: the pass releases its terms).
struct drawn_row {
  uint32_t row;
  line l;
  rect_struct r;
  bool selected = false, disabled = false;  // as painted
  bool stale = false;                       // painted over since the pass
};
// A button cell: row and column as painted.
struct button_cell {
  int32_t row, column;
  but_callback cb;
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

class o_edit_li;

class libox : public column {
 public:
  static const tav::ClassInfo classInfo;
  static const wchar_t* const kChain;  // "lbox_cust"
  static const wchar_t* const kIndex;  // "btlibox"

  static libox* new_(const wchar_t* name, wyndow target);

  // The list window's event handler: the answer when handled, fails when
  // not (the GUI layer then runs its default processing).
  virtual LONG_PTR _lbox_eh(LONG_PTR w, QEL_KWI::event_struct* e);
  virtual void move_scroll_on_resize();
  virtual void move_scroll_on_resize_bound();
  virtual void destroy_scroll();
  // False when the font dialog is cancelled (no job started).
  virtual bool lbox_print(const wchar_t* title);
  virtual void lbox_draw();
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
  virtual void lbox_setfont(uint8_t* font, bool redraw);
  virtual void set_selected_props(const List<selected_prop>* props);
  virtual void set_data_props(const List<data_prop>* props);
  virtual void set_allow_multiselect(bool on);
  // The menu belongs to the owner, who keeps it alive.
  virtual void set_menu(QEL_KWI::menu_struct* menu);
  virtual void set_color_sel(color_callback cb);
  virtual void set_callback_sel(lbox_callback cb);
  virtual void set_callback_dbl(lbox_callback cb);
  virtual void set_callback_scroll(lbox_scroll_callback cb);
  virtual void set_sendback(edit_sendback cb, const List<uint32_t>* editable);
  virtual bool nth_line(uint32_t row, line* out);
  virtual void set_top(uint32_t y);
  virtual uint32_t get_bot();
  virtual uint32_t get_top();
  virtual void set_row_height(uint32_t height);
  virtual bool grab_a_line(pnt_struct p);
  virtual uint32_t get_nth_y(uint32_t row);
  virtual void make_button(int32_t row, int32_t column, but_callback cb);
  virtual void remove_all_buttons();
  virtual void build_index(uint32_t col);
  virtual void build_index();
  virtual void allow_order(const List<uint32_t>* cols);
  virtual bool pnt_row(pnt_struct p, uint32_t* row, rect_struct* r, line* l);
  virtual bool y_row(uint32_t y, uint32_t* row, rect_struct* r);
  // Every drawn row: its number, line, top and bottom.
  struct row_tb {
    uint32_t row;
    line l;
    uint32_t top, bottom;
  };
  virtual bool nd_row_tb(tav::Each<row_tb> k);
  virtual bool nd_selected(tav::Each<selected_line> k);
  virtual void mousemove_to_highlight(uint32_t y);
  virtual void swap_selection();
  virtual void set_selected(uint32_t row);
  virtual void set_selecteds(const List<uint32_t>* rows);
  virtual uint32_t get_row_height(wyndow target);
  virtual wyndow get_wyndow();
  virtual void allow_highlight(bool on);
  virtual void to_exel_cb();
  virtual void delete_db();

  // Internal predicates, public for the later parts of the list box.
  void add_line(const line& l);
  void replace_line(const line& l);
  bool nd_line_ordered(tav::Each<const line*> k);
  bool col_str(uint32_t col, const SList* cells, const wchar_t** text);
  bool row_col_str(uint32_t row, uint32_t col, const wchar_t** text);
  line modify_line_if_has_checkbox(uint32_t row, const line& l);
  // Every cell followed by TAB, every line by LF; a TAB, CR or LF inside a
  // cell becomes a space.
  static const wchar_t* combine_slists(const List<const SList*>* rows);
  // Puts every line in display order on the clipboard as combine_slists
  // writes it, read one line at a time.
  void put_sheet();
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

  // A font binary copied from the global stack to the collected heap.
  static uint8_t* heap_font(const uint8_t* font);
  // Drawing (the pass, its entry points and rows).
  void lbox_drawit(wyndow target, bool direct = false);
  void try_lbox_draw();
  uint32_t get_far_right_mod();
  rect_struct size_scroll2();
  void remove_selected_if_disabled();
  const HeapArray<drawn_row>& drawn_rows() const { return ndb_line_rct_; }
  uint32_t sdb_count() const { return sdb_count_; }
  uint32_t number_of_lines() const { return sdb_number_of_lines_; }
  // Hover, buttons.
  void redraw_last_already();
  bool ndb_button(int32_t row, int32_t column, but_callback* cb) const;
  // Selection by click.
  bool do_select(pnt_struct p, uint32_t button, uint32_t shiftCtlAlt);
  void do_select_nth(uint32_t row);
  void build_selected(uint32_t from, uint32_t to, const HeapArray<uint32_t>& old);
  // The scroll bar: one code applied to the offset (false for the codes it
  // does not take), the bar brought in line, the cursor.
  bool v_scroll(uint32_t code, uint32_t pos);
  void update_scroll();
  void my_cursor_set(LONG_PTR w, int32_t cursor);
  uint32_t offset() const { return sdb_offset_; }
  QEL_KWI::menu_struct* menu() const { return db_menu_; }
  // The closure that installs _lbox_eh with this list (win_SetHandler).
  QEL_KWI::PROLOG_EHANDLER_STRUCT* event_handler();
  // The cell editor: open on the cell under p (false when none can open),
  // commit (its row, 0 when none was open), Enter/Down (+1) and Up (-1).
  bool make_o_edit(pnt_struct p);
  uint32_t try_save_editor();
  bool kdown(int32_t delta);
  o_edit_li* editor() const { return db_edit_; }
  uint32_t col_width() const { return xcol_width_; }

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
  void cache_line(int32_t ref, const line& l);
  const line* cached(int32_t ref) const;
  static line heap_line(const line& l);
  void del_index();
  void clear_selection() { selected_.clear(); }
  bool setall_colors(const List<int32_t>* colours);
  // Drawing steps (libox_draw.cpp).
  struct row_geometry;
  bool my_draw_text(wyndow t, const line& l, uint32_t top, uint32_t bottom, uint32_t row);
  bool paint_row(wyndow t, const line& l, uint32_t top, uint32_t bottom, uint32_t row, int32_t background,
                 bool disabled);
  void set_selected_attributes(wyndow t);
  bool draw_slist(wyndow t, uint32_t top, uint32_t bottom, uint32_t row, const SList* cells,
                  const List<uint32_t>* bounds, bool perimeter, bool disabled);
  void reset_font(wyndow t);
  void fill_row(wyndow t, rect_struct r, uint32_t colour);
  uint32_t paint_rows(wyndow t, uint32_t base, const row_geometry& g, bool record);
  void screen_key(const rect_struct& client, const row_geometry& g, int64_t clearY, HeapArray<int32_t>* key);
  bool same_font(const uint8_t* font) const;
  const drawn_row* shown_row(uint32_t* at, uint32_t row, const line& l, int32_t top, bool selected,
                             bool disabled) const;
  void mark_stale(uint32_t row);
  void print_pages(LONG_PTR printer, uint8_t* font);
  bool find_drawn(uint32_t row, const drawn_row** found) const;
  // Event rules (libox_events.cpp).
  bool on_mouseup(pnt_struct p);
  bool on_left_press(pnt_struct p);
  bool on_colour_box(pnt_struct p, uint32_t mods);
  bool on_select(pnt_struct p, uint32_t button, uint32_t mods);
  bool call_sel(pnt_struct p);
  bool on_mousemove(LONG_PTR w, pnt_struct p);
  bool on_char(LONG_PTR w, QEL_KWI::event_struct* e);
  bool on_scroll(const QEL_KWI::event_struct* e);

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
  // The stored lines decoded (heap copies), hashed by reference: open
  // addressing, a power-of-two size at least twice the count; cells null
  // marks a free slot.
  HeapArray<line> lines_;
  uint32_t cached_count_ = 0;
  HeapArray<int32_t> sorted_;  // references in index order, as last built
  bool changed_ = true;        // something changed since the last build
  HeapArray<drawn_row> ndb_line_rct_;
  // What a screen pass outside an update event left on the screen: a later
  // such pass with the same layout repaints only the rows that differ.
  HeapArray<drawn_row> shown_rows_;  // the previous pass's rows, during a pass
  HeapArray<int32_t> shown_key_;     // layout, boundaries and button cells
  bool screen_current_ = false;      // the screen shows ndb_line_rct_ as drawn
  bool diffing_ = false;             // the running pass repaints changed rows only
  HeapArray<button_cell> ndb_button_;
  QEL_KWI::menu_struct* db_menu_ = nullptr;
  uint32_t sdb_count_ = 0;
  int32_t sdb_cursor_ = 1;
  uint32_t sdb_offset_ = 0;
  Maybe<int32_t> db_row_height_{};
  Maybe<uint32_t> already_{};
  bool boo_allow_highlight_ = false;
  o_edit_li* db_edit_ = nullptr;
  pnt_struct xpnt_{0, 0};
};

}  // namespace rizediveva6
