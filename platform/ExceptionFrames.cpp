#include "platform/ExceptionFrames.h"

#include <unwind.h>

#include <cstring>

namespace velmora {

namespace {

    // Pointer encodings of the exception tables (DW_EH_PE_*).
    constexpr std::uint8_t kPeOmit = 0xff;
    constexpr std::uint8_t kPeAbsPtr = 0x00;
    constexpr std::uint8_t kPeUleb128 = 0x01;
    constexpr std::uint8_t kPeUdata2 = 0x02;
    constexpr std::uint8_t kPeUdata4 = 0x03;
    constexpr std::uint8_t kPeUdata8 = 0x04;
    constexpr std::uint8_t kPeSleb128 = 0x09;
    constexpr std::uint8_t kPeSdata2 = 0x0a;
    constexpr std::uint8_t kPeSdata4 = 0x0b;
    constexpr std::uint8_t kPeSdata8 = 0x0c;
    constexpr std::uint8_t kPePcRel = 0x10;
    constexpr std::uint8_t kPeFuncRel = 0x40;
    constexpr std::uint8_t kPeIndirect = 0x80;

    // A bounded reader: the tables come from our own binary, but a misread encoding must end in "unknown",
    // never in a read far off into memory.
    struct Reader
    {
        const std::uint8_t* p;
        const std::uint8_t* end;
        bool ok = true;

        std::uint8_t byte()
        {
            if (p >= end) {
                ok = false;
                return 0;
            }
            return *p++;
        }

        // The bits of a LEB128 number; `shift` ends past its last group, `last` is its last byte.
        std::uint64_t leb(unsigned& shift, std::uint8_t& last)
        {
            std::uint64_t result = 0;
            shift = 0;
            do {
                last = byte();
                if (shift < 64) {
                    result |= static_cast<std::uint64_t>(last & 0x7f) << shift;
                }
                shift += 7;
            } while (ok && (last & 0x80));
            return result;
        }

        std::uint64_t uleb()
        {
            unsigned shift = 0;
            std::uint8_t b = 0;
            return leb(shift, b);
        }

        std::int64_t sleb()
        {
            unsigned shift = 0;
            std::uint8_t b = 0;
            std::uint64_t result = leb(shift, b);
            if (shift < 64 && (b & 0x40)) {
                result |= ~std::uint64_t(0) << shift;
            }
            return static_cast<std::int64_t>(result);
        }

        template <typename T> T fixed()
        {
            T value {};
            if (end - p < static_cast<std::ptrdiff_t>(sizeof(T))) {
                ok = false;
                return value;
            }
            std::memcpy(&value, p, sizeof(T));
            p += sizeof(T);
            return value;
        }

        // Reads a value in the given encoding; funcBase is the start of the function for function-relative
        // values. Returns false for an encoding we do not decode.
        bool encoded(std::uint8_t encoding, std::uintptr_t funcBase, std::uintptr_t& out)
        {
            if (encoding == kPeOmit) {
                out = 0;
                return true;
            }
            const auto fieldAddress = reinterpret_cast<std::uintptr_t>(p);
            std::uintptr_t value = 0;
            switch (encoding & 0x0f) {
            case kPeAbsPtr:
                value = fixed<std::uintptr_t>();
                break;
            case kPeUleb128:
                value = static_cast<std::uintptr_t>(uleb());
                break;
            case kPeUdata2:
                value = fixed<std::uint16_t>();
                break;
            case kPeUdata4:
                value = fixed<std::uint32_t>();
                break;
            case kPeUdata8:
                value = static_cast<std::uintptr_t>(fixed<std::uint64_t>());
                break;
            case kPeSleb128:
                value = static_cast<std::uintptr_t>(sleb());
                break;
            case kPeSdata2:
                value = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(fixed<std::int16_t>()));
                break;
            case kPeSdata4:
                value = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(fixed<std::int32_t>()));
                break;
            case kPeSdata8:
                value = static_cast<std::uintptr_t>(fixed<std::int64_t>());
                break;
            default:
                return false;
            }
            if (!ok) {
                return false;
            }
            if (value != 0) {
                switch (encoding & 0x70) {
                case 0:
                    break;
                case kPePcRel:
                    value += fieldAddress;
                    break;
                case kPeFuncRel:
                    value += funcBase;
                    break;
                default:
                    return false;
                }
                if (encoding & kPeIndirect) {
                    value = *reinterpret_cast<const std::uintptr_t*>(value);
                }
            }
            out = value;
            return true;
        }
    };

    std::size_t encodedSize(std::uint8_t encoding)
    {
        switch (encoding & 0x07) {
        case kPeAbsPtr:
            return sizeof(void*);
        case kPeUdata2:
            return 2;
        case kPeUdata4:
            return 4;
        case kPeUdata8:
            return 8;
        default:
            return 0;
        }
    }

    enum class Decoded { notAFrame, frame };

    // Decodes the exception table of one frame for the call site at `ip` and fills `frame`. A frame whose call
    // site has no landing pad is no exception frame; a call site missing from the table means the run-time
    // terminates there (a noexcept boundary).
    Decoded decodeFrame(const std::uint8_t* lsda, std::uintptr_t regionStart, std::uintptr_t ip, ExceptionFrame& frame)
    {
        // The header and tables are small; the limit only stops a runaway read.
        Reader r { lsda, lsda + (1 << 20) };
        auto unknown = [&frame] {
            frame.kind = ExceptionFrameKind::efkUnknown;
            frame.catchTypes.clear();
            frame.hasCatchAll = false;
            return Decoded::frame;
        };

        std::uintptr_t lpStart = regionStart;
        const std::uint8_t lpStartEncoding = r.byte();
        if (lpStartEncoding != kPeOmit && !r.encoded(lpStartEncoding, regionStart, lpStart)) {
            return unknown();
        }
        const std::uint8_t ttypeEncoding = r.byte();
        const std::uint8_t* ttypeBase = nullptr;
        if (ttypeEncoding != kPeOmit) {
            const std::uint64_t offset = r.uleb();
            ttypeBase = r.p + offset;
        }
        const std::uint8_t callSiteEncoding = r.byte();
        const std::uint64_t callSiteLength = r.uleb();
        if (!r.ok) {
            return unknown();
        }
        const std::uint8_t* actionTable = r.p + callSiteLength;
        Reader sites { r.p, actionTable };

        bool found = false;
        std::uintptr_t landingPad = 0;
        std::uint64_t action = 0;
        while (sites.p < sites.end) {
            std::uintptr_t start = 0;
            std::uintptr_t length = 0;
            std::uintptr_t pad = 0;
            if (!sites.encoded(callSiteEncoding & 0x0f, 0, start) || !sites.encoded(callSiteEncoding & 0x0f, 0, length)
                || !sites.encoded(callSiteEncoding & 0x0f, 0, pad)) {
                return unknown();
            }
            const std::uint64_t siteAction = sites.uleb();
            if (!sites.ok) {
                return unknown();
            }
            // The table is sorted by start address.
            if (ip < regionStart + start) {
                break;
            }
            if (ip < regionStart + start + length) {
                found = true;
                landingPad = pad == 0 ? 0 : lpStart + pad;
                action = siteAction;
                break;
            }
        }

        if (!found) {
            frame.kind = ExceptionFrameKind::efkAutoException;
            return Decoded::frame;
        }
        if (landingPad == 0) {
            return Decoded::notAFrame;
        }
        frame.landingPad = landingPad;
        if (action == 0) {
            frame.kind = ExceptionFrameKind::efkFinally;
            return Decoded::frame;
        }

        bool cleanup = false;
        bool noexceptBoundary = false;
        Reader actions { actionTable + action - 1, actionTable + (1 << 20) };
        for (int guard = 0; guard < 4096; ++guard) {
            const std::int64_t filter = actions.sleb();
            const std::uint8_t* displacementAt = actions.p;
            const std::int64_t displacement = actions.sleb();
            if (!actions.ok) {
                return unknown();
            }
            if (filter > 0) {
                const std::size_t size = encodedSize(ttypeEncoding);
                if (ttypeBase == nullptr || size == 0) {
                    return unknown();
                }
                Reader entry { ttypeBase - static_cast<std::uint64_t>(filter) * size, ttypeBase };
                std::uintptr_t type = 0;
                if (!entry.encoded(ttypeEncoding, regionStart, type)) {
                    return unknown();
                }
                if (type == 0) {
                    frame.hasCatchAll = true;
                } else {
                    frame.catchTypes.push_back(reinterpret_cast<const std::type_info*>(type));
                }
            } else if (filter == 0) {
                cleanup = true;
            } else {
                noexceptBoundary = true;
            }
            if (displacement == 0) {
                break;
            }
            actions.p = displacementAt + displacement;
        }

        if (!frame.catchTypes.empty()) {
            frame.kind = ExceptionFrameKind::efkOnException;
            // A noexcept boundary further out stops everything the clauses let through.
            frame.hasCatchAll = frame.hasCatchAll || noexceptBoundary;
        } else if (frame.hasCatchAll) {
            frame.kind = ExceptionFrameKind::efkAnyException;
        } else if (noexceptBoundary) {
            frame.kind = ExceptionFrameKind::efkAutoException;
        } else if (cleanup) {
            frame.kind = ExceptionFrameKind::efkFinally;
        } else {
            return unknown();
        }
        return Decoded::frame;
    }

    struct WalkState
    {
        std::uintptr_t startAddress;
        bool started;
        ExceptionFrameList* frames;
    };

    _Unwind_Reason_Code visitFrame(_Unwind_Context* context, void* argument)
    {
        auto* state = static_cast<WalkState*>(argument);
        int beforeInstruction = 0;
        const std::uintptr_t ip = _Unwind_GetIPInfo(context, &beforeInstruction);
        if (!state->started) {
            if (state->startAddress == 0) {
                // The first frame is recordExceptionFrames itself.
                state->startAddress = 1;
                return _URC_NO_REASON;
            }
            if (state->startAddress != 1 && ip != state->startAddress) {
                return _URC_NO_REASON;
            }
            state->started = true;
        }
        if (ip == 0) {
            return _URC_END_OF_STACK;
        }
        const auto* lsda = static_cast<const std::uint8_t*>(_Unwind_GetLanguageSpecificData(context));
        if (lsda == nullptr) {
            return _URC_NO_REASON;
        }
        // A return address points after the call; the call itself belongs to the call site before it.
        const std::uintptr_t callSite = beforeInstruction ? ip : ip - 1;
        ExceptionFrame frame;
        frame.location = _Unwind_GetCFA(context);
        frame.codeAddress = callSite;
        if (decodeFrame(lsda, _Unwind_GetRegionStart(context), callSite, frame) == Decoded::frame) {
            state->frames->push_back(std::move(frame));
        }
        return _URC_NO_REASON;
    }

} // namespace

const char* exceptionFrameKindName(ExceptionFrameKind kind) noexcept
{
    switch (kind) {
    case ExceptionFrameKind::efkFinally:
        return "efkFinally";
    case ExceptionFrameKind::efkAnyException:
        return "efkAnyException";
    case ExceptionFrameKind::efkOnException:
        return "efkOnException";
    case ExceptionFrameKind::efkAutoException:
        return "efkAutoException";
    case ExceptionFrameKind::efkUnknown:
        break;
    }
    return "efkUnknown";
}

bool exceptionTypeMatches(const std::type_info* catchType, const std::type_info* thrownType, void** object) noexcept
{
    if (catchType == nullptr || thrownType == nullptr || object == nullptr) {
        return false;
    }
    // As the run-time does: a thrown pointer is matched (and adjusted) by its value, not by its storage.
    void* adjusted = *object;
    if (adjusted != nullptr && thrownType->__is_pointer_p()) {
        adjusted = *static_cast<void**>(adjusted);
    }
    if (catchType->__do_catch(thrownType, &adjusted, 1)) {
        *object = adjusted;
        return true;
    }
    return false;
}

bool ExceptionFrame::handles(const std::type_info* thrownType, void* thrownObject,
                             std::uintptr_t* handlerAddress) const noexcept
{
    std::uintptr_t handler = 0;
    bool result = false;
    switch (kind) {
    case ExceptionFrameKind::efkAnyException:
        handler = landingPad;
        result = true;
        break;
    case ExceptionFrameKind::efkAutoException:
        handler = landingPad != 0 ? landingPad : codeAddress;
        result = true;
        break;
    case ExceptionFrameKind::efkOnException:
        result = hasCatchAll;
        for (const std::type_info* type : catchTypes) {
            void* object = thrownObject;
            if (exceptionTypeMatches(type, thrownType, &object)) {
                result = true;
                break;
            }
        }
        handler = landingPad;
        break;
    case ExceptionFrameKind::efkFinally:
    case ExceptionFrameKind::efkUnknown:
        break;
    }
    if (result && handlerAddress != nullptr) {
        *handlerAddress = handler;
    }
    return result;
}

__attribute__((noinline)) ExceptionFrameList recordExceptionFrames(std::uintptr_t startAddress)
{
    ExceptionFrameList frames;
    WalkState state { startAddress, false, &frames };
    _Unwind_Backtrace(&visitFrame, &state);
    return frames;
}

} // namespace velmora
