#include "gui.h"

namespace kwitest {

static const char* const kNames[] = {
    "?", "create", "destroy", "getfocus", "losefocus", "size", "move", "update", "erase",
    "closerequest", "mousedown", "mouseup", "mousedbl", "mousemove", "char", "keydown", "keyup",
    "vscroll", "hscroll", "menu", "initmenu", "control", "timer", "measure", "ownerdraw", "dde",
    "endsession", "native", "user", "endapplication", "state", "activate", "deactivate"};

std::string Describe(const event_struct* e) {
  char buf[200];
  const char* name = e->kind < 33 ? kNames[e->kind] : "?";
  switch (e->kind) {
    case e_mousedown: case e_mouseup: case e_mousedbl: {
      auto* p = reinterpret_cast<const pnt_struct*>(e->w[0]);
      snprintf(buf, sizeof buf, "%s %d %d %lld %lld", name, p->x, p->y, (long long)e->w[1],
               (long long)e->w[2]);
      return buf;
    }
    case e_mousemove: {
      auto* p = reinterpret_cast<const pnt_struct*>(e->w[0]);
      std::string s;
      for (auto v : Values(reinterpret_cast<const ilist_struct*>(e->w[2])))
        s += (s.empty() ? "" : ",") + std::to_string(v);
      snprintf(buf, sizeof buf, "%s %d %d %lld [%s]", name, p->x, p->y, (long long)e->w[1], s.c_str());
      return buf;
    }
    case e_control: {
      auto* ci = reinterpret_cast<const controlinfo*>(e->w[3]);
      static const char* const infos[] = {"?", "scroll", "getfocus", "losefocus", "modified",
                                          "selchanged", "activated", "closeup", "dropdown"};
      snprintf(buf, sizeof buf, "%s %lld %lld %s", name, (long long)e->w[0], (long long)e->w[1],
               ci->alt < 9 ? infos[ci->alt] : "?");
      std::string s = buf;
      if (ci->alt == ci_scroll) s += " " + std::to_string(ci->code) + " " + std::to_string(ci->position);
      return s;
    }
    case e_update: case e_getfocus: case e_losefocus: case e_erasebackground:
    case e_closerequest: case e_destroy: case e_initmenu: case e_activate: case e_deactivate:
      return name;
    case e_create: case e_timer: case e_endsession: case e_endapplication:
      snprintf(buf, sizeof buf, "%s %lld", name, (long long)e->w[0]);
      return buf;
    case e_ownermeasureitem:
      snprintf(buf, sizeof buf, "%s %lld %lld %lld %lld", name, (long long)e->w[0],
               (long long)e->w[1], (long long)e->w[2], (long long)e->w[3]);
      return buf;
    default:
      snprintf(buf, sizeof buf, "%s %lld %lld", name, (long long)e->w[0], (long long)e->w[1]);
      return buf;
  }
}

std::vector<LONG_PTR>& Reported() {
  static std::vector<LONG_PTR> codes;
  return codes;
}

static void OnError(LONG_PTR, LONG_PTR code) { Reported().push_back(code); }

void RunInTask(const std::function<void(HWND)>& body, TaskOptions options) {
  Terms t;
  PROLOG_ERRHANDLER_STRUCT errors{reinterpret_cast<void*>(&OnError), nullptr};
  kwi_SetErrorHandler(&errors);
  HWND task = nullptr;
  Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind == e_create) {
      task = w;
      PostMessageW(w, 0xC00F, kRunBody, 0);
      return 0;
    }
    if (e->kind == e_user && e->w[0] == static_cast<LONG_PTR>(kRunBody)) {
      body(w);
      if (IsWindow(w)) DestroyWindow(w);
      return 0;
    }
    if (options.events) return options.events(w, e);
    Fail();
  });
  kwi_Init(t.Flags(options.flags), &handler, options.menu ? t.ResMenu(options.menu) : t.NoMenu(),
           nullptr, options.title);
  if (task && IsWindow(task)) DestroyWindow(task);
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
}

void SendKey(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

void DragMouse(HWND w, POINT from, POINT to) {
  auto at = [&](POINT p) {
    ClientToScreen(w, &p);
    SetCursorPos(p.x, p.y);
    PumpUntil([] { return false; }, 60);
  };
  auto button = [](DWORD flag) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;
    SendInput(1, &in, sizeof in);
    PumpUntil([] { return false; }, 60);
  };
  at(from);
  button(MOUSEEVENTF_LEFTDOWN);
  for (int i = 1; i <= 4; ++i) at({from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4});
  button(MOUSEEVENTF_LEFTUP);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    kwi_ProcessEvents(1, 0);
    Sleep(5);
  }
  return true;
}

// PNG with stored (uncompressed) deflate blocks.
static uint32_t Crc(const uint8_t* p, size_t n, uint32_t c = 0xFFFFFFFFu) {
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t v = i;
      for (int k = 0; k < 8; ++k) v = v & 1 ? 0xEDB88320u ^ (v >> 1) : v >> 1;
      table[i] = v;
    }
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c;
}

static void Be32(std::vector<uint8_t>& o, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) o.push_back(static_cast<uint8_t>(v >> s));
}

static void Chunk(std::vector<uint8_t>& o, const char* type, const std::vector<uint8_t>& data) {
  Be32(o, static_cast<uint32_t>(data.size()));
  size_t start = o.size();
  o.insert(o.end(), type, type + 4);
  o.insert(o.end(), data.begin(), data.end());
  Be32(o, Crc(o.data() + start, o.size() - start) ^ 0xFFFFFFFFu);
}

bool SaveScreenPng(const RECT& r, const wchar_t* path, bool* varied) {
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> raw;
  const auto* px = static_cast<const uint8_t*>(bits);
  *varied = false;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = px + y * stride + x * 3;
      raw.push_back(p[2]);
      raw.push_back(p[1]);
      raw.push_back(p[0]);
      if (memcmp(p, px, 3) != 0) *varied = true;
    }
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  std::vector<uint8_t> z{0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t i = 0; i < raw.size() || i == 0; i += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - i);
    z.push_back(i + n >= raw.size() ? 1 : 0);
    z.push_back(n & 0xFF);
    z.push_back(n >> 8);
    z.push_back(~n & 0xFF);
    z.push_back((~n >> 8) & 0xFF);
    z.insert(z.end(), raw.begin() + i, raw.begin() + i + n);
  }
  Be32(z, (b << 16) | a);
  std::vector<uint8_t> png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  Be32(ihdr, w);
  Be32(ihdr, h);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  FILE* f = _wfopen(path, L"wb");
  if (!f) return false;
  bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  fclose(f);
  return ok;
}

}  // namespace kwitest
