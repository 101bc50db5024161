/* Code cells for adjustor thunks, and a method that returns its object
 * argument. */
        .intel_syntax noprefix
        .text
        .globl  run_thunk_cells
        .p2align 4
run_thunk_cells:
        .fill   256, 1, 0xCC

        .globl  run_thunk_target
        .p2align 4
run_thunk_target:
        mov     rax, rcx
        ret
