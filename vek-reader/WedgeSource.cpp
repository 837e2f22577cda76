#include "WedgeSource.h"

#include <Errors.h>

#include <thread>

WedgeSource::WedgeSource(const WedgeSettings& settings) : fSettings(settings) {}

WedgeSource::~WedgeSource() = default;

const std::string& WedgeSource::Name() const
{
    return fSettings.name;
}

status_t WedgeSource::Check(std::string* error)
{
    if (error != nullptr)
        *error = fSettings.name + ": this kind of reader is not built yet";
    return B_ERROR;
}

void WedgeSource::Run(TagSink& sink, const std::atomic<bool>& stop)
{
    sink.Lost(fSettings.name, "this kind of reader is not built yet");
    while (!stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}
