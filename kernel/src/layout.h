/* Offsets of the thread record and of blocks, shared by the assembler entries
 * and the C++ code (which pins them with static_assert in ptd.h).  Words are
 * 8 bytes. */
#ifndef QEL_KERNEL_LAYOUT_H
#define QEL_KERNEL_LAYOUT_H

#define PTD_SIGNATURE       0
#define PTD_BACKTRACKTOP    8
#define PTD_GSTACKBASE      16
#define PTD_GSTACKTOP       24
#define PTD_GSTACKEND       32
#define PTD_GSTACKCOMMIT    40
#define PTD_TRAPTOP         48
#define PTD_TRAIL           56
#define PTD_TRAILTOP        64
#define PTD_TRAILCAP        68
#define PTD_CURRENTPOS      88

/* Backtrack block words. */
#define BB_CURSOR   0
#define BB_GSTACK   8
#define BB_LINK     16
#define BB_TRAIL    24
#define BB_RETRY    32
#define BB_TRAP     40
#define BB_FRAME    48
#define BB_W7       56

/* The setjmp-like block (TStackBlock) behind word 6. */
#define SB_RBX      56
#define SB_RDI      64
#define SB_RSI      72
#define SB_RBP      80
#define SB_RET      88
#define SB_R12      96
#define SB_R13      104
#define SB_R14      112
#define SB_R15      120
#define SB_RSP      128
#define SB_MXCSR    136
#define SB_FPUCW    140
#define SB_XMM      144

/* Thread-local slots of the thread environment block (x86-64). */
#define TEB_TLS_SLOTS 0x1480

/* Trail growth step in bytes. */
#define TRAIL_STEP 4096

#endif
