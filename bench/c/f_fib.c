#include <stdio.h>
#include <stdlib.h>
__attribute__((noinline)) static int fib(int n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
int main(int argc, char** argv) { int reps = argc > 1 ? atoi(argv[1]) : 1; long long keep = 0; volatile int n = 25; int v = 0;
  for (int r = 0; r < reps; r++) { v = fib(n); keep += v; }
  if (keep == -1) puts("");
  printf("%d\n", v); return 0; }
