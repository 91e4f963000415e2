#include "GMimeInit.h"

#include <gmime/gmime.h>

#include <mutex>

namespace velmora {
namespace {

    std::once_flag g_initOnce;
    GMimeParserOptions* g_options = nullptr;

} // namespace

void ensureGMimeInitialised()
{
    std::call_once(g_initOnce, [] {
        g_mime_init();
        g_options = g_mime_parser_options_new();
        static const char* fallback[] = { "UTF-8", "windows-1252", nullptr };
        g_mime_parser_options_set_fallback_charsets(g_options, fallback);
        // Mail in the wild breaks every rule; parse it as loosely as possible instead of refusing it.
        g_mime_parser_options_set_rfc2047_compliance_mode(g_options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_address_compliance_mode(g_options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(g_options, GMIME_RFC_COMPLIANCE_LOOSE);
    });
}

GMimeParserOptions* messageParserOptions()
{
    ensureGMimeInitialised();
    return g_options;
}

} // namespace velmora
