/* The kernel's register-convention entries as assembler callers name them
 * (their C++ decorated names), and the macros that call them through the
 * import table.  For GNU assembler files in Intel syntax (.S). */
#ifndef QEL6KERNEL_ASM_H
#define QEL6KERNEL_ASM_H

#define Stkb1        _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData5Stkb1Ev
#define Stkb2        _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData5Stkb2Ev
#define Stkb3        _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData5Stkb3Ev
#define StkTrap      _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData7StkTrapEv
#define Run_Fail     _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData8Run_FailEv
#define Cut_Prolog   _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData10Cut_PrologEv
#define Trail_EDI    _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData9Trail_EDIEv
#define Trail_ESI    _ZN3Qel7RunTime6Kernel7Control9Trail_ESIEv
#define SetPosNew    _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData21SetCurrentPositionNewEv
#define PTD_GET      _ZN3Qel7RunTime6Kernel7Control17TPrologThreadData14GetPTDwithBodyEv
#define JmpReturn1   _ZN3Qel7RunTime6Kernel7Control10JmpReturn1Ev
#define Ellipsis     _ZN3Qel7RunTime6Kernel7Control20Qel_EllipsisTransferEPKv
#define MEM_alloc_ax _ZN3Qel7RunTime6Kernel6Memory12MEM_alloc_axEv

/* Calls and jumps through the import table of qel6kernel.dll. */
.macro KCALL sym
        call    qword ptr [rip + __imp_\sym]
.endm
.macro KJMP sym
        jmp     qword ptr [rip + __imp_\sym]
.endm

#endif
