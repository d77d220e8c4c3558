#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
/* The same messages through a plain window procedure that counts them. */
static long calls;
static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) { calls++; return DefWindowProcA(h, m, w, l); }
int main(int argc, char** argv) { int reps = argc > 1 ? atoi(argv[1]) : 1; long long keep = 0; const int n = 20000;
  WNDCLASSA wc = {0}; wc.lpfnWndProc = proc; wc.hInstance = GetModuleHandleA(NULL); wc.lpszClassName = "bench"; RegisterClassA(&wc);
  for (int r = 0; r < reps; r++) {
    HWND h = CreateWindowA("bench", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL, wc.hInstance, NULL);
    calls = 0; for (int i = 0; i < n; i++) SetWindowTextA(h, "x");
    DestroyWindow(h); keep += calls; }
  if (keep == -1) puts("");
  printf("%d\n", calls >= n); return 0; }
