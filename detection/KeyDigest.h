#pragma once

#include "platform/EqualityForm.h"

#include <cstdint>
#include <vector>

struct evp_md_ctx_st; // OpenSSL's digest context

namespace velmora {

// 128 bits of a SHA-256 digest of a key's equality form. Equal keys give equal digests; different keys collide with
// a probability far below that of a disk error.
struct KeyDigest
{
    std::uint64_t high = 0;
    std::uint64_t low = 0;

    bool operator==(const KeyDigest&) const = default;
};

// Turns keys into digests under the key equality. Holds scratch buffers, so one maker serves one thread.
class KeyDigestMaker
{
public:
    explicit KeyDigestMaker(const KeyCollator& collator);
    ~KeyDigestMaker();
    KeyDigestMaker(const KeyDigestMaker&) = delete;
    KeyDigestMaker& operator=(const KeyDigestMaker&) = delete;

    KeyDigest digest(const QString& key);

private:
    EqualityFormBuilder m_forms;
    ::evp_md_ctx_st* m_context;
};

} // namespace velmora
