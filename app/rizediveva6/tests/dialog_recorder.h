// The message seam replaced by a recorder for a test: every text shown
// (note, error, message line, question, file dialog) is recorded in order
// with its kind; questions and file dialogs take their answers from a
// script.  The previous table comes back when the recorder ends.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "SYSTEM/myKWI/myKWI.h"

namespace rztest {

class DialogRecorder {
 public:
  struct Shown {
    std::wstring kind;  // "note", "error", "message", "ask", "getfilename", "close_app"
    std::wstring text;
    bool operator==(const Shown&) const = default;
  };

  DialogRecorder() {
    current_ = this;
    rizediveva6::Dialogs d{};
    d.note = [](const wchar_t* t) { current_->Record(L"note", t); };
    d.error = [](const wchar_t* t) { current_->Record(L"error", t); };
    d.message_write = [](const wchar_t* t) { current_->Record(L"message", t); };
    d.close_app = [] { current_->Record(L"close_app", L""); };
    d.ask = [](const wchar_t* q, const tav::StringList* buttons, uint32_t* answer) {
      std::wstring text = q;
      for (; !buttons->Empty(); buttons = buttons->tail) text += std::wstring(L"|") + buttons->head;
      current_->Record(L"ask", text.c_str());
      std::optional<uint32_t> a = current_->Next(current_->answers_);
      if (a) *answer = *a;
      return a.has_value();
    };
    d.getfilename = [](const rizediveva6::FileDialogRequest& r, const wchar_t** chosen,
                       const tav::StringList** selected) {
      std::wstring text = std::wstring(r.title) + L"|" + r.initialName + L"|" + r.startFolder;
      for (const tav::StringList* f = r.filters; !f->Empty(); f = f->tail) text += std::wstring(L"|") + f->head;
      for (uint32_t i = 0; i < r.flagCount; ++i) text += L"|flag" + std::to_wstring(r.flags[i]);
      current_->Record(L"getfilename", text.c_str());
      std::optional<std::wstring> name = current_->Next(current_->names_);
      if (!name) return false;
      *chosen = tav::HeapCopy(name->c_str());
      *selected = tav::EmptyStringList();
      return true;
    };
    previous_ = rizediveva6::myKWI::set_dialogs(d);
  }
  ~DialogRecorder() {
    rizediveva6::myKWI::set_dialogs(previous_);
    current_ = nullptr;
  }

  // Scripted answers: a button index, or none for a box closed without one;
  // a file name, or none for a cancelled dialog.
  void Answer(std::optional<uint32_t> a) { answers_.push_back(a); }
  void Choose(std::optional<std::wstring> name) { names_.push_back(name); }

  const std::vector<Shown>& shown() const { return shown_; }
  std::vector<std::wstring> Texts(const std::wstring& kind) const {
    std::vector<std::wstring> t;
    for (const Shown& s : shown_)
      if (s.kind == kind) t.push_back(s.text);
    return t;
  }
  void Clear() { shown_.clear(); }

 private:
  void Record(const wchar_t* kind, const wchar_t* text) { shown_.push_back({kind, text}); }
  template <class V>
  std::optional<V> Next(std::deque<std::optional<V>>& script) {
    if (script.empty()) return std::nullopt;
    std::optional<V> v = script.front();
    script.pop_front();
    return v;
  }

  static inline DialogRecorder* current_ = nullptr;
  rizediveva6::Dialogs previous_{};
  std::vector<Shown> shown_;
  std::deque<std::optional<uint32_t>> answers_;
  std::deque<std::optional<std::wstring>> names_;
};

}  // namespace rztest
