#include "SerialSource.h"

#include <Errors.h>

#include <thread>

SerialSource::SerialSource(const SerialSettings& settings) : fSettings(settings) {}

SerialSource::~SerialSource() = default;

const std::string& SerialSource::Name() const
{
    return fSettings.name;
}

status_t SerialSource::Check(std::string* error)
{
    if (error != nullptr)
        *error = fSettings.name + ": this kind of reader is not built yet";
    return B_ERROR;
}

void SerialSource::Run(TagSink& sink, const std::atomic<bool>& stop)
{
    sink.Lost(fSettings.name, "this kind of reader is not built yet");
    while (!stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}
