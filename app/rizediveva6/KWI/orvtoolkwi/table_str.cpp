// table_str: see the header.
#include "KWI/orvtoolkwi/table_str.h"

#include "KWI/Wyn/checked.h"
#include "KWI/orvtoolkwi/object_handler.h"
#include "kwi/kwi.h"
#include "kwi/kwidomains.h"
#include "stream/stream.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;

const tav::ClassInfo table_str::classInfo{L"qel6pack/ORVtoolKWI/table_str", TAV_CLASS_VERSION};

namespace {

constexpr const wchar_t* kClass = L"cust_lbox";

// The list control's class, once per process.
void RegisterListClass() {
  static bool registered = false;
  if (registered) return;
  class_Create(kClass, tav::NoEventHandler());
  registered = true;
}

windef_list_struct* Definition() {
  return kd::Windefs({
      kd::DlgFont(wt_modal, kd::Rect(50, 40, 331, 288), L"table_str", kd::kDialogUnits, L"MS Sans Serif", 8,
                  kd::Ints({70, 4, 9, 2})),
      kd::Ctl(wt_pushbutton, kd::Rect(16, 4, 64, 16), L"Print", table_str::kPrint, kd::Ints({25, 26})),
      kd::Ctl(wt_pushbutton, kd::Rect(72, 4, 120, 16), L"to clipboard", table_str::kCopy, kd::Ints({25, 26})),
      kd::CustomCtl(wt_custom, kd::Rect(12, 22, 272, 240), L"Table", kd::kDialogUnits, kClass, table_str::kList,
                    kd::Ints({25, 26, 1, 512})),
  });
}

bool IsControl(const event_struct* e, int id) { return e->kind == e_control && e->w[0] == id; }

}  // namespace

table_str* table_str::new_() { return tav::NewObject<table_str>(); }

libox* table_str::list() const {
  if (!xlibox_) K::Errors::RunTimeError(329, L"xlibox", L"table_str");
  return xlibox_;
}

void table_str::show(LONG_PTR parent, const List<const SList*>* rows) {
  xslists_ = rows;
  RegisterListClass();
  win_CreateDynDialog(parent, Definition(), ObjectHandler<table_str, &table_str::on_event>(this), 0);
}

void table_str::set_up(LONG_PTR dialog) {
  K::Succeeds([&] {
    const LONG_PTR control = win_GetCtlHandle(dialog, kList);
    xlibox_ = libox::new_(L"table_str", Screen(control));
    win_SetSubClassHandler(control, xlibox_->event_handler(), 0);
  });
  K::Succeeds([&] {
    libox* l = list();
    l->set_title_tb(TitleTb(10, 20));
    l->set_top(20);
    l->prevent_col_reorder(true);
    l->add_cols(AsSList(tav::MakeStringList({L"", L"", L"", L"", L"", L"", L"", L"", L""})));
    l->set_left(2);
    l->set_col_widths(false, MakeList<uint32_t>({0, 30, 60, 90, 120, 150, 180, 210, 240}));
    l->move_scroll_on_resize_bound();
  });
}

void table_str::fill() {
  libox* l = list();
  l->lbox_clear();
  uint8_t* mark = K::Memory::MarkGStack();
  l->lbox_add(xslists_);
  K::Memory::ReleaseGStack(mark);
  l->lbox_draw();
}

LONG_PTR table_str::on_event(LONG_PTR w, event_struct* e) {
  switch (e->kind) {
    case e_create:
      thiswin_ = w;
      set_up(w);
      fill();
      break;
    case e_update:
      list()->lbox_draw();
      break;
    case e_size: {
      const int32_t width = int32_t(e->w[0]), height = int32_t(e->w[1]);
      rect_struct r{10, 30, checked::Sub(width, 10), checked::Sub(height, 10)};
      win_Move(win_GetCtlHandle(w, kList), &r);
      break;
    }
    case e_control:
      if (IsControl(e, kCopy)) {
        list()->to_exel_cb();
        return 0;
      }
      if (IsControl(e, kPrint)) {
        K::Succeeds([&] { list()->lbox_print(L"ORV"); });
        return 0;
      }
      if (IsControl(e, kList)) return 0;
      break;
    default:
      break;
  }
  K::Fail();
}

}  // namespace rizediveva6
