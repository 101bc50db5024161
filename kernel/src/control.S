/*
 * The kernel's register-convention and setjmp-like entries (x86-64, Win64).
 *
 * Invariants:
 *  - Every entry finds the thread record in the TEB's thread-local slot
 *    qel_ptd_tls_index (an index below 64, checked at load).
 *  - Blocks are 8-byte words; words 0-6 have the same meaning in every kind
 *    of block (layout.h).  BackTrackTop and TrapTop point at word 0.
 *  - Blocks pushed by Stkb1/Stkb2/Stkb3/StkTrap lower RSP by 64 bytes, so a
 *    caller that was 16-byte aligned stays aligned.  Stkb1's block has 7
 *    words and one pad word (word 7) above them.
 *  - Blocks of StackTrap/StackBTrack/StackBTrack3 live in the caller's frame
 *    (TStackBlock) and save every non-volatile register of the Win64 ABI.
 *  - The fast paths make no calls; slow paths call C++ with the volatile
 *    registers saved and the stack aligned.
 *  - Every routine that pushes or moves the stack pointer carries Win64
 *    unwind information (PROC ... PROC_END); pushes and stack changes happen
 *    only in prologues, and other stack work is done in helper routines that
 *    have their own.
 *  - Trail entries are 8-byte cell addresses; undoing one writes a zero word
 *    into the cell.  A cell is trailed unless it lies in the global stack at
 *    or above the newest backtrack block's saved top (compared unsigned).
 */
#include "layout.h"

        .intel_syntax noprefix
        .text

/* dst := the current thread record; clobbers tmp. */
.macro LOAD_PTD dst, tmp
        mov     \tmp, qword ptr [rip + qel_ptd_tls_index]
        mov     \dst, qword ptr gs:[TEB_TLS_SLOTS + \tmp * 8]
.endm

/* A routine that calls the C++ function \fn keeping rcx, rdx, r8-r11 and
 * xmm0-5 (rax is the result), whatever the stack's alignment at the call. */
.macro KEEPING_CALL name, fn
        .p2align 4
\name:
        .seh_proc \name
        push    rbp
        .seh_pushreg rbp
        mov     rbp, rsp
        .seh_setframe rbp, 0
        .seh_endprologue
        and     rsp, -16
        sub     rsp, 176
        mov     [rsp + 32], rcx
        mov     [rsp + 40], rdx
        mov     [rsp + 48], r8
        mov     [rsp + 56], r9
        mov     [rsp + 64], r10
        mov     [rsp + 72], r11
        movdqu  [rsp + 80], xmm0
        movdqu  [rsp + 96], xmm1
        movdqu  [rsp + 112], xmm2
        movdqu  [rsp + 128], xmm3
        movdqu  [rsp + 144], xmm4
        movdqu  [rsp + 160], xmm5
        call    \fn
        mov     rcx, [rsp + 32]
        mov     rdx, [rsp + 40]
        mov     r8, [rsp + 48]
        mov     r9, [rsp + 56]
        mov     r10, [rsp + 64]
        mov     r11, [rsp + 72]
        movdqu  xmm0, [rsp + 80]
        movdqu  xmm1, [rsp + 96]
        movdqu  xmm2, [rsp + 112]
        movdqu  xmm3, [rsp + 128]
        movdqu  xmm4, [rsp + 144]
        movdqu  xmm5, [rsp + 160]
        mov     rsp, rbp
        pop     rbp
        ret
        .seh_endproc
.endm

.macro ENTRY name
        .globl  \name
        .p2align 4
\name:
.endm

/* A routine that pushes or moves the stack pointer: it carries unwind
 * information (its prologue states what it pushes) so that a fault inside
 * it can be dispatched.  PROC_END closes it. */
.macro PROC name
        .globl  \name
        .p2align 4
\name:
        .seh_proc \name
.endm
.macro PROC_END
        .seh_endproc
.endm
.macro PUSH_SAVED reg
        push    \reg
        .seh_pushreg \reg
.endm

#define SYM_GetSP          _ZN3Qel7RunTime6Kernel7Control5GetSPEv
#define SYM_BackEntry      _ZN3Qel7RunTime6Kernel7Control9BackEntryEv
#define SYM_StackTrap      _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData9StackTrapEPNS1_11TStackBlockE
#define SYM_StackBTrack    _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData11StackBTrackEPNS1_11TStackBlockE
#define SYM_StackBTrack3   _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData12StackBTrack3EPNS1_11TStackBlockEPv
#define SYM_Stkb1          _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData5Stkb1Ev
#define SYM_Stkb2          _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData5Stkb2Ev
#define SYM_Stkb3          _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData5Stkb3Ev
#define SYM_StkTrap        _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData7StkTrapEv
#define SYM_Run_Fail       _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData8Run_FailEv
#define SYM_Run_Succeed    _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData11Run_SucceedEv
#define SYM_Cut_Prolog     _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData10Cut_PrologEv
#define SYM_Trail_EDI      _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData9Trail_EDIEv
#define SYM_Trail_ESI      _ZN3Qel7RunTime6Kernel7Control9Trail_ESIEv
#define SYM_Trail_EAX      _ZN3Qel7RunTime6Kernel7Control9Trail_EAXEv
#define SYM_Trail_EBX      _ZN3Qel7RunTime6Kernel7Control9Trail_EBXEv
#define SYM_Trail_ECX      _ZN3Qel7RunTime6Kernel7Control9Trail_ECXEv
#define SYM_Trail_EDX      _ZN3Qel7RunTime6Kernel7Control9Trail_EDXEv
#define SYM_SetPosNew      _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData21SetCurrentPositionNewEv
#define SYM_GetPosProlog   _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData28GetCurrentPositionFromPrologEv
#define SYM_JmpReturn1     _ZN3Qel7RunTime6Kernel7Control10JmpReturn1Ev
#define SYM_Ellipsis       _ZN3Qel7RunTime6Kernel7Control20Qel_EllipsisTransferEPKv
#define SYM_AllocGStack    _ZN3Qel7RunTime6Kernel6Memory11AllocGStackEj

/* ------------------------------------------------------------------------ */
/* Setjmp-like entries for library code.                                     */

ENTRY SYM_GetSP
        lea     rax, [rsp + 8]
        ret

/* rcx = block (TStackBlock in the caller's frame), rdx = cursor cell;
 * \chain = PTD_TRAPTOP or PTD_BACKTRACKTOP. */
.macro SETJMP_BLOCK chain, cursor
        mov     [rcx + SB_RBX], rbx
        mov     [rcx + SB_RDI], rdi
        mov     [rcx + SB_RSI], rsi
        mov     [rcx + SB_RBP], rbp
        mov     rax, [rsp]
        mov     [rcx + SB_RET], rax
        mov     [rcx + SB_R12], r12
        mov     [rcx + SB_R13], r13
        mov     [rcx + SB_R14], r14
        mov     [rcx + SB_R15], r15
        lea     rax, [rsp + 8]
        mov     [rcx + SB_RSP], rax
        stmxcsr [rcx + SB_MXCSR]
        fnstcw  [rcx + SB_FPUCW]
        movdqu  [rcx + SB_XMM + 0], xmm6
        movdqu  [rcx + SB_XMM + 16], xmm7
        movdqu  [rcx + SB_XMM + 32], xmm8
        movdqu  [rcx + SB_XMM + 48], xmm9
        movdqu  [rcx + SB_XMM + 64], xmm10
        movdqu  [rcx + SB_XMM + 80], xmm11
        movdqu  [rcx + SB_XMM + 96], xmm12
        movdqu  [rcx + SB_XMM + 112], xmm13
        movdqu  [rcx + SB_XMM + 128], xmm14
        movdqu  [rcx + SB_XMM + 144], xmm15
        LOAD_PTD r8, r9
        mov     qword ptr [rcx + BB_CURSOR], \cursor
        mov     rax, [r8 + PTD_GSTACKTOP]
        mov     [rcx + BB_GSTACK], rax
        mov     rax, [r8 + PTD_BACKTRACKTOP]
        mov     [rcx + BB_LINK], rax
        mov     eax, [r8 + PTD_TRAILTOP]
        mov     [rcx + BB_TRAIL], rax
        lea     rax, [rip + SYM_BackEntry]
        mov     [rcx + BB_RETRY], rax
        mov     rax, [r8 + PTD_TRAPTOP]
        mov     [rcx + BB_TRAP], rax
        lea     rax, [rcx + BB_W7]
        mov     [rcx + BB_FRAME], rax
        mov     [r8 + \chain], rcx
        xor     eax, eax
        ret
.endm

ENTRY SYM_StackTrap
        SETJMP_BLOCK PTD_TRAPTOP, 0
ENTRY SYM_StackBTrack
        SETJMP_BLOCK PTD_BACKTRACKTOP, 0
ENTRY SYM_StackBTrack3
        SETJMP_BLOCK PTD_BACKTRACKTOP, rdx

/* Retry address of the setjmp-like blocks: entered with rsp = rbp = the
 * address of word 7; restores the caller's registers and returns true. */
ENTRY SYM_BackEntry
        mov     rcx, rsp
        mov     rbx, [rcx + SB_RBX - BB_W7]
        mov     rdi, [rcx + SB_RDI - BB_W7]
        mov     rsi, [rcx + SB_RSI - BB_W7]
        mov     rbp, [rcx + SB_RBP - BB_W7]
        mov     r12, [rcx + SB_R12 - BB_W7]
        mov     r13, [rcx + SB_R13 - BB_W7]
        mov     r14, [rcx + SB_R14 - BB_W7]
        mov     r15, [rcx + SB_R15 - BB_W7]
        ldmxcsr [rcx + SB_MXCSR - BB_W7]
        fnclex
        fldcw   [rcx + SB_FPUCW - BB_W7]
        movdqu  xmm6, [rcx + SB_XMM - BB_W7 + 0]
        movdqu  xmm7, [rcx + SB_XMM - BB_W7 + 16]
        movdqu  xmm8, [rcx + SB_XMM - BB_W7 + 32]
        movdqu  xmm9, [rcx + SB_XMM - BB_W7 + 48]
        movdqu  xmm10, [rcx + SB_XMM - BB_W7 + 64]
        movdqu  xmm11, [rcx + SB_XMM - BB_W7 + 80]
        movdqu  xmm12, [rcx + SB_XMM - BB_W7 + 96]
        movdqu  xmm13, [rcx + SB_XMM - BB_W7 + 112]
        movdqu  xmm14, [rcx + SB_XMM - BB_W7 + 128]
        movdqu  xmm15, [rcx + SB_XMM - BB_W7 + 144]
        mov     rdx, [rcx + SB_RET - BB_W7]
        mov     rsp, [rcx + SB_RSP - BB_W7]
        mov     eax, 1
        jmp     rdx

/* ------------------------------------------------------------------------ */
/* Choice points for generated code.                                         */

/* Fills words 0-5 of the block at rsp from the record in rdi; rax = retry. */
.macro FILL_BLOCK cursor
        mov     qword ptr [rsp + BB_CURSOR], \cursor
        mov     rsi, [rdi + PTD_GSTACKTOP]
        mov     [rsp + BB_GSTACK], rsi
        mov     rsi, [rdi + PTD_BACKTRACKTOP]
        mov     [rsp + BB_LINK], rsi
        mov     esi, [rdi + PTD_TRAILTOP]
        mov     [rsp + BB_TRAIL], rsi
        mov     [rsp + BB_RETRY], rax
        mov     rsi, [rdi + PTD_TRAPTOP]
        mov     [rsp + BB_TRAP], rsi
.endm

/* The block's 8 words end where the return address lay: lowering rsp by 56
 * makes room for words 0-6, and word 7 takes the return address's slot, so
 * the unwind information stays true until the jump back. */

/* In: rax = retry address, rbp = the predicate's frame.  Changes rcx, rsi,
 * rdi.  Word 6 = rbp; word 7 is padding. */
PROC SYM_Stkb1
        sub     rsp, 56
        .seh_stackalloc 56
        .seh_endprologue
        LOAD_PTD rdi, rsi
        FILL_BLOCK 0
        mov     [rsp + BB_FRAME], rbp
        mov     [rdi + PTD_BACKTRACKTOP], rsp
        mov     rcx, [rsp + BB_W7]
        jmp     rcx
PROC_END

/* In: rax = retry address (and rbx = cursor cell for Stkb3).  Word 6 = the
 * address of word 7, word 7 = rbp.  Changes rcx, rdx, rsi, rdi. */
.macro STKB name, chain, cursor
PROC \name
        sub     rsp, 56
        .seh_stackalloc 56
        .seh_endprologue
        LOAD_PTD rdi, rsi
        FILL_BLOCK \cursor
        lea     rdx, [rsp + BB_W7]
        mov     [rsp + BB_FRAME], rdx
        mov     rcx, [rdx]
        mov     [rdx], rbp
        mov     [rdi + \chain], rsp
        jmp     rcx
PROC_END
.endm

STKB SYM_Stkb2, PTD_BACKTRACKTOP, 0
STKB SYM_Stkb3, PTD_BACKTRACKTOP, rbx
STKB SYM_StkTrap, PTD_TRAPTOP, 0

/* Backtracks into the newest block: restores the global-stack top, the
 * chains and rbp, undoes the trail to the block's mark (skipping cells of
 * the global stack at or above the restored top) and jumps to the retry
 * address with rsp = rbp, rdx = the retry address, rdi = the record. */
ENTRY SYM_Run_Fail
        LOAD_PTD rdi, rax
        mov     rax, [rdi + PTD_BACKTRACKTOP]
        test    rax, rax
        jz      1f
        mov     r10, [rax + BB_GSTACK]
        mov     [rdi + PTD_GSTACKTOP], r10
        mov     rcx, [rax + BB_LINK]
        mov     [rdi + PTD_BACKTRACKTOP], rcx
        mov     rcx, [rax + BB_TRAIL]
        mov     rdx, [rax + BB_RETRY]
        mov     rsi, [rax + BB_TRAP]
        mov     [rdi + PTD_TRAPTOP], rsi
        mov     rbp, [rax + BB_FRAME]
        mov     esi, [rdi + PTD_TRAILTOP]
        cmp     rsi, rcx
        jbe     3f
        mov     r8, [rdi + PTD_TRAIL]
        mov     r11, [rdi + PTD_GSTACKEND]
2:      sub     rsi, 8
        mov     r9, [r8 + rsi]
        cmp     r9, r10                    /* a cell in [top, end) died with */
        jb      4f                         /* the global stack above the top: */
        cmp     r9, r11                    /* its pages may be gone */
        jb      5f
4:      mov     qword ptr [r9], 0
5:      cmp     rsi, rcx
        ja      2b
        mov     [rdi + PTD_TRAILTOP], esi
3:      mov     rsp, rbp
        jmp     rdx
1:      jmp     no_backtrack

/* Run_Fail found no block: ends the process. */
        .p2align 4
no_backtrack:
        .seh_proc no_backtrack
        PUSH_SAVED rbp
        mov     rbp, rsp
        .seh_setframe rbp, 0
        .seh_endprologue
        and     rsp, -16
        sub     rsp, 32
        call    qel_no_backtrack_exit
        int3
        .seh_endproc

ENTRY SYM_Run_Succeed
        ret

/* Trail compaction after dropping blocks; rdx = the oldest dropped block,
 * rax = the surviving newest block or 0, rdi = the record.  From the dropped
 * block's mark on, keeps in order the entries whose cells lie outside the
 * global stack at or above the survivor's saved top (the base when none
 * survives): the others die with the global stack when it is backtracked
 * into.  The caller has found entries above the mark; rsi = the trail
 * top.  Keeps every register but rsi. */
        .p2align 4
compact_trail:
        .seh_proc compact_trail
        PUSH_SAVED rax
        PUSH_SAVED rcx
        PUSH_SAVED r8
        PUSH_SAVED r9
        PUSH_SAVED r10
        PUSH_SAVED r11
        .seh_endprologue
        mov     r8, [rdi + PTD_TRAIL]
        mov     rcx, [rdx + BB_TRAIL]      /* read position */
        mov     r10, [rdi + PTD_GSTACKBASE]
        test    rax, rax
        jz      8f
        mov     r10, [rax + BB_GSTACK]     /* dead cells lie in [r10, r11) */
8:      mov     rax, rcx                   /* write position */
        mov     r11, [rdi + PTD_GSTACKEND]
7:      mov     r9, [r8 + rcx]
        cmp     r9, r10
        jb      6f
        cmp     r9, r11
        jb      5f
6:      mov     [r8 + rax], r9
        add     rax, 8
5:      add     rcx, 8
        cmp     rcx, rsi
        jb      7b
        mov     [rdi + PTD_TRAILTOP], eax
        pop     r11
        pop     r10
        pop     r9
        pop     r8
        pop     rcx
        pop     rax
        ret
        .seh_endproc

/* Drops every block below rbp.  Changes rax, rbx, rdx, rsi, rdi. */
ENTRY SYM_Cut_Prolog
        LOAD_PTD rdi, rax
        mov     rax, [rdi + PTD_BACKTRACKTOP]
        test    rax, rax
        jz      2f
        cmp     rax, rbp
        jae     2f
1:      mov     rdx, rax
        mov     rax, [rax + BB_LINK]
        test    rax, rax
        jz      3f
        cmp     rax, rbp
        jb      1b
3:      mov     [rdi + PTD_BACKTRACKTOP], rax
        mov     esi, [rdi + PTD_TRAILTOP]
        cmp     rsi, [rdx + BB_TRAIL]
        jbe     2f
        call    compact_trail
2:      ret

/* Trails the cell in \reg when it is older than the newest block.  Keeps
 * every register. */
.macro TRAIL name, reg
PROC \name
        PUSH_SAVED r8
        PUSH_SAVED r9
        PUSH_SAVED r10
        .seh_endprologue
        LOAD_PTD r8, r9
        mov     r9, [r8 + PTD_BACKTRACKTOP]
        test    r9, r9
        jz      2f
        cmp     \reg, [r9 + BB_GSTACK]
        jb      1f
        cmp     \reg, [r8 + PTD_GSTACKEND]
        jb      2f
1:      mov     r9d, [r8 + PTD_TRAILTOP]
        mov     r10, [r8 + PTD_TRAIL]
        mov     [r10 + r9], \reg
        add     r9d, 8
        mov     [r8 + PTD_TRAILTOP], r9d
        cmp     r9d, [r8 + PTD_TRAILCAP]
        jb      2f
        call    trail_grow
2:      pop     r10
        pop     r9
        pop     r8
        ret
PROC_END
.endm

TRAIL SYM_Trail_EDI, rdi
TRAIL SYM_Trail_ESI, rsi
TRAIL SYM_Trail_EAX, rax
TRAIL SYM_Trail_EBX, rbx
TRAIL SYM_Trail_ECX, rcx
TRAIL SYM_Trail_EDX, rdx

/* Grows the trail of the record in r8.  Keeps every register. */
        .p2align 4
trail_grow:
        .seh_proc trail_grow
        PUSH_SAVED rax
        PUSH_SAVED rcx
        .seh_endprologue
        mov     rcx, r8
        call    trail_grow_keeping
        pop     rcx
        pop     rax
        ret
        .seh_endproc
KEEPING_CALL trail_grow_keeping, qel_trail_grow

/* The 16 bytes after the call are a TFullCursor: record their address and
 * return behind them.  Keeps every general register. */
PROC SYM_SetPosNew
        PUSH_SAVED rdi
        PUSH_SAVED rsi
        .seh_endprologue
        LOAD_PTD rdi, rsi
        mov     rsi, [rsp + 16]
        mov     [rdi + PTD_CURRENTPOS], rsi
        add     qword ptr [rsp + 16], 16
        pop     rsi
        pop     rdi
        ret
PROC_END

/* rax := the current position when it is set and readable, else fail. */
PROC SYM_GetPosProlog
        PUSH_SAVED rcx
        .seh_endprologue
        LOAD_PTD rax, rcx
        mov     rcx, [rax + PTD_CURRENTPOS]
        call    readable_position_keeping
        test    rax, rax
        jz      1f
        pop     rcx
        ret
1:      pop     rcx
        jmp     SYM_Run_Fail
PROC_END
KEEPING_CALL readable_position_keeping, qel_readable_position

/* rbp = frame [saved rbp][return address]: continue at the return address
 * with the saved rbp, leaving the frame on the stack. */
ENTRY SYM_JmpReturn1
        mov     r11, [rbp + 8]
        mov     rbp, [rbp]
        jmp     r11

/* Copies a variable-argument block onto the machine stack.  The caller pushes
 * one word, the block's address, and calls.  The block's first word is its
 * length L in 8-byte words, the length word included.  With S the caller's
 * stack pointer before the push, the copy occupies [S - 8L, S); when L is odd
 * a pad word lies below it.  Six words follow below (the entry's frame, as in
 * the 32-bit layout), then the argument word, which on return holds the
 * copy's address.  Once the caller has removed its argument word its stack
 * pointer is S - 8L - pad - 48, still 16-byte aligned.  The pages below are
 * touched in order before anything is written.  Keeps every register but
 * rax, r10 and r11. */
PROC SYM_Ellipsis
        .seh_endprologue                   /* rsp moves only in the epilogue */
        mov     r10, [rsp + 8]             /* the block */
        mov     rax, [r10]                 /* L */
        mov     r11, rax
        and     r11, 1
        add     rax, r11                   /* L + pad */
        shl     rax, 3
        neg     rax
        lea     rax, [rsp + rax - 64]      /* lowest = A - 24 */
        mov     r11, rsp
1:      sub     r11, 4096
        cmp     r11, rax
        jbe     2f
        or      qword ptr [r11], 0
        jmp     1b
2:      mov     [rax], rcx
        mov     [rax + 8], rdx
        mov     r11, [rsp]                 /* return address */
        mov     [rax + 16], r11
        mov     rcx, [r10]
        lea     r11, [rcx * 8]
        neg     r11
        lea     r11, [rsp + 16 + r11]      /* the copy: S - 8L */
3:      test    rcx, rcx
        jz      4f
        dec     rcx
        mov     rdx, [r10 + rcx * 8]
        mov     [r11 + rcx * 8], rdx
        jmp     3b
4:      mov     [rax + 24], r11            /* the argument word A */
        mov     rsp, rax
        pop     rcx
        pop     rdx
        ret
PROC_END

/* ------------------------------------------------------------------------ */
/* Global-stack allocation for generated code.                               */

/* ecx = size in bytes; rax := block.  Keeps every other register. */
        .p2align 4
gs_alloc:
        .seh_proc gs_alloc
        PUSH_SAVED r8
        PUSH_SAVED r9
        .seh_endprologue
        LOAD_PTD r8, rax
        mov     rax, [r8 + PTD_GSTACKTOP]
        test    rax, rax
        jz      1f
        mov     r9d, ecx
        add     r9, 7                      /* 8-aligned blocks: see AllocGStack */
        and     r9, -8
        add     r9, rax
        cmp     r9, [r8 + PTD_GSTACKCOMMIT]
        jae     1f
        mov     [r8 + PTD_GSTACKTOP], r9
        pop     r9
        pop     r8
        ret
1:      pop     r9
        pop     r8
        jmp     alloc_gstack_keeping
        .seh_endproc
KEEPING_CALL alloc_gstack_keeping, SYM_AllocGStack

/* ax = size (al) and tag (ah) -> rax = block with its first 32-bit word set
 * to the tag.  Keeps every other register. */
PROC _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_axEv
        PUSH_SAVED rcx
        PUSH_SAVED rdx
        .seh_endprologue
        movzx   ecx, al
        movzx   edx, ah
        call    gs_alloc
        test    ecx, ecx
        jz      1f
        mov     [rax], edx
1:      pop     rdx
        pop     rcx
        ret
PROC_END

.macro MEM_ALLOC name, reg, reg16
PROC \name
        PUSH_SAVED rax
        .seh_endprologue
        movzx   eax, \reg16
        call    _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_axEv
        mov     \reg, rax
        pop     rax
        ret
PROC_END
.endm
MEM_ALLOC _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_bxEv, rbx, bx
MEM_ALLOC _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_cxEv, rcx, cx
MEM_ALLOC _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_dxEv, rdx, dx
MEM_ALLOC _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_siEv, rsi, si
MEM_ALLOC _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_diEv, rdi, di

/* A fresh unbound reference cell: two zero words. */
PROC _ZN3Qel7RunTime6Kernel6Memory12AllocRef_EAXEv
        PUSH_SAVED rcx
        .seh_endprologue
        mov     ecx, 16
        call    gs_alloc
        mov     qword ptr [rax], 0
        mov     qword ptr [rax + 8], 0
        pop     rcx
        ret
PROC_END

.macro ALLOC_REF name, reg
PROC \name
        PUSH_SAVED rax
        .seh_endprologue
        call    _ZN3Qel7RunTime6Kernel6Memory12AllocRef_EAXEv
        mov     \reg, rax
        pop     rax
        ret
PROC_END
.endm
ALLOC_REF _ZN3Qel7RunTime6Kernel6Memory12AllocRef_EBXEv, rbx
ALLOC_REF _ZN3Qel7RunTime6Kernel6Memory12AllocRef_ECXEv, rcx
ALLOC_REF _ZN3Qel7RunTime6Kernel6Memory12AllocRef_EDXEv, rdx
ALLOC_REF _ZN3Qel7RunTime6Kernel6Memory12AllocRef_ESIEv, rsi
ALLOC_REF _ZN3Qel7RunTime6Kernel6Memory12AllocRef_EDIEv, rdi

/* r9w = size and tag of the term, r8 = n reference arguments (1-31):
 * rax := the term, whose slot i (8 bytes, the first at byte
 * ((size - 1) mod 8) + 1) holds the address of cell i; the n cells (16 bytes
 * each, zero) lie in one block.  Changes rcx, r10, r11. */
        .p2align 4
alloc_ref_term:
        movzx   ecx, r9b
        call    gs_alloc
        mov     r10, rax
        test    ecx, ecx
        jz      1f
        mov     ecx, r9d
        shr     ecx, 8
        and     ecx, 0xFF
        mov     [r10], ecx
1:      mov     ecx, r8d
        shl     ecx, 4
        call    gs_alloc
        movzx   ecx, r9b
        dec     ecx
        and     ecx, 7
        lea     r11, [r10 + rcx + 1]
        test    r8d, r8d
        jz      3f
2:      mov     qword ptr [rax], 0
        mov     qword ptr [rax + 8], 0
        mov     [r11], rax
        add     rax, 16
        add     r11, 8
        dec     r8d
        jnz     2b
3:      mov     rax, r10
        ret

/* \reg16 = size and tag, eax = n; the term is returned in \reg.  rax is not
 * kept. */
.macro ALLOC_REF_TERM name, reg, reg16
PROC \name
        PUSH_SAVED rcx
        PUSH_SAVED r8
        PUSH_SAVED r9
        PUSH_SAVED r10
        PUSH_SAVED r11
        .seh_endprologue
        movzx   r9d, \reg16
        mov     r8d, eax
        and     r8d, 0xFF
        call    alloc_ref_term
        pop     r11
        pop     r10
        pop     r9
        pop     r8
        pop     rcx
        mov     \reg, rax
        ret
PROC_END
.endm
ALLOC_REF_TERM _ZN3Qel7RunTime6Kernel6Memory16AllocRefTerm_EBXEv, rbx, bx
ALLOC_REF_TERM _ZN3Qel7RunTime6Kernel6Memory16AllocRefTerm_ECXEv, rcx, cx
ALLOC_REF_TERM _ZN3Qel7RunTime6Kernel6Memory16AllocRefTerm_EDXEv, rdx, dx
ALLOC_REF_TERM _ZN3Qel7RunTime6Kernel6Memory16AllocRefTerm_ESIEv, rsi, si
ALLOC_REF_TERM _ZN3Qel7RunTime6Kernel6Memory16AllocRefTerm_EDIEv, rdi, di

/* The EAX member carries both operands: ax = size and tag, bits 16-23 = n. */
PROC _ZN3Qel7RunTime6Kernel6Memory16AllocRefTerm_EAXEv
        PUSH_SAVED rcx
        PUSH_SAVED r8
        PUSH_SAVED r9
        PUSH_SAVED r10
        PUSH_SAVED r11
        .seh_endprologue
        movzx   r9d, ax
        mov     r8d, eax
        shr     r8d, 16
        and     r8d, 0xFF
        call    alloc_ref_term
        pop     r11
        pop     r10
        pop     r9
        pop     r8
        pop     rcx
        ret
PROC_END
