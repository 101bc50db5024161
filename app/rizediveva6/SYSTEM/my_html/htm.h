// htm: one HTML page at a time, built as an ordered list of lines that the
// whole program shares, handed out as one text or saved to a file.
//
// Invariants:
//  - The page buffer only grows at its end; `clear` empties it and keeps its
//    line array for the next page.  Its lines are heap strings (or the
//    writer's constant texts) held in a heap array that an uncollectable
//    record points to, so the collector sees every line; entries past the
//    end are null.
//  - Each template's "%" is filled in order by string::format.  Text and
//    attribute arguments are escaped first (`escape`); raw markup (a line
//    given to assert_line, the head line of start_page / start_frame, the
//    attribute-text arguments of the form operations) goes in unchanged.
//  - A writing operation leaves the global stack as it found it.
//  - all_lines sizes the page in one pass and copies each line once;
//    WritePage joins the lines on the global stack, not on the heap; an
//    ASCII page for an 8-bit stream whose code page keeps ASCII goes out
//    as its bytes (CR LF line ends) in one block, the same bytes the
//    stream's text writer makes.
#pragma once

#include "core/core.h"
#include "stream/stream.h"
#include "string/string.h"

namespace rizediveva6 {

enum class alignm { left = 1, right, centre };

// The definition of a form cell; which fields a kind reads is given beside it.
struct cell_def {
  enum Kind {
    label = 1,        // text, flag (italic)
    listbox,          // name, options, attribute, selected
    checkbox,         // name, flag (checked), attribute
    radio,            // name, flag (checked), attribute
    edit_box,         // text
    input_cell,       // name
    submit,           // text (caption)
    hidden,           // name
    tablex,           // table: cellpadding, cellspacing, border, width
    tablex_end,       //
    list_item,        // text
    select,           // name, size, options, attribute (the selected string)
    button,           // text (caption)
    scripted_button,  // name, attribute (the script)
    hr,               //
    a,                // text (address), attribute (link text)
  };
  Kind kind;
  const wchar_t* text;
  const wchar_t* name;
  const wchar_t* attribute;
  bool flag;
  const tav::StringList* options;
  const tav::StringList* selected;
  uint32_t size;
  int32_t table[4];
};

// cell(number, definition, alignment, identifier); the number is not read.
struct cell {
  uint32_t number;
  cell_def def;
  alignm align;
  const wchar_t* id;
};

class htm {
 public:
  static const tav::ClassInfo classInfo;

  // Page frame and line store.
  static void start_page(const wchar_t* title, const wchar_t* headLine);
  static void end_page();
  static void start_frame(const wchar_t* title, const wchar_t* headLine);
  static void end_frame();
  static void assert_line(const wchar_t* line);
  static void write_str(const wchar_t* text);
  static bool nd_line(tav::Each<const wchar_t*> k);
  static const wchar_t* all_lines();
  static void clear();
  // Unicode text file (signature, CR LF); the page stays.
  static void save_it(const wchar_t* fileName);
  // The build-information page, saved in the temporary folder and opened.
  static void write_www(const wchar_t* title, uint32_t build, const wchar_t* download);
  // Writes the page's text to the stream, flushes and closes it.
  static void WritePage(tav::outputStream* s);
  // Where write_www saves its page.
  static const wchar_t* www_file();

  // Tables, rows and cells.
  static void write_table(int32_t cellpadding, int32_t cellspacing, int32_t border, int32_t width);
  static void write_table_end();
  static void write_tbody();
  static void write_tbody_end();
  static void write_tr();
  static void write_tr_end();
  static void write_td(const wchar_t* text);
  static void write_td_right(const wchar_t* text);
  static void write_td_centre(const wchar_t* text);
  static void write_big_td(const wchar_t* text);
  static void write_td_end();
  static void write_tds(const tav::StringList* texts);
  static void write_table_body_list(const tav::StringList* texts);
  static void write_title(const wchar_t* title);
  static void do_row(const cell* cells, size_t count);

  // Text, lists, links and rules.
  static void write_italic_str(const wchar_t* text);
  static void write_big_str(const wchar_t* text);
  static void write_br();
  static void write_hr();
  static void write_ul();
  static void write_ul_end();
  static void write_li(const wchar_t* text);
  static void write_bulleted_list(const tav::StringList* texts);
  static void write_a(const wchar_t* address, const wchar_t* text);
  static void write_a_target(const wchar_t* address, const wchar_t* text, const wchar_t* target);

  // Forms.
  static void write_form(const wchar_t* name, const wchar_t* action);
  static void write_form_end();
  static void write_form_input(int32_t kind, const wchar_t* name, const wchar_t* value,
                               bool checked, const wchar_t* extra);
  static void write_form_select(const wchar_t* name, uint32_t size, const tav::StringList* options,
                                const wchar_t* extra, const tav::StringList* selected);
  static void write_form_text(const wchar_t* text, const wchar_t* name);
  static void write_form_fieldset(const wchar_t* legend);
  static void write_form_fieldset_end();
  static void write_submit(const wchar_t* caption);
  static void write_hidden(const wchar_t* name, const wchar_t* value);
  static void write_button(const wchar_t* caption);
  static void write_scripted_button(const wchar_t* name, const wchar_t* script);

  // The text with "&", "<", ">" and the double quote as entities and every
  // character above U+007E as a decimal reference (a lone surrogate as
  // U+FFFD); the text itself when nothing needs it, else a global-stack string.
  static const wchar_t* escape(const wchar_t* text);
};

}  // namespace rizediveva6
