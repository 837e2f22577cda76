#include "interface/DisplayLink.h"

#include "server/DisplayServer.h"

namespace BPrivate
{

DisplayLink::DisplayLink(const void* owner, const WindowModel& model, const BMessenger& target)
    : fServer(DisplayServer::Acquire()), fToken(fServer->AddWindow(owner, model, target))
{
}

DisplayLink::~DisplayLink()
{
    fServer->RemoveWindow(fToken);
}

void DisplayLink::Update(const WindowModel& model)
{
    fServer->UpdateWindow(fToken, model);
}

void DisplayLink::Present(const Canvas& canvas, BRect rect)
{
    fServer->Present(fToken, canvas, rect);
}

void DisplayLink::Activate()
{
    fServer->ActivateWindow(fToken);
}

BRect DisplayLink::ScreenFrame()
{
    return DisplayServer::Acquire()->ScreenFrame();
}

void DisplayLink::SetClipboardText(const char* text, size_t length)
{
    DisplayServer::Acquire()->SetClipboardText(text, length);
}

std::string DisplayLink::ClipboardText()
{
    return DisplayServer::Acquire()->ClipboardText();
}

uint32 DisplayLink::Modifiers()
{
    std::shared_ptr<DisplayServer> server = DisplayServer::Existing();
    return server ? server->Modifiers() : 0;
}

} // namespace BPrivate
