#pragma once

#include <cstdint>
#include <typeinfo>
#include <vector>

namespace velmora {

// The kinds of exception frames; their names are written into the error log.
enum class ExceptionFrameKind {
    efkUnknown,
    efkFinally,
    efkAnyException,
    efkOnException,
    efkAutoException,
};

const char* exceptionFrameKindName(ExceptionFrameKind kind) noexcept;

// One frame of the raising thread's stack that takes part in exception handling at the moment of a raise.
struct ExceptionFrame
{
    ExceptionFrameKind kind = ExceptionFrameKind::efkUnknown;
    // The frame's place on the stack (its canonical frame address).
    std::uintptr_t location = 0;
    // The call site in the frame's function through which the exception will pass.
    std::uintptr_t codeAddress = 0;
    // The code that runs when the exception reaches this frame: the catch or clean-up block; 0 when none.
    std::uintptr_t landingPad = 0;
    // Types of the typed catch clauses, in the order the frame tries them.
    std::vector<const std::type_info*> catchTypes;
    // A `catch (...)` clause follows (or is) the frame's clause list.
    bool hasCatchAll = false;

    // Whether this frame handles an exception of the given type (the object is needed to adjust pointers
    // between bases). On true, handlerAddress receives the code that takes over.
    bool handles(const std::type_info* thrownType, void* thrownObject, std::uintptr_t* handlerAddress) const noexcept;
};

using ExceptionFrameList = std::vector<ExceptionFrame>;

// Walks the calling thread's stack and returns the exception frames from the frame whose call-site address is
// `startAddress` (a return address; the frames above it, the caller's own machinery, are skipped) outwards,
// innermost first. With startAddress 0 the walk starts at the caller of this function.
ExceptionFrameList recordExceptionFrames(std::uintptr_t startAddress);

// Whether an object of `thrownType` can be caught as `catchType` (same class, or a public base of it).
// On true, `*object` is adjusted to point at the `catchType` part.
bool exceptionTypeMatches(const std::type_info* catchType, const std::type_info* thrownType, void** object) noexcept;

} // namespace velmora
