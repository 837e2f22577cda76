// The display server on its own, linked without the interface kit (the link
// itself fails if the server calls up into the kit): what the user does to a
// window reaches the window's looper as the platform's messages.

#include <AppDefs.h>
#include <InterfaceDefs.h>
#include <Looper.h>
#include <Message.h>
#include <Messenger.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "server/DisplayServer.h"

using BPrivate::DisplayServer;
using BPrivate::WindowModel;

namespace
{

// Stands in for a window: keeps what the display posts to it.
class Recorder : public BLooper
{
public:
    void MessageReceived(BMessage* message) override
    {
        std::lock_guard<std::mutex> guard(fLock);
        fMessages.push_back(*message);
        fArrived.notify_all();
    }

    // The `count`th message (from 1) that arrived; an empty one when none came within 5 s.
    BMessage Nth(size_t count)
    {
        std::unique_lock<std::mutex> guard(fLock);
        fArrived.wait_for(guard, std::chrono::seconds(5),
                          [&] { return fMessages.size() >= count; });
        return fMessages.size() >= count ? fMessages[count - 1] : BMessage();
    }

    size_t Count()
    {
        std::lock_guard<std::mutex> guard(fLock);
        return fMessages.size();
    }

private:
    std::mutex fLock;
    std::condition_variable fArrived;
    std::vector<BMessage> fMessages;
};

int32 int32_of(const BMessage& message, const char* name)
{
    int32 value = -12345;
    message.FindInt32(name, &value);
    return value;
}

bool user_action(const BMessage& message)
{
    bool value = false;
    return message.FindBool(BPrivate::kUserActionField, &value) == B_OK && value;
}

std::string bytes_of(const BMessage& message)
{
    const char* bytes = "";
    message.FindString("bytes", &bytes);
    return bytes;
}

class DisplayServerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        setenv("BE_DISPLAY", "headless", 1);
        fServer = DisplayServer::Acquire();
        fRecorder = new Recorder;
        fRecorder->Run();
        WindowModel model;
        model.frame = BRect(10, 20, 109, 69);
        model.minWidth = 50;
        model.maxWidth = 200;
        model.closable = false;
        fToken = fServer->AddWindow(this, model, BMessenger(fRecorder));
    }

    void TearDown() override
    {
        fServer->RemoveWindow(fToken);
        if (fRecorder->Lock())
            fRecorder->Quit();
    }

    std::shared_ptr<DisplayServer> fServer;
    Recorder* fRecorder = nullptr;
    int32 fToken = -1;
};

TEST_F(DisplayServerTest, GeometryTheUserChangesIsMarkedAsTheUsersAndFollowsTheLimits)
{
    EXPECT_STREQ("headless", fServer->BackendName());
    EXPECT_EQ(fToken, fServer->TokenOf(this));

    fServer->UserMoved(fToken, BPoint(10, 20));
    fServer->UserMoved(fToken, BPoint(300, 200));
    BMessage moved = fRecorder->Nth(1);
    EXPECT_EQ((uint32)B_WINDOW_MOVED, moved.what) << "a move to where it is says nothing";
    BPoint where;
    EXPECT_EQ(B_OK, moved.FindPoint("where", &where));
    EXPECT_EQ(BPoint(300, 200), where);
    EXPECT_TRUE(user_action(moved));

    fServer->UserResized(fToken, 500, 10);
    BMessage resized = fRecorder->Nth(2);
    EXPECT_EQ((uint32)B_WINDOW_RESIZED, resized.what);
    EXPECT_EQ(200, int32_of(resized, "width"));
    EXPECT_EQ(10, int32_of(resized, "height"));
    EXPECT_TRUE(user_action(resized));

    WindowModel model;
    ASSERT_TRUE(fServer->GetModel(fToken, &model));
    EXPECT_EQ(BRect(300, 200, 500, 210), model.frame);
    rgb_color color;
    EXPECT_TRUE(fServer->ReadPixel(fToken, 200, 10, &color));
    EXPECT_FALSE(fServer->ReadPixel(fToken, 201, 10, &color));

    // This window has no close box; the keys still come.
    fServer->UserClosed(fToken);
    fServer->UserKeyDown(fToken, 0x4b, nullptr);
    EXPECT_EQ((uint32)B_MODIFIERS_CHANGED, fRecorder->Nth(3).what);
}

TEST_F(DisplayServerTest, KeysTypeWhatTheStandardKeymapSaysUnderTheModifiersHeld)
{
    fServer->UserKeyDown(fToken, 0x4b, nullptr); // left shift
    BMessage shift = fRecorder->Nth(1);
    EXPECT_EQ((uint32)B_MODIFIERS_CHANGED, shift.what);
    EXPECT_EQ(0, int32_of(shift, BPrivate::kOldModifiersField));
    EXPECT_EQ((int32)(B_SHIFT_KEY | B_LEFT_SHIFT_KEY), int32_of(shift, "modifiers"));
    EXPECT_EQ((uint32)(B_SHIFT_KEY | B_LEFT_SHIFT_KEY), fServer->Modifiers());
    EXPECT_EQ((uint32)B_UNMAPPED_KEY_DOWN, fRecorder->Nth(2).what);

    fServer->UserKeyDown(fToken, 0x3c, nullptr, true); // a, held
    BMessage key = fRecorder->Nth(3);
    EXPECT_EQ((uint32)B_KEY_DOWN, key.what);
    EXPECT_EQ("A", bytes_of(key));
    EXPECT_EQ('a', int32_of(key, "raw_char"));
    EXPECT_EQ(1, int32_of(key, BPrivate::kKeyRepeatField));

    fServer->UserKeyUp(fToken, 0x4b);
    fServer->UserKeyDown(fToken, 0x12, nullptr); // 1
    fServer->UserKeyDown(fToken, 0x02, nullptr); // F1
    fServer->UserKeyDown(fToken, 0x0e, nullptr); // no character at all
    EXPECT_EQ((uint32)B_UNMAPPED_KEY_UP, fRecorder->Nth(4).what);
    EXPECT_EQ((uint32)B_MODIFIERS_CHANGED, fRecorder->Nth(5).what);
    EXPECT_EQ("1", bytes_of(fRecorder->Nth(6)));
    EXPECT_EQ(std::string(1, B_FUNCTION_KEY), bytes_of(fRecorder->Nth(7)));
    EXPECT_EQ((uint32)B_UNMAPPED_KEY_DOWN, fRecorder->Nth(8).what);
    EXPECT_EQ(8u, fRecorder->Count());

    fServer->UserWheel(fToken, 0, -2);
    float delta = 0;
    EXPECT_EQ(B_OK, fRecorder->Nth(9).FindFloat(BPrivate::kWheelDeltaYField, &delta));
    EXPECT_EQ(-2.0f, delta);
}

} // namespace
