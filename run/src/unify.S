/*
 * Unification of reference cells and dereferencing, for generated code.
 *
 * A reference cell is {tag, value or link} (8 bytes each); only the low byte
 * of the tag is tested: 1 bound, else not bound (unbound when the link is 0).
 *
 * RUN_Unify: called by a domain's unify routine with RAX = the domain record
 * and RBP = RSP of the routine, whose stack holds [X][Y][the caller's saved
 * RBP][continuation].  A free side is linked (trailed) to the other operand
 * as passed, or to its global-stack copy in unify-copy mode, and RUN_Unify
 * returns straight to the continuation with the caller's RBP.  When both
 * sides are bound it writes the dereferenced cells into the operand slots and
 * returns to the routine with RDI = X, RSI = Y for its own comparison.
 *
 * Coerse_<R>: dereferences the cell in R in place; every other register
 * keeps its value.
 */
#include "qel6kernel_asm.h"

#define RUN_Unify   _ZN3Qel7RunTime5Terms9RUN_UnifyEv
#define Coerse_EAX  _ZN3Qel7RunTime5Terms10Coerse_EAXEv
#define Coerse_EBX  _ZN3Qel7RunTime5Terms10Coerse_EBXEv
#define Coerse_ECX  _ZN3Qel7RunTime5Terms10Coerse_ECXEv
#define Coerse_EDX  _ZN3Qel7RunTime5Terms10Coerse_EDXEv
#define Coerse_ESI  _ZN3Qel7RunTime5Terms10Coerse_ESIEv
#define Coerse_EDI  _ZN3Qel7RunTime5Terms10Coerse_EDIEv

        .intel_syntax noprefix
        .text

.macro DEREF reg
1:      cmp     byte ptr [\reg], 0
        jne     2f
        cmp     qword ptr [\reg + 8], 0
        je      2f
        mov     \reg, [\reg + 8]
        jmp     1b
2:
.endm

/* rax := the value to link: rdx as passed, or its copy (rcx = domain).
 * Keeps rsi and rdi (non-volatile in the Win64 ABI). */
.macro LINK_VALUE
        push    rbx
        mov     rbx, rsp
        and     rsp, -16
        sub     rsp, 32
        call    qel_run_unify_value
        mov     rsp, rbx
        pop     rbx
.endm

.macro ENTRY name
        .globl  \name
        .def    \name; .scl 2; .type 32; .endef
        .p2align 4
\name:
.endm

ENTRY RUN_Unify
        mov     rsi, [rbp + 8]
        DEREF   rsi
        mov     rdi, [rbp]
        DEREF   rdi
        cmp     byte ptr [rsi], 1
        je      .Ly_bound
        cmp     rsi, rdi
        je      .Lsucceed               /* the same variable */
        add     rsi, 8                  /* Y's link word */
        KCALL   Trail_ESI
        mov     rcx, rax
        mov     rdx, [rbp]
        LINK_VALUE
        mov     [rsi], rax
        jmp     .Lsucceed
.Ly_bound:
        cmp     byte ptr [rdi], 1
        je      .Lboth_bound
        add     rdi, 8                  /* X's link word */
        KCALL   Trail_EDI
        mov     rcx, rax
        mov     rdx, [rbp + 8]
        LINK_VALUE
        mov     [rdi], rax
.Lsucceed:
        lea     rsp, [rbp + 16]         /* drop our frame and the operands */
        pop     rbp
        ret                             /* to the continuation */
.Lboth_bound:
        mov     [rbp], rdi
        mov     [rbp + 8], rsi
        ret

.macro COERSE reg
        DEREF   \reg
        ret
.endm

ENTRY Coerse_EAX
        COERSE  rax
ENTRY Coerse_EBX
        COERSE  rbx
ENTRY Coerse_ECX
        COERSE  rcx
ENTRY Coerse_EDX
        COERSE  rdx
ENTRY Coerse_ESI
        COERSE  rsi
ENTRY Coerse_EDI
        COERSE  rdi
