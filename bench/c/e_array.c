#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) { int reps = argc > 1 ? atoi(argv[1]) : 1; long long keep = 0; volatile int n = 1000000; int* a = calloc(n + 1, sizeof(int)); int s = 0;
  for (int r = 0; r < reps; r++) { s = 0; for (int i = 1; i <= n; i++) a[i] = i % 1000; for (int i = 1; i <= n; i++) s += a[i]; keep += s; }
  if (keep == -1) puts("");
  printf("%d\n", s); free(a); return 0; }
