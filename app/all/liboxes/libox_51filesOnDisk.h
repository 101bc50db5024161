// libox_51filesOnDisk: the list view of the roster documents the program
// knows of (the recently used files): file, change time, a sortable form
// of it, description and roster start.  A double click opens a document,
// the menu scans folders for current or previous-version documents and
// moves checked files to the recycle bin.
//
// Invariants:
//  - The rows are those of the recent files that exist at the last
//    update_libox, the last used file first; a file whose description
//    cannot be read gives no row.  Reading never writes a document.
//  - db_stop holds the "Stop" window only while a scan runs; at most one
//    scan runs at a time, and every way out of it clears db_stop and
//    closes the window.
//  - Once destroy_scroll2 has run the object draws nothing: a scan that
//    runs then ends at its next poll without a refresh.
#pragma once

#include "KWI/orvtoolkwi/libox.h"
#include "KWI/stop_pack/stop.h"

namespace all {

class libox_51filesOnDisk : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10089;
  // Scan kinds.
  static constexpr uint32_t kPreviousVersion = 1, kCurrentVersion = 2;
  static rizediveva6::stop* db_stop;

  static libox_51filesOnDisk* new_libox_51filesondisk(LONG_PTR window);

  virtual void destroy_scroll2();
  // False for an id other than 10090, 10091 and 10092.
  virtual bool popup_callback(uint32_t id);
  virtual void update_libox();

  // The walk of a scan from `folder` (kind 1 or 2) under a "Stop" window
  // over `parent`: found files join the recent files.  False when another
  // scan runs or the list was removed meanwhile (then nothing is drawn).
  bool scan_folder(uint32_t kind, const wchar_t* folder, LONG_PTR parent);
  // Opens the document, backup or previous-version file; false (nothing
  // done) for another kind of file or while a document is open.
  bool open_it(const wchar_t* file);

  rizediveva6::libox* list_box() { return this; }

 private:
  static void _lbox_dbl(void* self, uint32_t column, uint32_t row, const rizediveva6::line& l);
  const rizediveva6::List<rizediveva6::line>* make_lines_x();
  // False when the picker was cancelled or another scan runs.
  bool scan(uint32_t kind);
  void send_to_recycle();

  uint32_t xcount_ = 0;
  bool removed_ = false;
};

}  // namespace all
