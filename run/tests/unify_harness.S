/* A unify routine as generated code has it, for integer reference cells,
 * and a C-callable driver.
 *   uint64_t run_harness_unify(cell* x, cell* y, domain*): 1 when RUN_Unify
 *   bound a variable, 2 when the routine compared two bound cells; fails
 *   (Run_Fail) when they differ. */
#include "qel6kernel_asm.h"
#define RUN_Unify _ZN3Qel7RunTime5Terms9RUN_UnifyEv
#define Coerse_ECX _ZN3Qel7RunTime5Terms10Coerse_ECXEv

        .intel_syntax noprefix
        .text

        .p2align 4
unify_integer:
        mov     rbp, rsp
        mov     rax, rbx                    /* the domain */
        KCALL   RUN_Unify
        mov     rax, [rdi + 8]              /* both bound: compare values */
        cmp     rax, [rsi + 8]
        jne     1f
        mov     qword ptr [rip + run_harness_path], 2
        add     rsp, 16
        pop     rbp
        ret
1:      KJMP    Run_Fail

        .globl  run_harness_unify
        .p2align 4
run_harness_unify:
        push    rbp
        push    rbx
        push    rsi
        push    rdi
        mov     qword ptr [rip + run_harness_path], 1
        lea     rax, [rip + 2f]
        push    rax                         /* continuation */
        push    rbp                         /* the caller's frame pointer */
        push    rdx                         /* Y */
        push    rcx                         /* X */
        mov     rbx, r8
        jmp     unify_integer
2:      mov     rax, [rip + run_harness_path]
        pop     rdi
        pop     rsi
        pop     rbx
        pop     rbp
        ret

/* void* run_harness_coerse(cell*): Coerse_ECX, keeping rdx and r8. */
        .globl  run_harness_coerse
        .p2align 4
run_harness_coerse:
        mov     rdx, 0x1122334455667788
        mov     r8, rdx
        KCALL   Coerse_ECX
        cmp     rdx, r8
        jne     3f
        mov     rax, rcx
        ret
3:      xor     eax, eax
        ret

        .data
        .globl  run_harness_path
run_harness_path:
        .quad   0
