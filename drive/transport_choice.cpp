#include "drive/transport_choice.h"

#include <cctype>
#include <cstring>

#include "drive/aspi_transport.h"
#include "drive/passthrough_transport.h"
#include "framework/trace.h"

namespace {

ScsiTransport* g_pTransport = nullptr;

bool sameWord(const char* text, const char* word)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    size_t n = std::strlen(word);
    for (size_t i = 0; i < n; ++i, ++text) {
        if (std::tolower(static_cast<unsigned char>(*text)) != word[i])
            return false;
    }
    while (*text == ' ' || *text == '\t')
        ++text;
    return *text == '\0';
}

// ASPI when it loads and reports at least one adapter; otherwise it is let
// go again, and its failure is only traced.
bool aspiServes()
{
    if (loadASPI(AspiFailures::TracedOnly) && getHostAdapterCount() > 0)
        return true;
    freeASPI();
    return false;
}

ScsiTransport* choose(TransportChoice choice)
{
    switch (choice) {
    case TransportChoice::Aspi:
        return loadASPI(AspiFailures::Shown) ? &aspiTransport() : nullptr;
    case TransportChoice::PassThrough:
        return &passThroughTransport();
    case TransportChoice::Auto:
    default:
        return aspiServes() ? &aspiTransport() : &passThroughTransport();
    }
}

}  // namespace

TransportChoice parseTransportChoice(const char* text)
{
    if (text == nullptr)
        return TransportChoice::Auto;
    if (sameWord(text, "aspi"))
        return TransportChoice::Aspi;
    if (sameWord(text, "passthrough"))
        return TransportChoice::PassThrough;
    return TransportChoice::Auto;
}

ScsiTransport* openTransport(TransportChoice choice)
{
    if (g_pTransport != nullptr)
        return nullptr;
    g_pTransport = choose(choice);
    if (g_pTransport != nullptr)
        Trace("SCSI transport: %s", g_pTransport->name());
    return g_pTransport;
}

bool closeTransport()
{
    if (g_pTransport == nullptr)
        return false;
    g_pTransport->letGo();
    if (g_pTransport == &aspiTransport())
        freeASPI();
    g_pTransport = nullptr;
    return true;
}
