// Looks a place's name up with the live weather source's geocoding service, on a worker
// thread: the answer (a place, or what went wrong) is handed to the caller on the thread of
// `context` through its event loop. A lookup started while one runs replaces it; the object's
// end stops the worker and waits for it. GUI thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/event.h"
#include "providers/weather/open_meteo.h"

class QObject;

namespace velk {

class PlaceLookup {
public:
    // place, or none with the reason in words.
    using Answer = std::function<void(const std::optional<WeatherPlace>& place, const std::string& reason)>;

    explicit PlaceLookup(QObject* context) : context_(context) {}
    ~PlaceLookup() { Stop(); }
    PlaceLookup(const PlaceLookup&) = delete;
    PlaceLookup& operator=(const PlaceLookup&) = delete;

    void Start(const std::string& name, Answer answer);
    void Stop();

private:
    QObject* const context_;
    std::thread worker_;
    std::shared_ptr<Event> cancel_;
};

} // namespace velk
