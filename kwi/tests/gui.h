// Running test bodies inside the task window's message loop, event logs and
// screenshots.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "testlib.h"

namespace kwitest {

constexpr WPARAM kRunBody = 0x4B57;

// Text of an event for logs: kind name and payload.
std::string Describe(const event_struct* e);

// Errors reported to the error-handler closure while a task runs.
std::vector<LONG_PTR>& Reported();

struct TaskOptions {
  std::vector<int64_t> flags{9, 4, 5, 6, 2};
  unsigned menu = 1;  // 0: no menu
  const wchar_t* title = L"Kwi task";
  Handler events;     // the task's own events (default: fail)
};

// kwi_Init with a handler that runs body(task) from inside the loop and then
// closes the task window; returns when kwi_Init returns.
void RunInTask(const std::function<void(HWND)>& body, TaskOptions options = {});

// Pumps messages through the layer until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 2000);

// A key pressed (up false) or released with SendInput.
void SendKey(WORD vk, bool up);
// A left-button drag through the input queue: pressed at `from`, moved in
// four steps to `to` and released there (client points of w), messages
// pumped after each step.
void DragMouse(HWND w, POINT from, POINT to);

// Saves the screen rectangle as a 24-bit PNG.
bool SaveScreenPng(const RECT& r, const wchar_t* path, bool* varied);

}  // namespace kwitest
