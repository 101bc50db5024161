/*
 * Assembler harnesses that behave like compiled predicates, so the
 * register-convention entries are tested the way generated code uses them.
 */
#include "qel6kernel_asm.h"

        .intel_syntax noprefix
        .text

/* struct MemberRun { cell*, list*, callback(ctx, cell), ctx, cut, count }:
 * offsets 0, 8, 16, 24, 32, 40. */

/* member(Cell, List): binds Cell (trailed) to each element of List in turn.
 * rcx = cell, rdx = list.  A list cell is {1, head, tail}, the empty list {2}.
 * Frame: [rbp-8] cell, [rbp-16] current list. */
        .p2align 4
member:
        push    rbp
        mov     rbp, rsp
        sub     rsp, 16
        mov     [rbp - 8], rcx
        mov     [rbp - 16], rdx
1:      mov     rdx, [rbp - 16]
        cmp     qword ptr [rdx], 1
        jne     3f
        lea     rax, [rip + 2f]
        KCALL   Stkb1
        mov     rdi, [rbp - 8]
        KCALL   Trail_EDI
        mov     rdx, [rbp - 16]
        mov     rax, [rdx + 8]
        mov     qword ptr [rdi], 1
        mov     [rdi + 8], rax
        KJMP    JmpReturn1                  /* succeed, keeping the frame */
2:      sub     rsp, 16                     /* retry: rsp = rbp */
        mov     rdx, [rbp - 16]
        mov     rdx, [rdx + 16]
        mov     [rbp - 16], rdx
        jmp     1b
3:      KJMP    Run_Fail

/* The clause member(X, L), [!], callback, fail.  rcx = MemberRun*; a null
 * cell is allocated here, after the caller's choice point. */
        .p2align 4
clause:
        push    rbp
        mov     rbp, rsp
        sub     rsp, 16
        mov     [rbp - 8], rcx
        cmp     qword ptr [rcx], 0
        jne     2f
        mov     eax, 16
        KCALL   MEM_alloc_ax
        mov     qword ptr [rax], 0
        mov     qword ptr [rax + 8], 0
        mov     rcx, [rbp - 8]
        mov     [rcx], rax
2:      mov     rdx, [rcx + 8]
        mov     rcx, [rcx]
        call    member
        mov     rcx, [rbp - 8]
        cmp     qword ptr [rcx + 32], 0
        je      1f
        KCALL   Cut_Prolog
1:      mov     rcx, [rbp - 8]
        inc     qword ptr [rcx + 40]
        and     rsp, -16
        sub     rsp, 32
        mov     rdx, [rcx]
        mov     rax, [rcx + 16]
        mov     rcx, [rcx + 24]
        call    rax
        KJMP    Run_Fail

/* uint64_t harness_member(MemberRun*): runs the fail-driven loop and returns
 * the number of solutions. */
        .globl  harness_member
        .p2align 4
harness_member:
        push    rbp
        push    rbx
        push    rsi
        push    rdi
        push    r12
        push    r13
        push    r14
        push    r15
        mov     rbp, rsp
        sub     rsp, 24
        mov     [rbp - 8], rcx
        lea     rax, [rip + 1f]
        KCALL   Stkb2
        mov     rcx, [rbp - 8]
        call    clause
1:      pop     rbp                         /* retry of the Stkb2 block */
        mov     rcx, [rbp - 8]
        mov     rax, [rcx + 40]
        mov     rsp, rbp
        pop     r15
        pop     r14
        pop     r13
        pop     r12
        pop     rdi
        pop     rsi
        pop     rbx
        pop     rbp
        ret

/* struct Stkb1Run { cell*, gtopAtPush, trapAtPush, rbpAtPush,
 *                   gtopAtRetry, trapAtRetry, rbpAtRetry, rspAtRetry,
 *                   cellTagAtRetry }: offsets 0..64.
 * Pushes a Stkb1 block, then allocates, binds the cell (trailed), sets a
 * trap with StkTrap and fails; records the state seen at the retry. */
        .globl  harness_stkb1
        .p2align 4
harness_stkb1:
        push    rbp
        push    rbx
        push    rsi
        push    rdi
        push    r12
        push    r13
        push    r14
        push    r15
        sub     rsp, 8
        mov     rbp, rsp
        sub     rsp, 48
        mov     [rbp - 8], rcx
        KCALL   PTD_GET
        mov     [rbp - 16], rax             /* the record */
        mov     rcx, [rbp - 8]
        mov     rdx, [rax + 24]
        mov     [rcx + 8], rdx
        mov     rdx, [rax + 48]
        mov     [rcx + 16], rdx
        mov     [rcx + 24], rbp
        lea     rax, [rip + 1f]
        KCALL   Stkb1
        mov     ax, 0x0520                  /* 32 bytes, tag 5 */
        KCALL   MEM_alloc_ax
        mov     rcx, [rbp - 8]
        mov     rdi, [rcx]
        KCALL   Trail_EDI
        mov     qword ptr [rdi], 1
        mov     qword ptr [rdi + 8], 42
        lea     rax, [rip + 2f]
        KCALL   StkTrap
        KJMP    Run_Fail
2:      int3                                /* the trap is not the retry */
1:      mov     rcx, [rbp - 8]
        mov     [rcx + 48], rbp
        mov     [rcx + 56], rsp
        mov     rax, [rbp - 16]
        mov     rdx, [rax + 24]
        mov     [rcx + 32], rdx
        mov     rdx, [rax + 48]
        mov     [rcx + 40], rdx
        mov     rdx, [rcx]
        mov     rdx, [rdx]
        mov     [rcx + 64], rdx
        /* pop the frame: the Stkb1 block was consumed by the fail */
        mov     rsp, rbp
        add     rsp, 8
        pop     r15
        pop     r14
        pop     r13
        pop     r12
        pop     rdi
        pop     rsi
        pop     rbx
        pop     rbp
        ret

/* void harness_call_regs(uint64_t regs[16], void* entry): loads rax, rbx,
 * rcx, rdx, rsi, rdi, r8-r15 from regs (in that order), calls entry and
 * stores the registers back. */
        .globl  harness_call_regs
        .p2align 4
harness_call_regs:
        push    rbp
        push    rbx
        push    rsi
        push    rdi
        push    r12
        push    r13
        push    r14
        push    r15
        sub     rsp, 24
        mov     [rsp], rcx
        mov     [rsp + 8], rdx
        mov     rax, [rcx + 0]
        mov     rbx, [rcx + 8]
        mov     rdx, [rcx + 24]
        mov     rsi, [rcx + 32]
        mov     rdi, [rcx + 40]
        mov     r8, [rcx + 48]
        mov     r9, [rcx + 56]
        mov     r10, [rcx + 64]
        mov     r11, [rcx + 72]
        mov     r12, [rcx + 80]
        mov     r13, [rcx + 88]
        mov     r14, [rcx + 96]
        mov     r15, [rcx + 104]
        mov     rcx, [rcx + 16]
        call    qword ptr [rsp + 8]
        push    rcx
        mov     rcx, [rsp + 8]
        mov     [rcx + 0], rax
        mov     [rcx + 8], rbx
        mov     [rcx + 24], rdx
        mov     [rcx + 32], rsi
        mov     [rcx + 40], rdi
        mov     [rcx + 48], r8
        mov     [rcx + 56], r9
        mov     [rcx + 64], r10
        mov     [rcx + 72], r11
        mov     [rcx + 80], r12
        mov     [rcx + 88], r13
        mov     [rcx + 96], r14
        mov     [rcx + 104], r15
        pop     rax
        mov     [rcx + 16], rax
        add     rsp, 24
        pop     r15
        pop     r14
        pop     r13
        pop     r12
        pop     rdi
        pop     rsi
        pop     rbx
        pop     rbp
        ret

/* const void* harness_setpos(): records an inline position, returns its
 * address. */
        .globl  harness_setpos
        .p2align 4
harness_setpos:
        sub     rsp, 40
        KCALL   SetPosNew
1:      .long   0x04000069
        .long   0
        .quad   harness_source_name
        lea     rax, [rip + 1b]
        add     rsp, 40
        ret

/* void harness_ellipsis(const uint64_t* block, uint64_t* out): out[0] = S,
 * out[1] = the copy's address, out[2] = the stack pointer after the argument
 * word is removed, out[3..] = the copied words. */
        .globl  harness_ellipsis
        .p2align 4
harness_ellipsis:
        push    rbp
        push    rsi
        push    rdi
        mov     rbp, rsp
        and     rsp, -16
        mov     [rdx], rsp
        mov     r8, rdx
        push    rcx
        KCALL   Ellipsis
        mov     rax, [rsp]
        add     rsp, 8
        mov     [r8 + 8], rax
        mov     [r8 + 16], rsp
        mov     rcx, [rax]
        mov     rsi, rax
        lea     rdi, [r8 + 24]
        rep     movsq
        mov     rsp, rbp
        pop     rdi
        pop     rsi
        pop     rbp
        ret

        .section .rdata
        .p2align 1
harness_source_name:
        .short  'm', 'e', 'm', 'b', 'e', 'r', '.', 'p', 'r', 'o', 0
