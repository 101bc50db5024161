/*
 * Register-convention helpers between generated code and the runtime's real
 * arithmetic: doubles on the machine stack, results on the x87 stack or in
 * the flags.  Each preserves every general and XMM register it does not
 * document as a result.
 *
 *  PFP_COMP          [rsp+16] left (pushed first), [rsp+8] right; removes
 *                    both (16 bytes).  Flags as the x87 condition bits:
 *                    CF left < right, ZF equal, PF unordered (all three set).
 *  PFP_TOFLOATSTACK  [rsp+8] the double, [rsp+16] 8 bytes of padding that
 *                    keep the caller 16-byte aligned; removes both.  Pushes
 *                    the double on the x87 stack.
 *  PFP_FLOATSTACKTOREG  pops the x87 top: low 32 bits into RDX, high 32 bits
 *                    into RAX (both zero-extended).
 */
        .intel_syntax noprefix
        .text

.macro ENTRY name
        .globl  \name
        .p2align 4
\name:
.endm

#define SYM_PFP_COMP            _ZN7QelMath8PFP_COMPEv
#define SYM_PFP_TOFLOATSTACK    _ZN7QelMath16PFP_TOFLOATSTACKEv
#define SYM_PFP_FLOATSTACKTOREG _ZN7QelMath19PFP_FLOATSTACKTOREGEv

ENTRY SYM_PFP_COMP
        fld     qword ptr [rsp + 8]
        fld     qword ptr [rsp + 16]
        fucomip st, st(1)
        fstp    st(0)
        ret     16

ENTRY SYM_PFP_TOFLOATSTACK
        fld     qword ptr [rsp + 8]
        ret     16

ENTRY SYM_PFP_FLOATSTACKTOREG
        sub     rsp, 8
        fstp    qword ptr [rsp]
        mov     edx, dword ptr [rsp]
        mov     eax, dword ptr [rsp + 4]
        add     rsp, 8
        ret

        .section .drectve
        .ascii  " -export:_ZN7QelMath8PFP_COMPEv"
        .ascii  " -export:_ZN7QelMath16PFP_TOFLOATSTACKEv"
        .ascii  " -export:_ZN7QelMath19PFP_FLOATSTACKTOREGEv"
