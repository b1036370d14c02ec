# intptr_t call_checked(void* function, void* object, const uintptr_t* arguments,
#                       int32_t count, int32_t* stack_left, int32_t* registers_kept)
#
# The x64 counterpart of call_checked.S. On x64 Windows there is one calling
# convention: the caller passes the first four values in RCX, RDX, R8 and R9
# (with room for them, the home area, at the bottom of its outgoing argument
# area), the rest on the stack above, and removes them itself. What the
# callee owes its caller is to come back with RSP where it was and with the
# nonvolatile registers unchanged: RBX, RBP, RDI, RSI, R12 to R15 and XMM6 to
# XMM15. This is what VBA relies on after every Declare'd call.
#
# Calls function with object first (as `this`) when it is not null, then the
# count arguments, at most eight values in all. Every nonvolatile register
# holds a pattern of its own across the call, the upper halves included.
# Afterwards *stack_left is how many bytes the callee left RSP below where it
# was (0 as it must be) and *registers_kept is 1 when every nonvolatile
# register came back unchanged. Returns what the callee left in RAX. With
# more than eight values nothing is called and -1 is returned, RSP
# counted as off by -1.
#
# The expected RSP is kept in memory, not in a register that the callee
# might not keep; calls are made one at a time.

    .set FRAME, 232                 # outgoing area 64, XMM6-XMM15 160, padding 8
    .set SAVES, 64                  # where XMM6-XMM15 are saved
    .set ARGS5, FRAME + 8 * 8 + 8 + 32   # our 5th argument: frame, 8 pushes, return, home area

    .bss
    .p2align 3
expected_rsp:
    .zero 8

    .section .rdata,"dr"
    .p2align 4
xmm_patterns:
    .quad 0x0611223344556677, 0x8899AABBCCDDEEF6
    .quad 0x0711223344556677, 0x8899AABBCCDDEEF7
    .quad 0x0811223344556677, 0x8899AABBCCDDEEF8
    .quad 0x0911223344556677, 0x8899AABBCCDDEEF9
    .quad 0x1011223344556677, 0x8899AABBCCDDEE10
    .quad 0x1111223344556677, 0x8899AABBCCDDEE11
    .quad 0x1211223344556677, 0x8899AABBCCDDEE12
    .quad 0x1311223344556677, 0x8899AABBCCDDEE13
    .quad 0x1411223344556677, 0x8899AABBCCDDEE14
    .quad 0x1511223344556677, 0x8899AABBCCDDEE15

    .text
    .globl call_checked
    .def call_checked; .scl 2; .type 32; .endef
    .seh_proc call_checked
call_checked:
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rbx
    .seh_pushreg %rbx
    pushq %rdi
    .seh_pushreg %rdi
    pushq %rsi
    .seh_pushreg %rsi
    pushq %r12
    .seh_pushreg %r12
    pushq %r13
    .seh_pushreg %r13
    pushq %r14
    .seh_pushreg %r14
    pushq %r15
    .seh_pushreg %r15
    subq $FRAME, %rsp
    .seh_stackalloc FRAME
    movaps %xmm6, SAVES + 0x00(%rsp)
    .seh_savexmm %xmm6, SAVES + 0x00
    movaps %xmm7, SAVES + 0x10(%rsp)
    .seh_savexmm %xmm7, SAVES + 0x10
    movaps %xmm8, SAVES + 0x20(%rsp)
    .seh_savexmm %xmm8, SAVES + 0x20
    movaps %xmm9, SAVES + 0x30(%rsp)
    .seh_savexmm %xmm9, SAVES + 0x30
    movaps %xmm10, SAVES + 0x40(%rsp)
    .seh_savexmm %xmm10, SAVES + 0x40
    movaps %xmm11, SAVES + 0x50(%rsp)
    .seh_savexmm %xmm11, SAVES + 0x50
    movaps %xmm12, SAVES + 0x60(%rsp)
    .seh_savexmm %xmm12, SAVES + 0x60
    movaps %xmm13, SAVES + 0x70(%rsp)
    .seh_savexmm %xmm13, SAVES + 0x70
    movaps %xmm14, SAVES + 0x80(%rsp)
    .seh_savexmm %xmm14, SAVES + 0x80
    movaps %xmm15, SAVES + 0x90(%rsp)
    .seh_savexmm %xmm15, SAVES + 0x90
    .seh_endprologue

    # The values, object first, into the outgoing area: slot i at 8*i(%rsp).
    movq %rcx, %r10                 # the function
    xorl %eax, %eax                 # slots filled
    testq %rdx, %rdx
    jz 1f
    movq %rdx, (%rsp)
    movl $1, %eax
1:  movslq %r9d, %r9
    leaq (%rax,%r9), %r11
    cmpq $8, %r11
    ja too_many
    testq %r9, %r9
    jle 3f
    xorl %r11d, %r11d
2:  movq (%r8,%r11,8), %rcx
    movq %rcx, (%rsp,%rax,8)
    incq %rax
    incq %r11
    cmpq %r9, %r11
    jl 2b
3:  movq 0x00(%rsp), %rcx
    movq 0x08(%rsp), %rdx
    movq 0x10(%rsp), %r8
    movq 0x18(%rsp), %r9

    movq %rsp, expected_rsp(%rip)
    movabsq $0x0B0B0B0B13579BDF, %rbx
    movabsq $0x0B0B0B0B2468ACE0, %rbp
    movabsq $0x0D0D0D0D13579BDF, %rdi
    movabsq $0x05050505A5A5A5A5, %rsi
    movabsq $0x1212121213579BDF, %r12
    movabsq $0x131313132468ACE0, %r13
    movabsq $0x14141414A5A5A5A5, %r14
    movabsq $0x151515155A5A5A5A, %r15
    leaq xmm_patterns(%rip), %rax
    movaps 0x00(%rax), %xmm6
    movaps 0x10(%rax), %xmm7
    movaps 0x20(%rax), %xmm8
    movaps 0x30(%rax), %xmm9
    movaps 0x40(%rax), %xmm10
    movaps 0x50(%rax), %xmm11
    movaps 0x60(%rax), %xmm12
    movaps 0x70(%rax), %xmm13
    movaps 0x80(%rax), %xmm14
    movaps 0x90(%rax), %xmm15
    call *%r10

    # RSP as the callee left it, then back to ours.
    movq %rsp, %r10
    movq expected_rsp(%rip), %rsp
    movq %rsp, %rcx
    subq %r10, %rcx
    movq ARGS5(%rsp), %rdx
    movl %ecx, (%rdx)

    xorl %ecx, %ecx                 # registers kept: 0 until every check passed
    movabsq $0x0B0B0B0B13579BDF, %r10
    cmpq %r10, %rbx
    jne 4f
    movabsq $0x0B0B0B0B2468ACE0, %r10
    cmpq %r10, %rbp
    jne 4f
    movabsq $0x0D0D0D0D13579BDF, %r10
    cmpq %r10, %rdi
    jne 4f
    movabsq $0x05050505A5A5A5A5, %r10
    cmpq %r10, %rsi
    jne 4f
    movabsq $0x1212121213579BDF, %r10
    cmpq %r10, %r12
    jne 4f
    movabsq $0x131313132468ACE0, %r10
    cmpq %r10, %r13
    jne 4f
    movabsq $0x14141414A5A5A5A5, %r10
    cmpq %r10, %r14
    jne 4f
    movabsq $0x151515155A5A5A5A, %r10
    cmpq %r10, %r15
    jne 4f
    leaq xmm_patterns(%rip), %r10
    pcmpeqb 0x00(%r10), %xmm6
    pcmpeqb 0x10(%r10), %xmm7
    pcmpeqb 0x20(%r10), %xmm8
    pcmpeqb 0x30(%r10), %xmm9
    pcmpeqb 0x40(%r10), %xmm10
    pcmpeqb 0x50(%r10), %xmm11
    pcmpeqb 0x60(%r10), %xmm12
    pcmpeqb 0x70(%r10), %xmm13
    pcmpeqb 0x80(%r10), %xmm14
    pcmpeqb 0x90(%r10), %xmm15
    pand %xmm7, %xmm6
    pand %xmm8, %xmm6
    pand %xmm9, %xmm6
    pand %xmm10, %xmm6
    pand %xmm11, %xmm6
    pand %xmm12, %xmm6
    pand %xmm13, %xmm6
    pand %xmm14, %xmm6
    pand %xmm15, %xmm6
    pmovmskb %xmm6, %r10d
    cmpl $0xFFFF, %r10d
    jne 4f
    incl %ecx
4:  movq ARGS5 + 8(%rsp), %rdx
    movl %ecx, (%rdx)
    jmp done

too_many:
    movq ARGS5(%rsp), %rdx
    movl $-1, (%rdx)
    movq ARGS5 + 8(%rsp), %rdx
    movl $0, (%rdx)
    movq $-1, %rax

done:
    movaps SAVES + 0x00(%rsp), %xmm6
    movaps SAVES + 0x10(%rsp), %xmm7
    movaps SAVES + 0x20(%rsp), %xmm8
    movaps SAVES + 0x30(%rsp), %xmm9
    movaps SAVES + 0x40(%rsp), %xmm10
    movaps SAVES + 0x50(%rsp), %xmm11
    movaps SAVES + 0x60(%rsp), %xmm12
    movaps SAVES + 0x70(%rsp), %xmm13
    movaps SAVES + 0x80(%rsp), %xmm14
    movaps SAVES + 0x90(%rsp), %xmm15
    addq $FRAME, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rsi
    popq %rdi
    popq %rbx
    popq %rbp
    ret
    .seh_endproc
