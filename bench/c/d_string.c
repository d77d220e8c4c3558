#include <stdio.h>
#include <stdlib.h>
#include <string.h>
/* Appends through a temporary copy, as an interpreter's T = T + c does. */
static char t[60001], tmp[60001];
int main(int argc, char** argv) { int reps = argc > 1 ? atoi(argv[1]) : 1; long long keep = 0; volatile int n = 60000; int c = 0;
  for (int r = 0; r < reps; r++) { size_t len = 0; t[0] = 0;
    for (int i = 1; i <= n; i++) { memcpy(tmp, t, len); tmp[len] = (char)(65 + i % 26); tmp[len + 1] = 0; memcpy(t, tmp, len + 2); len++; }
    c = 0; for (int k = 1; k <= 1000; k++) { const char* s = t + k * 50 - 1; c += (unsigned char)s[0] + (int)strnlen(s, 5); } keep += c + t[r % 60000]; }
  if (keep == -1) puts("");
  printf("%d %d\n", (int)strlen(t), c); return 0; }
