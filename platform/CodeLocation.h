#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// Where a code address lies, from the program's own debug information.
struct CodeLocation
{
    // The address itself when it was located, else 0.
    std::uintptr_t address = 0;
    // The file name of the module (program or shared library) holding the address.
    std::string unitName;
    // The function, demangled.
    std::string procedureName;
    // The source file, without its folder.
    std::string sourceName;
    int line = 0;
};

// Looks up an address. An address without debug information gives empty names, line 0 and address 0.
// Never throws; safe to call from the exception notifiers (the session is cached and guarded by a lock).
CodeLocation locateCode(std::uintptr_t address) noexcept;

} // namespace velmora
