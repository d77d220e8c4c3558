#include <stdio.h>
#include <stdlib.h>
/* Each program repeats its work argv[1] times so its time stands above the
   noise of a process start; the runner divides by the count. */
int main(int argc, char** argv) { int reps = argc > 1 ? atoi(argv[1]) : 1; long long keep = 0; volatile int n = 5000000; int s = 0;
  for (int r = 0; r < reps; r++) { s = 0; for (int i = 1; i <= n; i++) s = s + (i * 2) % 7; keep += s; }
  if (keep == -1) puts("");
  printf("%d\n", s); return 0; }
