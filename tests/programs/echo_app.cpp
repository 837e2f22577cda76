// An application for tests: registers the signature in $ECHO_APP_SIGNATURE and
// prints what it receives. 'TEST' messages are counted and their "seq" field,
// when there is one, checked to increase by one; 'DONE' prints the tally;
// 'PING' is answered with 'PONG' at its "reply_to" messenger, else its
// return address.

#include <Application.h>
#include <Message.h>
#include <Messenger.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace
{

class EchoApp : public BApplication
{
public:
    EchoApp(const char* signature) : BApplication(signature)
    {
        const char* delay = getenv("ECHO_APP_DELAY_US");
        fDelay = delay != NULL ? atol(delay) : 0;
    }

    void ReadyToRun() override { printf("ready pid=%ld\n", (long)getpid()); }

    void ArgvReceived(int32 argc, char** argv) override
    {
        printf("argv %ld", (long)argc);
        for (int32 i = 1; i < argc; i++)
            printf(" %s", argv[i]);
        printf("\n");
    }

    void MessageReceived(BMessage* message) override
    {
        switch (message->what) {
        case 'TEST': {
            // Slow at first, so that the queue fills and senders must wait.
            if (fDelay > 0 && fCount < 400)
                usleep(fDelay);
            fCount++;
            int32 sequence;
            if (message->FindInt32("seq", &sequence) == B_OK) {
                if (sequence != fNextSequence) {
                    printf("order broken at %ld: got %ld\n", (long)fNextSequence, (long)sequence);
                    fInOrder = false;
                }
                fNextSequence = sequence + 1;
            }
            const char* text = NULL;
            message->FindString("text", &text);
            printf("TEST count=%ld length=%ld remote=%d\n", (long)fCount,
                   text != NULL ? (long)strlen(text) : -1L, message->IsSourceRemote());
            break;
        }
        case 'DONE':
            printf("done count=%ld in_order=%d\n", (long)fCount, fInOrder);
            break;
        case 'PING': {
            BMessage pong('PONG');
            pong.AddInt32("count", fCount);
            BMessenger replyTo = message->ReturnAddress();
            message->FindMessenger("reply_to", &replyTo);
            status_t status = replyTo.SendMessage(&pong);
            printf("ping answered: %s\n", strerror(status));
            break;
        }
        case B_SILENT_RELAUNCH:
            printf("silent relaunch\n");
            BApplication::MessageReceived(message);
            break;
        default:
            printf("other %c%c%c%c\n", (char)(message->what >> 24), (char)(message->what >> 16),
                   (char)(message->what >> 8), (char)message->what);
            BApplication::MessageReceived(message);
            break;
        }
    }

    bool QuitRequested() override
    {
        printf("quit requested\n");
        return BApplication::QuitRequested();
    }

private:
    long fDelay = 0;
    int32 fCount = 0;
    int32 fNextSequence = 0;
    bool fInOrder = true;
};

} // namespace

int main()
{
    setvbuf(stdout, NULL, _IOLBF, 0);
    const char* signature = getenv("ECHO_APP_SIGNATURE");
    EchoApp app(signature != NULL ? signature : "application/x-vnd.test-echo-app");
    app.Run();
    printf("end\n");
    return 0;
}
