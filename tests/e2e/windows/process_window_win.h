#pragma once
// Finding the top-level window of one class that belongs to one process,
// for test programs that watch their own windows or those of a child.

#include <windows.h>

#include <string>

namespace zevrino::e2e {

namespace process_window_detail {
struct Query {
  DWORD process_id;
  const wchar_t* window_class;
  HWND found;
};
inline BOOL CALLBACK Match(HWND window, LPARAM parameter) {
  auto* query = reinterpret_cast<Query*>(parameter);
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (process_id == query->process_id && std::wstring(name) == query->window_class) {
    query->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace process_window_detail

// The first top-level window (hidden ones included) of class `window_class`
// owned by process `process_id`, or null.
inline HWND FindProcessWindow(DWORD process_id, const wchar_t* window_class) {
  process_window_detail::Query query = {process_id, window_class, nullptr};
  EnumWindows(process_window_detail::Match, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

}  // namespace zevrino::e2e
