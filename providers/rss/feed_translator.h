// A feed renderer whose source answers in a format of its own rather than RSS (a weather
// service's JSON): the download turns each answer into the RSS document the renderer draws
// from, and schedules the next download by that document's lastBuildDate and ttl as for any
// feed. Implemented beside IRSSRenderer; used on the download workers.
#pragma once

#include <string>

#include "platform/http_get.h"

namespace velk {

class IFeedTranslator {
public:
    virtual ~IFeedTranslator() = default;

    // The RSS document for a successful answer; E_INVALIDARG, with reason saying why, for an
    // answer that is not what the source sends.
    virtual HRESULT Translate(const HttpResponse& answer, std::string& rss, std::string& reason) = 0;
};

} // namespace velk
