#include <stdio.h>
#include <stdlib.h>
__attribute__((noinline)) static int f(int x, int y) { return (x * 3 + y) % 1009; }
int main(int argc, char** argv) { int reps = argc > 1 ? atoi(argv[1]) : 1; long long keep = 0; volatile int n = 1000000; int s = 0;
  for (int r = 0; r < reps; r++) { s = 0; for (int i = 1; i <= n; i++) s = f(s, i); keep += s; }
  if (keep == -1) puts("");
  printf("%d\n", s); return 0; }
