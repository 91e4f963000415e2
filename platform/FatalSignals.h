#pragma once

#include <cstdint>

namespace velmora {

// The fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL) are the operating system's exceptions. Their handler runs on
// an alternate stack, so a stack overflow still reaches it, calls the installed writer and then lets the signal
// take its default action.
class FatalSignals
{
public:
    // Called inside the signal handler: must be async-signal-safe (no allocation, no locks, no stdio).
    using Writer = void (*)(int signalNumber, std::uintptr_t faultAddress, std::uintptr_t codeAddress);

    static void install();
    static void uninstall();
    static bool isInstalled() noexcept;

    static void setWriter(Writer writer) noexcept;
    static Writer writer() noexcept;

    // The signal's short name ("SIGSEGV") and description, as static texts usable in the handler.
    static const char* signalName(int signalNumber) noexcept;
    static const char* signalDescription(int signalNumber) noexcept;
};

} // namespace velmora
