#include <stdio.h>
int main(void) { printf("0\n"); return 0; }
