# intptr_t call_checked(void* function, void* object, const uintptr_t* arguments,
#                       int32_t count, int32_t* stack_left, int32_t* registers_kept)
#
# Pushes count 32-bit arguments, last first, as a VB Declare does, puts object
# in ECX (for thiscall; stdcall ignores it), and calls function. Afterwards
# *stack_left is how many bytes of the arguments the callee left on the
# stack (0 when it removed them, as stdcall and thiscall must) and
# *registers_kept is 1 when EBX and ESI came back unchanged.
    .text
    .globl _call_checked
_call_checked:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 16(%ebp), %esi
    movl 20(%ebp), %ebx
    movl %esp, %edi
1:  testl %ebx, %ebx
    jz 2f
    decl %ebx
    pushl (%esi,%ebx,4)
    jmp 1b
2:  movl 12(%ebp), %ecx
    movl $0x13579BDF, %ebx
    movl $0x2468ACE0, %esi
    call *8(%ebp)
    movl %edi, %ecx
    subl %esp, %ecx
    movl %edi, %esp
    movl 24(%ebp), %edx
    movl %ecx, (%edx)
    xorl %ecx, %ecx
    cmpl $0x13579BDF, %ebx
    jne 3f
    cmpl $0x2468ACE0, %esi
    jne 3f
    incl %ecx
3:  movl 28(%ebp), %edx
    movl %ecx, (%edx)
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
