#include "platform/CodeLocation.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

namespace velmora {

namespace {

    char* debugInfoPath = nullptr;

    const Dwfl_Callbacks kCallbacks = {
        dwfl_linux_proc_find_elf,
        dwfl_standard_find_debuginfo,
        nullptr,
        &debugInfoPath,
    };

    // One session over the running process, built on first use and rebuilt when an address falls outside
    // every module it knows (a library loaded later). Never freed: lookups may run until the process ends.
    struct Session
    {
        std::mutex mutex;
        Dwfl* dwfl = nullptr;

        bool rebuild()
        {
            if (dwfl != nullptr) {
                dwfl_end(dwfl);
            }
            dwfl = dwfl_begin(&kCallbacks);
            if (dwfl == nullptr) {
                return false;
            }
            if (dwfl_linux_proc_report(dwfl, getpid()) != 0 || dwfl_report_end(dwfl, nullptr, nullptr) != 0) {
                dwfl_end(dwfl);
                dwfl = nullptr;
                return false;
            }
            return true;
        }

        Dwfl_Module* module(Dwarf_Addr address)
        {
            if (dwfl == nullptr && !rebuild()) {
                return nullptr;
            }
            Dwfl_Module* found = dwfl_addrmodule(dwfl, address);
            if (found == nullptr && rebuild()) {
                found = dwfl_addrmodule(dwfl, address);
            }
            return found;
        }
    };

    Session& session()
    {
        static Session* instance = new Session;
        return *instance;
    }

    std::string baseName(const char* path)
    {
        if (path == nullptr) {
            return {};
        }
        const char* slash = std::strrchr(path, '/');
        return slash != nullptr ? std::string(slash + 1) : std::string(path);
    }

    std::string demangled(const char* name)
    {
        if (name == nullptr) {
            return {};
        }
        int status = 0;
        char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
        if (status != 0 || text == nullptr) {
            return name;
        }
        std::string result(text);
        std::free(text);
        // The compiler moves rarely run parts (such as catch blocks) out of line; they belong to the same function.
        static constexpr std::string_view cold = " [clone .cold]";
        if (result.ends_with(cold)) {
            result.resize(result.size() - cold.size());
        }
        return result;
    }

} // namespace

CodeLocation locateCode(std::uintptr_t address) noexcept
{
    CodeLocation location;
    if (address == 0) {
        return location;
    }
    try {
        Session& s = session();
        const std::lock_guard lock(s.mutex);
        Dwfl_Module* module = s.module(address);
        if (module == nullptr) {
            return location;
        }
        Dwfl_Line* line = dwfl_module_getsrc(module, address);
        if (line == nullptr) {
            return location;
        }
        int lineNumber = 0;
        const char* source = dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr);
        if (source == nullptr) {
            return location;
        }
        const char* moduleName
            = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        location.address = address;
        location.unitName = baseName(moduleName);
        location.procedureName = demangled(dwfl_module_addrname(module, address));
        location.sourceName = baseName(source);
        location.line = lineNumber;
    } catch (...) {
        // Only allocation can fail here; a location is a convenience, never worth a second failure.
        return CodeLocation {};
    }
    return location;
}

} // namespace velmora
