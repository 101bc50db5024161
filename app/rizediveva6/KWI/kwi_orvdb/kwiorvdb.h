// kwiORVDB: the roster document object of the program's windows: an orvDB
// part plus the user's dialogs of a save: the question "Save <name> ?" for
// an opened, modified document, and the "Save file as" dialog for a
// document without a file.
//
// Invariants:
//  - Operations it does not override are the orvDB part's; orv_close is the
//    part's and so never asks.
//  - The question and the file dialog go through myKWI's seam.
//  - A "Save" answer clears the modified flag only after the file was
//    written; "Forget" and "Cancel" write nothing and keep the flag.
#pragma once

#include "SYSTEM/mychaindb/orvdb.h"

namespace rizediveva6 {

class kwiORVDB : public document {
 public:
  static const tav::ClassInfo classInfo;

  static kwiORVDB* new_file_def_kwi(const file_def* fd);
  static kwiORVDB* new_invalid_kwi(const file_def* fd);

  void set_dont_ask() override;
  const saved_result* orv_quiet_save_as(bool adoptName, const wchar_t* newName) override;
  const saved_result* orv_save(const SList* filter) override;
  virtual const saved_result* orv_save_as(const SList* filter);
  const wchar_t* get_folder() override;
  tav::chainDB* orv_get_chaindb() override;
  const closed_result* orv_close(const SList* filter, bool saveFirst) override;
  const file_def* get_file_name() override;
  void set_as_modified(bool modified) override;
  bool is_modified() override;
  bool is_good_state() override;
  void eventually_force_save_as(const wchar_t* text, const wchar_t* pattern) override;
  const saved_result* save_my_db(uint32_t state, const file_def* fd, const SList* filter) override;
  uint32_t get_state() override;

  orvDB* part = nullptr;
  bool boo_ask = false;

 private:
  const saved_result* SaveAs(uint32_t state, const file_def* fd, const SList* filter);
  const saved_result* SaveAsDialog(const SList* filter);
};

}  // namespace rizediveva6
