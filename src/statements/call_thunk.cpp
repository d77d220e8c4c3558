// The i686 call trampoline behind external calls.
//
// Written as a whole function in assembly rather than inline asm inside a
// C++ function: the compiler may address locals relative to ESP, which is
// exactly what moves while the words are pushed and what a callee of the
// other convention leaves unbalanced. Here EBP holds the frame for the whole
// call and ESP is rebuilt from it afterwards.
#include "statements/call_thunk.h"

#if !defined(__i386__)
#error "the external-call trampoline is written for 32-bit x86"
#endif

// Frame: 8(%ebp) fn, 12(%ebp) words, 16(%ebp) count, 20(%ebp) st0.
// EBX, ESI and EDI are saved below EBP; every convention preserves them and
// EBP, so they survive the call whatever the callee does with ESP.
asm(R"(
    .text
    .globl _callWithWords
    .def _callWithWords; .scl 2; .type 32; .endef
    .p2align 4
_callWithWords:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  8(%ebp), %ebx
    movl  12(%ebp), %esi
    movl  16(%ebp), %ecx
    # Align so the first word lands on a 16-byte boundary, as compilers
    # that keep the stack aligned expect of their callers.
    leal  0(,%ecx,4), %eax
    subl  %eax, %esp
    andl  $-16, %esp
    addl  %eax, %esp
1:  testl %ecx, %ecx
    jz    2f
    pushl -4(%esi,%ecx,4)
    decl  %ecx
    jmp   1b
2:  call  *%ebx
    leal  -12(%ebp), %esp
    movl  20(%ebp), %ecx
    testl %ecx, %ecx
    jz    3f
    fstpl (%ecx)
3:  popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");
