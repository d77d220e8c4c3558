#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) { int reps = argc > 1 ? atoi(argv[1]) : 1; long long keep = 0; volatile int n = 1000000; int a = 0, b = 0, c = 0;
  for (int r = 0; r < reps; r++) { int i = 0; a = b = c = 0;
    while (i < n) { i++; if (i % 3 == 0) a += 1; else if (i % 3 == 1) b += 2; else c += 3; } keep += a + b + c; }
  if (keep == -1) puts("");
  printf("%d %d %d\n", a, b, c); return 0; }
