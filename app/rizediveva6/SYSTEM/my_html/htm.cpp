// htm: see the header.
#include "SYSTEM/my_html/htm.h"

#include "KWI/Wyn/wyn.h"
#include "exception/exception.h"
#include "fileSystem/directory.h"
#include "fileSystem/file.h"
#include "fileSystem/fileStream.h"
#include "memory/memory.h"
#include "string8/string8.h"

namespace rizediveva6 {

using namespace tav;
namespace Tm = Qel::RunTime::Terms;

const ClassInfo htm::classInfo{L"qel6pack/my_html/htm", TAV_CLASS_VERSION};

namespace {

// --- the page buffer ---

struct Line {
  const wchar_t* text;  // a heap string or a constant text
  uint64_t length;
};
struct Page {
  Line* lines;  // a heap array of `capacity` entries
  uint64_t count, capacity, units;
};

Page* ThePage() {
  // Uncollectable: the only reference is this static; the collector scans it
  // and so sees the line array.
  static Page* page = [] {
    auto* p = static_cast<Page*>(K::Memory::AllocUncollectableHeap(sizeof(Page)));
    *p = Page{nullptr, 0, 0, 0};
    return p;
  }();
  return page;
}

// Appends a heap string that the page takes over, or a constant text.
void Take(const wchar_t* heapText, uint64_t length) {
  Page* p = ThePage();
  if (p->count == p->capacity) {
    const uint64_t capacity = p->capacity ? 2 * p->capacity : 256;
    const uint32_t bytes = memory::checksize(capacity * sizeof(Line));
    p->lines = static_cast<Line*>(p->lines ? K::Memory::ReAllocHeap(p->lines, bytes)
                                           : K::Memory::AllocHeap(bytes));
    p->capacity = capacity;
  }
  p->lines[p->count++] = Line{heapText, length};
  p->units += length + 1;
}
void Take(const wchar_t* heapText) { Take(heapText, wcslen(heapText)); }

// Appends a copy of a caller's text.
void Add(const wchar_t* text) { Take(HeapCopy(text)); }
// Appends constant lines of the program's own, which the page refers to.
void Add(std::initializer_list<const wchar_t*> constants) {
  for (const wchar_t* l : constants) Take(l);
}

// --- filling templates ---

template <size_t N>
void SetArg(Tm::TEllipsisArgs<N>& a, size_t i, const wchar_t* s) {
  a.SetTerm(i, D(tav::domains::string), s);
}
template <size_t N>
void SetArg(Tm::TEllipsisArgs<N>& a, size_t i, int32_t v) {
  a.SetValue(i, D(tav::domains::integer), v);
}
template <size_t N>
void SetArg(Tm::TEllipsisArgs<N>& a, size_t i, uint32_t v) {
  a.SetValue(i, D(tav::domains::unsigned_), v);
}
template <size_t N>
void SetArg(Tm::TEllipsisArgs<N>& a, size_t i, wchar_t c) {
  a.SetValue(i, D(tav::domains::char_), static_cast<uint16_t>(c));
}

// The template filled with the values in order (a heap string).
template <class... V>
const wchar_t* Filled(const wchar_t* format, V... values) {
  Tm::TEllipsisArgs<sizeof...(V)> a;
  size_t i = 0;
  (SetArg(a, i++, values), ...);
  return string::format(format, a);
}
// Appends the template filled with the values in order.
template <class... V>
void Fill(const wchar_t* format, V... values) {
  Take(Filled(format, values...));
}

// The cell templates: "%" is the text, and in the widths the percent character.
constexpr const wchar_t* kTd = L"<td valign=\"top\">%";
constexpr const wchar_t* kTdRight = L"<td valign=\"top\" align=\"right\" width=\"22 %\">%";
constexpr const wchar_t* kTdCentre = L"<td valign=\"top\" align=\"center\" width=\"5 %\">%";

// Runs a writer; what it leaves on the global stack (escaped copies) is
// released when it returns.
template <class F>
void Scoped(F write) {
  uint8_t* mark = K::Memory::MarkGStack();
  write();
  K::Memory::ReleaseGStack(mark);
}

const wchar_t* E(const wchar_t* text) { return htm::escape(text); }
const wchar_t* Checked(bool checked) { return checked ? L"CHECKED" : L""; }

bool Member(const wchar_t* s, const StringList* list) {
  for (; !list->Empty(); list = list->tail)
    if (wcscmp(s, list->head) == 0) return true;
  return false;
}

// --- escaping ---

// The code point at s (advancing s); a lone surrogate gives U+FFFD.
uint32_t CodePoint(const wchar_t*& s) {
  const uint32_t c = static_cast<uint16_t>(*s++);
  if (c >= 0xD800 && c <= 0xDBFF) {
    const uint32_t low = static_cast<uint16_t>(*s);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++s;
      return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    }
    return 0xFFFD;
  }
  if (c >= 0xDC00 && c <= 0xDFFF) return 0xFFFD;
  return c;
}

uint32_t DecimalDigits(uint32_t v) {
  uint32_t n = 1;
  while (v >= 10) v /= 10, ++n;
  return n;
}

// The units that a code point takes in the escaped text, and its entity.
const wchar_t* Entity(uint32_t c) {
  switch (c) {
    case L'&': return L"&amp;";
    case L'<': return L"&lt;";
    case L'>': return L"&gt;";
    case L'"': return L"&quot;";
    default: return nullptr;
  }
}
uint64_t EscapedUnits(uint32_t c) {
  if (const wchar_t* e = Entity(c)) return wcslen(e);
  if (c > 0x7E) return 3 + DecimalDigits(c);  // "&#" digits ";"
  return 1;
}

}  // namespace

namespace {

// Whether a unit stands for itself in the escaped text.
bool Plain(wchar_t c) { return c <= 0x7E && c != L'&' && c != L'<' && c != L'>' && c != L'"'; }

// The units of the escaped text; `plain` tells whether it equals the text.
uint64_t EscapedUnits(const wchar_t* text, bool* plain) {
  const wchar_t* s = text;
  while (Plain(*s) && *s) ++s;
  *plain = !*s;
  if (*plain) return static_cast<uint64_t>(s - text);
  uint64_t units = static_cast<uint64_t>(s - text);
  while (*s) units += EscapedUnits(CodePoint(s));
  return units;
}

// Writes the escaped text and its terminator into out.
void EscapeInto(const wchar_t* text, wchar_t* out) {
  wchar_t* o = out;
  for (const wchar_t* s = text; *s;) {
    const uint32_t c = CodePoint(s);
    if (const wchar_t* e = Entity(c)) {
      for (; *e; ++e) *o++ = *e;
    } else if (c > 0x7E) {
      *o++ = L'&';
      *o++ = L'#';
      const uint32_t digits = DecimalDigits(c);
      uint32_t v = c;
      for (uint32_t i = digits; i > 0; --i, v /= 10) o[i - 1] = static_cast<wchar_t>(L'0' + v % 10);
      o += digits;
      *o++ = L';';
    } else {
      *o++ = static_cast<wchar_t>(c);
    }
  }
  *o = 0;
}

// Appends the escaped text as a line, copied once.
void AddEscaped(const wchar_t* text) {
  bool plain;
  const uint64_t units = EscapedUnits(text, &plain);
  if (plain) {
    wchar_t* copy = string::NewString(units);
    memcpy(copy, text, units * sizeof(wchar_t));
    return Take(copy, units);
  }
  wchar_t* line = string::NewString(units);
  EscapeInto(text, line);
  Take(line, units);
}

}  // namespace

const wchar_t* htm::escape(const wchar_t* text) {
  bool plain;
  const uint64_t units = EscapedUnits(text, &plain);
  if (plain) return text;
  auto* out = reinterpret_cast<wchar_t*>(GStackAlloc(memory::checksize((units + 1) * 2)));
  EscapeInto(text, out);
  return out;
}

// --- page frame and line store ---

void htm::start_frame(const wchar_t* title, const wchar_t* headLine) {
  Add({L"", L"", L"", L"<HTML>", L"<HEAD>", L"<TITLE>"});
  AddEscaped(title);
  Add({L"</TITLE>"});
  Add(headLine);
  Add({L"</HEAD>"});
}
void htm::start_page(const wchar_t* title, const wchar_t* headLine) {
  start_frame(title, headLine);
  Add({L"<BODY>"});
}
void htm::end_page() { Add({L"</BODY>", L"</HTML>"}); }
void htm::end_frame() { Add({L"</HTML>"}); }
void htm::assert_line(const wchar_t* line) { Add(line); }
void htm::write_str(const wchar_t* text) { AddEscaped(text); }

bool htm::nd_line(Each<const wchar_t*> k) {
  // Lines appended by the continuation are yielded too: the count is read
  // again each round.
  for (uint64_t i = 0; i < ThePage()->count; ++i)
    if (TrySolution(k, ThePage()->lines[i].text)) return true;
  return false;
}

namespace {
// Copies every line, each followed by a line feed, into text (p->units
// units and the terminator).
void JoinLines(const Page* p, wchar_t* text) {
  wchar_t* o = text;
  for (uint64_t i = 0; i < p->count; ++i) {
    memcpy(o, p->lines[i].text, p->lines[i].length * sizeof(wchar_t));
    o += p->lines[i].length;
    *o++ = L'\n';
  }
  *o = 0;
}
}  // namespace

const wchar_t* htm::all_lines() {
  const Page* p = ThePage();
  wchar_t* text = string::NewString(p->units);
  JoinLines(p, text);
  return text;
}

void htm::clear() {
  // The line array stays for the next page; its entries are dropped so
  // that the collector frees the old lines.
  Page* p = ThePage();
  if (p->lines) memset(p->lines, 0, p->count * sizeof(Line));
  p->count = p->units = 0;
}

namespace {
// Whether the code page writes every unit below 0x80 as that one byte
// (the last page asked is kept).
bool AsciiSamePage(uint32_t page) {
  static uint32_t known = ~0u;
  static bool same = false;
  if (page == known) return same;
  wchar_t units[127];
  char bytes[127];
  for (int i = 0; i < 127; ++i) units[i] = static_cast<wchar_t>(i + 1);
  same = WideCharToMultiByte(page, 0, units, 127, bytes, 127, nullptr, nullptr) == 127;
  for (int i = 0; i < 127 && same; ++i) same = bytes[i] == i + 1;
  known = page;
  return same;
}

// Whether the stream writes an ASCII text as its bytes with CR LF line ends.
bool AsciiLines(outputStream* s) {
  const Mode mode = s->getmode();
  return mode.kind == Mode::ansi && s->getcrlfconversion() &&
         AsciiSamePage(string8_api::toapicodepage(codepage::Number(mode.codePage)));
}

// The page's bytes as such a stream writes them (CR LF for every line feed)
// on the global stack; false, with nothing kept, when a unit is not ASCII.
bool AsciiBytes(const Page* p, const uint8_t** bytes, uint32_t* size) {
  uint8_t* mark = K::Memory::MarkGStack();
  auto* out = static_cast<uint8_t*>(GStackAlloc(memory::checksize(2 * (p->units + 1))));
  uint8_t* o = out;
  for (uint64_t i = 0; i < p->count; ++i) {
    const wchar_t* t = p->lines[i].text;
    const uint64_t n = p->lines[i].length;
    // One branch-free pass narrows the line and tells whether it holds a
    // unit above ASCII or a line feed; a line with a line feed is redone.
    uint16_t any = 0;
    bool lf = false;
    for (uint64_t k = 0; k < n; ++k) {
      const uint16_t c = static_cast<uint16_t>(t[k]);
      any |= c;
      lf |= c == '\n';
      o[k] = static_cast<uint8_t>(c);
    }
    if (any >= 0x80) {
      K::Memory::ReleaseGStack(mark);
      return false;
    }
    if (!lf) {
      o += n;
    } else {
      for (uint64_t k = 0; k < n; ++k) {
        if (t[k] == L'\n') *o++ = '\r';
        *o++ = static_cast<uint8_t>(t[k]);
      }
    }
    *o++ = '\r';
    *o++ = '\n';
  }
  *bytes = out;
  *size = static_cast<uint32_t>(o - out);
  return true;
}
}  // namespace

void htm::WritePage(outputStream* s) {
  // The page text lives on the global stack only while it is written.  An
  // ASCII page for an 8-bit stream goes out as its bytes in one block.
  const Page* p = ThePage();
  uint8_t* mark = K::Memory::MarkGStack();
  const uint8_t* bytes;
  uint32_t size;
  if (AsciiLines(s) && AsciiBytes(p, &bytes, &size)) {
    s->setmode(Mode::Binary());
    s->writebytes(bytes, size);
    K::Memory::ReleaseGStack(mark);
    s->flush();
    s->close();
    return;
  }
  auto* text = static_cast<wchar_t*>(GStackAlloc(memory::checksize((p->units + 1) * sizeof(wchar_t))));
  JoinLines(p, text);
  Tm::TEllipsisArgs<1> a;
  a.SetTerm(0, D(tav::domains::string), text);
  s->write(a);
  K::Memory::ReleaseGStack(mark);
  s->flush();
  s->close();
}

void htm::save_it(const wchar_t* fileName) { WritePage(outputStream_file::create(fileName)); }

const wchar_t* htm::www_file() {
  return string::concat(directory::trygetlogicaldirectory(directory::tempFolder), L"\\ZAZAV.HTML");
}

void htm::write_www(const wchar_t* title, uint32_t build, const wchar_t* download) {
  static const wchar_t* const vendor = L"kalmoraTessaro";
  static const wchar_t* const home = L"https://www.kalmoratessaro.example/";
  static const wchar_t* const email = L"support@kalmoratessaro.example";
  const wchar_t* name = www_file();
  clear();
  if (file::existfile(name)) file::delete_(name);
  start_page(title, L"");
  write_title(title);
  Add({L"<br>", L"<br>", L"You are currently running build "});
  Take(Tm::ToString(D(tav::domains::unsigned_), reinterpret_cast<Tm::term>(&build)));
  Add({L"<br>", L"<br>"});
  write_a_target(download, L"See latest Version available for download", L"");
  Add({L"<br>", L"<br>"});
  write_a_target(home, string::concat(L"Home: ", vendor), L"");
  Add({L"<br>", L"<br>"});
  write_a_target(string::concat(L"mailto:", email), string::concat(L"Email ", vendor), L"");
  end_page();
  WritePage(outputStream_file::create8(name));
  wyn::open_a_file(name);
}

// --- tables, rows and cells ---

void htm::write_table(int32_t cellpadding, int32_t cellspacing, int32_t border, int32_t width) {
  Fill(L"<table cellpadding=\"%\" cellspacing=\"%\" border=\"%\" width=\"% %\">", cellpadding,
       cellspacing, border, width, L'%');
}
void htm::write_table_end() { Add({L"</table>"}); }
void htm::write_tbody() { Add({L"<tbody>"}); }
void htm::write_tbody_end() { Add({L"</tbody>"}); }
void htm::write_tr() { Add({L"<tr>"}); }
void htm::write_tr_end() { Add({L"</tr>"}); }
void htm::write_td(const wchar_t* text) {
  Scoped([&] { Fill(kTd, E(text)); });
}
void htm::write_td_right(const wchar_t* text) {
  Scoped([&] { Fill(kTdRight, L'%', E(text)); });
}
void htm::write_td_centre(const wchar_t* text) {
  Scoped([&] { Fill(kTdCentre, L'%', E(text)); });
}
void htm::write_big_td(const wchar_t* text) {
  Scoped([&] {
    Fill(L"<td valign=\"top\" bgcolor=\"#33ff33\"><big><big><b><font face=\"Helvetica, Arial, "
         L"sans-serif\">%</font></b></big></big><br>",
         E(text));
  });
}
void htm::write_td_end() { Add({L"</td>"}); }
void htm::write_tds(const StringList* texts) {
  for (; !texts->Empty(); texts = texts->tail) {
    write_td(texts->head);
    write_td_end();
  }
}
void htm::write_table_body_list(const StringList* texts) {
  for (; !texts->Empty(); texts = texts->tail) {
    Add({L"<tr>"});
    write_td(texts->head);
    Add({L"</td>", L"</tr>"});
  }
}
void htm::write_title(const wchar_t* title) {
  write_table(2, 2, 0, 100);
  Add({L"<tbody>", L"<tr>"});
  write_big_td(title);
  Add({L"</td>", L"</tr>", L"</tbody>", L"</table>"});
}

namespace {

// A cell's opening by alignment: the cell template with an empty text,
// filled once and kept (a row of cells opens thousands of them).
void OpenCell(alignm align) {
  static const wchar_t* openings[3] = {};
  const wchar_t*& line = openings[static_cast<int>(align) - 1];
  if (!line) {
    const wchar_t* filled = align == alignm::right    ? Filled(kTdRight, L'%', L"")
                            : align == alignm::centre ? Filled(kTdCentre, L'%', L"")
                                                      : Filled(kTd, L"");
    const size_t bytes = (wcslen(filled) + 1) * sizeof(wchar_t);
    auto* kept = static_cast<wchar_t*>(K::Memory::AllocUncollectableHeap(bytes));
    memcpy(kept, filled, bytes);
    line = kept;
  }
  Take(line);
}

// One cell's markup: its opening, content and closing.
void Cell(const cell& c) {
  const cell_def& d = c.def;
  switch (d.kind) {
    case cell_def::input_cell:
      OpenCell(c.align);
      htm::write_form_input(3, d.name, c.id, false, L"");
      break;
    case cell_def::edit_box:
      OpenCell(c.align);
      htm::write_form_text(d.text, c.id);
      break;
    case cell_def::checkbox:
      OpenCell(c.align);
      htm::write_form_input(1, d.name, c.id, d.flag, d.attribute);
      break;
    case cell_def::radio:
      OpenCell(c.align);
      htm::write_form_input(2, d.name, c.id, d.flag, d.attribute);
      break;
    case cell_def::label:
      OpenCell(c.align);
      if (d.flag) htm::write_italic_str(d.text);
      else htm::write_str(d.text);
      break;
    case cell_def::listbox:
      OpenCell(c.align);
      htm::write_form_select(d.name, d.attribute[0] ? 5 : 1, d.options, d.attribute, d.selected);
      break;
    case cell_def::submit:
      OpenCell(alignm::left);
      htm::write_submit(d.text);
      break;
    case cell_def::hidden:
      OpenCell(alignm::left);
      htm::write_hidden(d.name, c.id);
      break;
    case cell_def::tablex:
      OpenCell(alignm::left);
      htm::write_table(d.table[0], d.table[1], d.table[2], d.table[3]);
      htm::write_tbody();
      return;  // the cell stays open for the nested table
    case cell_def::tablex_end:
      Add({L"</tbody>", L"</table>", L"</td>"});
      return;
    case cell_def::list_item: return htm::write_li(d.text);
    case cell_def::select: {
      Scoped([&] {
        htm::write_form_select(d.name, d.size, d.options, L"", MakeStringList({d.attribute}));
      });
      return;
    }
    case cell_def::button: return htm::write_button(d.text);
    case cell_def::scripted_button: return htm::write_scripted_button(d.name, d.attribute);
    case cell_def::hr: return htm::write_hr();
    case cell_def::a: return htm::write_a(d.text, d.attribute);
  }
  htm::write_td_end();
}

}  // namespace

void htm::do_row(const cell* cells, size_t count) {
  for (size_t i = 0; i < count; ++i) Cell(cells[i]);
}

// --- text, lists, links and rules ---

void htm::write_italic_str(const wchar_t* text) {
  Scoped([&] {
    Fill(L"<font face=\"Helvetica, Arial, sans-serif\"><i>%</i><br></font>", E(text));
  });
}
void htm::write_big_str(const wchar_t* text) {
  Scoped([&] {
    Fill(L"<font face=\"Helvetica, Arial, sans-serif\"><b><big>%</big></b><br></font>", E(text));
  });
}
void htm::write_br() { Add({L"<br>"}); }
void htm::write_hr() { Add({L"<hr>"}); }
void htm::write_ul() { Add({L"<ul>"}); }
void htm::write_ul_end() { Add({L"</ul>"}); }
void htm::write_li(const wchar_t* text) {
  Scoped([&] { Fill(L"<LI>%</LI>", E(text)); });
}
void htm::write_bulleted_list(const StringList* texts) {
  Add({L"<UL>"});
  for (; !texts->Empty(); texts = texts->tail) write_li(texts->head);
  Add({L"</UL>"});
}
void htm::write_a(const wchar_t* address, const wchar_t* text) {
  Scoped([&] { Fill(L"<a href=\"%\">%</a>", E(address), E(text)); });
}
void htm::write_a_target(const wchar_t* address, const wchar_t* text, const wchar_t* target) {
  Scoped([&] { Fill(L"<a href=\"%\" TARGET=\"%\" >%</a>", E(address), E(target), E(text)); });
}

// --- forms ---

void htm::write_form(const wchar_t* name, const wchar_t* action) {
  Scoped([&] { Fill(L"<FORM ACTION=\"%\" name=\"%\" method=\"GET\">", E(action), E(name)); });
}
void htm::write_form_end() { Add({L"</FORM>"}); }

void htm::write_form_input(int32_t kind, const wchar_t* name, const wchar_t* value, bool checked,
                           const wchar_t* extra) {
  Scoped([&] {
    switch (kind) {
      case 1:
        return Fill(L"<INPUT TYPE=\"CHECKBOX\" Name=\"%\" VALUE=\"%\" % % >", E(name), E(value),
                    extra, Checked(checked));
      case 2:
        return Fill(L"<INPUT TYPE=\"RADIO\" Name=\"%\" VALUE=\"%\" % %>", E(name), E(value), extra,
                    Checked(checked));
      case 3:
        return Fill(L"<INPUT TYPE=\"TEXT\" Name=\"%\" VALUE=\"%\" SIZE=\"15\" %>", E(name),
                    E(value), extra);
      default: return;
    }
  });
}

void htm::write_form_select(const wchar_t* name, uint32_t size, const StringList* options,
                            const wchar_t* extra, const StringList* selected) {
  Scoped([&] {
    Fill(L"<SELECT Name=\"%\" % SIZE=\"%\">", E(name), extra, size);
    for (; !options->Empty(); options = options->tail)
      Fill(Member(options->head, selected) ? L"<OPTION SELECTED>%</OPTION>" : L"<OPTION>%</OPTION>",
           E(options->head));
  });
  Add({L"</SELECT>"});
}

void htm::write_form_text(const wchar_t* text, const wchar_t* name) {
  Scoped([&] {
    Fill(L"<TEXTAREA Name=\"%\" ROWS=\"10\" COLS=\"40\">", E(name));
  });
  AddEscaped(text);
  Add({L"</TEXTAREA>"});
}

void htm::write_form_fieldset(const wchar_t* legend) {
  Scoped([&] { Fill(L"<FIELDSET>\n<LEGEND ALIGN=\"TOP\">,%,</LEGEND>\n", E(legend)); });
}
void htm::write_form_fieldset_end() { Add({L"</FIELDSET>"}); }
void htm::write_submit(const wchar_t* caption) {
  Scoped([&] { Fill(L"<p>  <input type=\"submit\" value=\"%\">  </p>", E(caption)); });
}
void htm::write_hidden(const wchar_t* name, const wchar_t* value) {
  Scoped([&] {
    Fill(L"<p>  <input type=\"hidden\" name=\"%\" value=\"%\">  </p>", E(name), E(value));
  });
}
void htm::write_button(const wchar_t* caption) {
  Scoped([&] {
    Fill(L"<BUTTON ><SPAN STYLE=\"text-decoration:underline\">%</SPAN></BUTTON>", E(caption));
  });
}
void htm::write_scripted_button(const wchar_t* name, const wchar_t* script) {
  Scoped([&] {
    const wchar_t* n = E(name);
    Fill(L"<INPUT TYPE=\"BUTTON\" Name=\"%\" value=\"%\" onclick=\"%\">", n, n, E(script));
  });
}

}  // namespace rizediveva6
