// What the generic renderer keeps of a feed, as its stream holds it: the URL (its byte count
// with the terminating zero, then the ANSI text and the zero), then the credentials (a byte
// count, 0 when there are none, then the blob that protects "user name<TAB>password" as
// zero-terminated UTF-16 for this machine, bound to the URL's bytes). Any thread.
#pragma once

#include <string>

#include "platform/data_protection.h"
#include "platform/stream.h"

namespace velk {

struct GenericRendererState {
    std::string url; // UTF-8
    std::string username;
    std::string password;
};

HRESULT WriteGenericRendererState(IStream& stream, const GenericRendererState& state,
                                  const DataProtection& protection);

// Reads what WriteGenericRendererState wrote. A stream that ends after the URL, or credentials
// that this machine cannot open (sealed elsewhere, damaged), give empty credentials and S_OK.
// E_INVALIDARG when the URL field is cut short or its count negative (state untouched), or
// when the credential field is (state then holds the URL and no credentials).
HRESULT ReadGenericRendererState(IStream& stream, const DataProtection& protection,
                                 GenericRendererState& state);

} // namespace velk
