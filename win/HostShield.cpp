// The structured-exception frame around calls into the host. GCC has no __try, so the
// frame is made by hand, one way per architecture:
// - i386: an exception registration record on the stack, linked into the thread's
//   chain (fs:0). Its handler unwinds the frames above it and jumps back with
//   __builtin_longjmp to where the call was made.
// - x86_64: exceptions are dispatched through unwind tables, so the frame is a scope
//   entry of __C_specific_handler, which mingw-w64's __try1/__except1 emit; the filter
//   takes every exception and the unwinder resumes after the call.
#include "win/HostShield.h"

#include <windows.h>
#include <excpt.h>

namespace tervex {

#if defined(__i386__)

namespace {

struct ShieldFrame {
    EXCEPTION_REGISTRATION_RECORD record;  // first: the handler is given its address
    void* resume[5];                        // __builtin_setjmp buffer
};

EXCEPTION_REGISTRATION_RECORD* ChainHead() {
    EXCEPTION_REGISTRATION_RECORD* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

EXCEPTION_DISPOSITION NTAPI ShieldHandler(EXCEPTION_RECORD* record, void* establisher, CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    // RtlUnwind may not keep ebx, esi and edi: the frame's address waits on the stack.
    void* volatile frame = establisher;
    RtlUnwind(establisher, nullptr, record, nullptr);  // runs and unlinks the handlers above ours
    __builtin_longjmp(static_cast<ShieldFrame*>(frame)->resume, 1);
}

}  // namespace

__attribute__((noinline)) bool CallShielded(void (*body)(void*), void* context) noexcept {
    ShieldFrame frame;
    frame.record.Next = ChainHead();
    frame.record.Handler = ShieldHandler;
    if (__builtin_setjmp(frame.resume)) {
        // Back from the handler: every register but the frame and stack pointers is lost.
        SetChainHead(frame.record.Next);
        return false;
    }
    SetChainHead(&frame.record);
    body(context);
    SetChainHead(frame.record.Next);
    return true;
}

#elif defined(__x86_64__)

// The scope's filter: every exception ends at the shield.
extern "C" int tervex_host_shield_filter(EXCEPTION_POINTERS*, void*) { return EXCEPTION_EXECUTE_HANDLER; }

namespace {

// One scope per function and per file: __try1 uses fixed labels. No C++ cleanups may
// live in this function, or GCC would give it a handler of its own.
__attribute__((noinline, noclone)) int ShieldedCall(void (*body)(void*), void* context) {
    volatile int returned = 0;
    __try1(tervex_host_shield_filter)
    body(context);
    returned = 1;
    __except1
    return returned;
}

}  // namespace

bool CallShielded(void (*body)(void*), void* context) noexcept { return ShieldedCall(body, context) != 0; }

#else

bool CallShielded(void (*body)(void*), void* context) noexcept {
    body(context);
    return true;
}

#endif

}  // namespace tervex
