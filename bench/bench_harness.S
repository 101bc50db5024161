/* Loops over the kernel's register-convention entries, as generated code
 * would run them. */
#include "qel6kernel_asm.h"

        .intel_syntax noprefix
        .text

.macro PROLOGUE
        push    rbp
        push    rbx
        push    rsi
        push    rdi
        push    r12
        mov     rbp, rsp
        sub     rsp, 16
        mov     [rbp - 8], rcx
.endm
.macro EPILOGUE
        mov     rsp, rbp
        pop     r12
        pop     rdi
        pop     rsi
        pop     rbx
        pop     rbp
        ret
.endm

/* void bench_push_fail(uint64_t n): n × (Stkb2, Run_Fail). */
        .globl  bench_push_fail
bench_push_fail:
        PROLOGUE
1:      lea     rax, [rip + 2f]
        KCALL   Stkb2
        KJMP    Run_Fail
2:      pop     rbp
        dec     qword ptr [rbp - 8]
        jnz     1b
        EPILOGUE

/* void bench_push_cut(uint64_t n): n × (Stkb1, Cut_Prolog). */
        .globl  bench_push_cut
bench_push_cut:
        PROLOGUE
1:      lea     rax, [rip + 2f]
        KCALL   Stkb1
        KCALL   Cut_Prolog
        lea     rsp, [rbp - 16]
        dec     qword ptr [rbp - 8]
        jnz     1b
2:      EPILOGUE

/* void bench_trail(uint64_t rounds, void* cell): rounds × (push a point,
 * trail the cell 1000 times, fail back: undo 1000 entries). */
        .globl  bench_trail
bench_trail:
        PROLOGUE
        mov     [rbp - 16], rdx
1:      lea     rax, [rip + 3f]
        KCALL   Stkb2
        mov     rdi, [rbp - 16]
        mov     ebx, 1000
2:      KCALL   Trail_EDI
        dec     ebx
        jnz     2b
        KJMP    Run_Fail
3:      pop     rbp
        dec     qword ptr [rbp - 8]
        jnz     1b
        EPILOGUE
