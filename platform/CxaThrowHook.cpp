// The C++ run-time's throw entry point, defined in the program so that every raise passes through the exception
// tracker first. The build exports the symbol from each executable that links this library, so throws inside
// shared libraries (the standard library, Qt) resolve to it as well.

#include "platform/ExceptionTracker.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <typeinfo>

namespace {

using ThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));

// The next definition after ours in the lookup order: the standard library's, or, under AddressSanitizer, its
// interceptor, which forwards to the standard library's through its own pointer (so no call comes back here).
ThrowFunction nextThrow()
{
    static std::atomic<ThrowFunction> next { nullptr };
    ThrowFunction found = next.load(std::memory_order_acquire);
    if (found == nullptr) {
        found = reinterpret_cast<ThrowFunction>(dlsym(RTLD_NEXT, "__cxa_throw"));
        if (found == nullptr) {
            std::abort();
        }
        next.store(found, std::memory_order_release);
    }
    return found;
}

} // namespace

// Named by the link options of every executable that links the platform library, so that the linker takes this
// object out of the archive even when a shared library (the sanitizer run-time) already defines __cxa_throw.
extern "C" const int velmora_throw_hook_anchor = 1;

extern "C" [[noreturn]] void __cxa_throw(void* object, std::type_info* type, void (*destructor)(void*))
{
    const ThrowFunction next = nextThrow();
    if (next == &__cxa_throw) {
        std::abort();
    }
    velmora::RaisedException raised;
    raised.object = object;
    raised.type = type;
    raised.raiseAddress = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    velmora::ExceptionTracker::notify(raised);
    next(object, type, destructor);
    __builtin_unreachable();
}
