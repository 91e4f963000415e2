#include "platform/FatalSignals.h"

#include <signal.h>
#include <ucontext.h>

#include <array>
#include <atomic>
#include <cstdlib>

namespace velmora {

namespace {

    constexpr std::array<int, 4> kSignals = { SIGSEGV, SIGBUS, SIGFPE, SIGILL };

    std::atomic<FatalSignals::Writer> g_writer { nullptr };
    std::atomic<bool> g_installed { false };
    std::array<struct sigaction, kSignals.size()> g_previous {};
    // Big enough for the writer's fixed buffers; kept for the life of the process once installed.
    constexpr std::size_t kAltStackSize = 256 * 1024;
    void* g_altStack = nullptr;

    std::uintptr_t codeAddressOf(void* context)
    {
        const auto* uc = static_cast<const ucontext_t*>(context);
        if (uc == nullptr) {
            return 0;
        }
#if defined(__x86_64__)
        return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
        return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
        return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
        return 0;
#endif
    }

    void handleFatalSignal(int signalNumber, siginfo_t* info, void* context)
    {
        if (FatalSignals::Writer writer = g_writer.load()) {
            writer(signalNumber, reinterpret_cast<std::uintptr_t>(info != nullptr ? info->si_addr : nullptr),
                   codeAddressOf(context));
        }
        // Default action from here: the signal is blocked while we run, so the raised one arrives right after
        // the return (and a fault would repeat at the same instruction anyway).
        struct sigaction fallback
        {
        };
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signalNumber, &fallback, nullptr);
        raise(signalNumber);
    }

} // namespace

void FatalSignals::install()
{
    if (g_installed.exchange(true)) {
        return;
    }
    if (g_altStack == nullptr) {
        g_altStack = std::malloc(kAltStackSize);
    }
    if (g_altStack != nullptr) {
        stack_t stack {};
        stack.ss_sp = g_altStack;
        stack.ss_size = kAltStackSize;
        stack.ss_flags = 0;
        sigaltstack(&stack, nullptr);
    }
    struct sigaction action
    {
    };
    action.sa_sigaction = &handleFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kSignals) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

void FatalSignals::uninstall()
{
    if (!g_installed.exchange(false)) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

bool FatalSignals::isInstalled() noexcept
{
    return g_installed.load();
}

void FatalSignals::setWriter(Writer writer) noexcept
{
    g_writer.store(writer);
}

FatalSignals::Writer FatalSignals::writer() noexcept
{
    return g_writer.load();
}

const char* FatalSignals::signalName(int signalNumber) noexcept
{
    switch (signalNumber) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    default:
        return "SIGNAL";
    }
}

const char* FatalSignals::signalDescription(int signalNumber) noexcept
{
    switch (signalNumber) {
    case SIGSEGV:
        return "Access violation";
    case SIGBUS:
        return "Bus error";
    case SIGFPE:
        return "Arithmetic error";
    case SIGILL:
        return "Illegal instruction";
    default:
        return "Fatal signal";
    }
}

} // namespace velmora
