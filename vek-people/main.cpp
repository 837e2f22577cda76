// vek-people: the people the client knows, kept in its avatar list and its
// avatars folder; enrols a card through the running reader service.

#include "AppFolder.h"
#include "AvatarList.h"
#include "Check.h"
#include "Picture.h"
#include "ReaderRequests.h"
#include "StagedFile.h"
#include "tags/Spelling.h"

#include <Application.h>
#include <Looper.h>
#include <Message.h>
#include <Messenger.h>
#include <Node.h>
#include <NodeInfo.h>

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace
{

const char kVersion[] = "vek-people " VEK_PEOPLE_VERSION;
const char kPeopleSignature[] = "application/x-vnd.VEK-people";

const char kUsage[] =
    "Usage: vek-people [--app DIR] COMMAND …\n"
    "The people the client knows: its avatar list and the pictures in avatars/.\n"
    "\n"
    "  list                              every entry with its tags and picture\n"
    "  add NAME --tag TAG [--tag TAG…]   a new person with the card(s) given\n"
    "  add NAME --scan [--timeout S]     … with the next card the reader service reads\n"
    "      [--picture FILE] [--size N] [--label | --no-label]\n"
    "                                    without a picture, one with the initials is made\n"
    "  picture NAME FILE [--size N] [--label]\n"
    "  tag NAME --add TAG | --remove TAG\n"
    "  remove NAME [--keep-picture]\n"
    "  rename OLD NEW\n"
    "  recent                            the last reads of the reader service\n"
    "  check                             what the client would get wrong (exit 1 if any)\n"
    "\n"
    "  --app DIR    the application folder (default: the folder of vek-people,\n"
    "               where VEK_BeOS lies)\n"
    "  --help, --version\n";

// How long a change waits for another vek-people to finish its own.
const bigtime_t kLockWait = 10000000;
const size_t kLongestName = 200;

int Fail(const std::string& line)
{
    fprintf(stderr, "vek-people: %s\n", line.c_str());
    return 1;
}

int UsageError(const std::string& line)
{
    fprintf(stderr, "vek-people: %s (see vek-people --help)\n", line.c_str());
    return 2;
}

// The command line after the command: words and options.
struct Arguments {
    std::vector<std::string> words;
    std::vector<std::string> tags;
    std::vector<std::string> added;
    std::vector<std::string> removed;
    std::string picture;
    bool scan = false;
    int timeout = 30;
    int32 size = kDefaultPictureSize;
    std::optional<bool> label;
    bool keepPicture = false;
    std::string app;
    bool help = false;
};

bool ParseNumber(const char* text, int lowest, int highest, int* value)
{
    char* end;
    errno = 0;
    long number = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || number < lowest || number > highest)
        return false;
    *value = (int)number;
    return true;
}

bool Parse(int argc, char** argv, int first, Arguments* arguments, std::string* error)
{
    for (int i = first; i < argc; i++) {
        std::string option = argv[i];
        auto value = [&](const char** into) {
            if (i + 1 >= argc) {
                *error = option + " needs a value";
                return false;
            }
            *into = argv[++i];
            return true;
        };
        const char* text;
        if (option == "--tag" || option == "--add" || option == "--remove") {
            if (!value(&text))
                return false;
            (option == "--tag"   ? arguments->tags
             : option == "--add" ? arguments->added
                                 : arguments->removed)
                .push_back(text);
        } else if (option == "--picture") {
            if (!value(&text))
                return false;
            arguments->picture = text;
        } else if (option == "--scan") {
            arguments->scan = true;
        } else if (option == "--timeout") {
            if (!value(&text) || !ParseNumber(text, 1, 3600, &arguments->timeout)) {
                *error = "--timeout needs seconds, 1 to 3600";
                return false;
            }
        } else if (option == "--size") {
            int size;
            if (!value(&text) || !ParseNumber(text, 16, kTallestPicture, &size)) {
                *error = "--size needs pixels, 16 to " + std::to_string(kTallestPicture);
                return false;
            }
            arguments->size = size;
        } else if (option == "--label") {
            arguments->label = true;
        } else if (option == "--no-label") {
            arguments->label = false;
        } else if (option == "--app") {
            if (!value(&text))
                return false;
            arguments->app = text;
        } else if (option == "--help" || option == "-h") {
            arguments->help = true;
        } else if (option == "--keep-picture") {
            arguments->keepPicture = true;
        } else if (option.size() > 1 && option[0] == '-' && option != "--") {
            *error = "unknown option " + option;
            return false;
        } else {
            if (option == "--" && ++i < argc)
                option = argv[i];
            arguments->words.push_back(option);
        }
    }
    return true;
}

// Why a name cannot be an entry's name and its picture's file name; empty
// when it can.
std::string BadName(const std::string& name)
{
    if (name.empty())
        return "a name cannot be empty";
    if (name.size() > kLongestName)
        return "a name has at most " + std::to_string(kLongestName) + " bytes";
    if (name.find('|') != std::string::npos)
        return "a name cannot hold '|' (it ends the name in the list)";
    if (name.find('/') != std::string::npos)
        return "a name cannot hold '/' (it is the picture's file name)";
    if (name[0] == '#')
        return "a name cannot begin with '#' (the client reads the line as a comment)";
    if (name[0] == ' ' || name.back() == ' ')
        return "a name cannot begin or end with a blank";
    if (name == "." || name == "..")
        return "a name cannot be . or ..";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F)
            return "a name cannot hold control characters";
    }
    if (!IsUtf8(name))
        return "a name must be UTF-8";
    if (name == "givecard2" || name == "none")
        return "the picture " + name + " is the client's own";
    return "";
}

// The tag in the spelling the reader service sends by default.
std::optional<std::string> Spelled(const std::string& tag, std::string* why)
{
    TagRead read;
    read.tag = tag;
    std::optional<std::string> spelled = SpellTag(read, Spelling::kHex, why);
    if (spelled && spelled->size() < 2) {
        *why = "a tag of one character names nobody (the client searches without the first)";
        return std::nullopt;
    }
    return spelled;
}

// The list's lines, each with its own line end, byte for byte.
std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

std::string JoinedTags(const std::vector<std::string>& tags)
{
    std::string field;
    for (const std::string& tag : tags)
        field += (field.empty() ? "" : " ") + tag;
    return field;
}

size_t CountEntries(const AvatarList& list)
{
    return std::count_if(list.Pieces().begin(), list.Pieces().end(), [](const AvatarPiece& piece) {
        return piece.kind == AvatarPiece::kEntry;
    });
}

// An entry's line as the client reads it back: padded with blanks after the
// tags when it would be too short to be read.
bool EntryLine(const std::string& name, const std::string& tags, const std::string& end,
               std::string* line, std::string* error)
{
    *line = name + "|" + tags;
    while (line->size() + end.size() < kShortestEntry)
        *line += ' ';
    *line += end;
    if (line->size() > kLongestPiece) {
        *error = "the entry's line would be longer than " + std::to_string(kLongestPiece) +
                 " bytes, and the client would cut it";
        return false;
    }
    return true;
}

// A picture to write into the avatars folder.
struct NewPicture {
    std::string name;
    std::string bytes;
    std::string type = "image/png";
    // Made from the name: made anew when the name changes.
    bool made = false;
};

// Marks a picture made from the name.
const char kMadeAttribute[] = "VEK:made_from_name";

bool IsMade(const std::string& path)
{
    attr_info info;
    return BNode(path.c_str()).GetAttrInfo(kMadeAttribute, &info) == B_OK;
}

// The application folder with its list, locked for a change, or only read.
class People
{
public:
    explicit People(std::string appFolder) : fApp(std::move(appFolder)) {}

    int Open(bool change)
    {
        std::string error;
        std::string path = AvatarListPath(fApp);
        fListPath = RealPath(path, &error);
        if (fListPath.empty())
            return Fail(error);
        if (change && fLock.Lock(FolderOf(fListPath), kLockWait, &error) != B_OK)
            return Fail(error);
        status_t status = fList.Load(fListPath.c_str());
        if (status != B_OK)
            return Fail("cannot read " + path + ": " + strerror(status));
        if (change && fList.WasCut())
            return Fail(path + " is longer than the client reads; it is not changed");
        return 0;
    }

    const AvatarList& List() const { return fList; }
    const std::string& App() const { return fApp; }

    const AvatarPiece* Entry(const std::string& name, std::string* error) const
    {
        const AvatarPiece* entry = fList.Find(name);
        if (entry == nullptr)
            *error = "nobody is named " + Printable(name, 60) + " in the list";
        else if (entry->continued || LinesOf(fList.Text())[entry->line - 1].size() > kLongestPiece)
            *error = "the entry of " + Printable(name, 60) + " (line " +
                     std::to_string(entry->line) +
                     ") lies on a line the client cuts; mend it by hand";
        else
            return entry;
        return nullptr;
    }

    // The line end of lines this tool writes: as the list's last line's.
    std::string LineEnd() const
    {
        const std::string& text = fList.Text();
        size_t last = text.rfind('\n');
        return last != std::string::npos && last > 0 && text[last - 1] == '\r' ? "\r\n" : "\n";
    }

    // Where a person's picture really lies; the avatars folder is made when
    // missing.
    std::string PicturePath(const std::string& name, std::string* error) const
    {
        std::string folder = FolderOf(AvatarPath(fApp, name));
        struct stat status;
        if (stat(folder.c_str(), &status) != 0 && mkdir(folder.c_str(), 0777) != 0 &&
            errno != EEXIST) {
            *error = "cannot make " + folder + ": " + strerror(errno);
            return "";
        }
        return RealPath(AvatarPath(fApp, name), error);
    }

    // Refuses new tags that would make a tag of the list show someone else
    // than its entry.
    int RefuseShadows(const std::vector<std::string>& lines) const
    {
        // Problems are compared without their line numbers: "X shows A".
        auto gist = [](const Problem& problem) {
            return problem.text.substr(0, problem.text.find(" (line"));
        };
        std::vector<Problem> before = Shadowed(fList);
        for (const Problem& problem : Shadowed(AvatarList(Joined(lines)))) {
            if (std::none_of(before.begin(), before.end(),
                             [&](const Problem& was) { return gist(was) == gist(problem); }))
                return Fail("refused: " + problem.text);
        }
        return 0;
    }

    // Writes the changed list and a picture, each beside the old and renamed
    // over it: the picture first, so that no entry ever names a picture that
    // is not there yet.
    int Save(const std::vector<std::string>& lines, const NewPicture* newPicture = nullptr)
    {
        std::string text = Joined(lines);
        std::string error;
        std::unique_ptr<StagedFile> picture;
        if (newPicture != nullptr) {
            std::string path = PicturePath(newPicture->name, &error);
            if (path.empty())
                return Fail(error);
            picture = std::make_unique<StagedFile>(path);
            if (picture->Stage(newPicture->bytes, &error) != B_OK)
                return Fail(error);
        }
        StagedFile list(fListPath);
        if (text != fList.Text() && list.Stage(text, &error) != B_OK)
            return Fail(error);
        if (picture != nullptr) {
            if (picture->Commit(&error) != B_OK)
                return Fail(error);
            BNode node(picture->Path().c_str());
            BNodeInfo(&node).SetType(newPicture->type.c_str());
            if (newPicture->made)
                node.WriteAttr(kMadeAttribute, B_BOOL_TYPE, 0, &newPicture->made, 1);
            else
                node.RemoveAttr(kMadeAttribute);
        }
        if (text != fList.Text() && list.Commit(&error) != B_OK)
            return Fail(error);
        return 0;
    }

private:
    std::string fApp;
    std::string fListPath;
    FolderLock fLock;
    AvatarList fList;
};

// The picture for a person: the file given, or one made from the name.
int PictureFor(const std::string& name, const Arguments& arguments, NewPicture* picture)
{
    std::string error;
    picture->name = name;
    picture->made = arguments.picture.empty();
    status_t status = picture->made
                          ? MakePicture(name, arguments.size, &picture->bytes, &error)
                          : ImportPicture(arguments.picture.c_str(), name, arguments.size,
                                          arguments.label.value_or(false), &picture->bytes, &error);
    return status == B_OK ? 0 : Fail(error);
}

std::string Clock(int64 seconds)
{
    time_t when = (time_t)seconds;
    struct tm local;
    char text[32] = "";
    if (localtime_r(&when, &local) != nullptr)
        strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The running reader service, reached through this program's own
// application object, at which answers arrive.
int ReachReader(BMessenger* reader)
{
    static BApplication* self = nullptr;
    if (self == nullptr) {
        self = new BApplication(kPeopleSignature);
        // A Ctrl-C while waiting for a card ends the tool at once.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        if (self->InitCheck() != B_OK)
            return Fail(std::string("cannot reach other programs: ") + strerror(self->InitCheck()));
    }
    *reader = BMessenger(kReaderSignature);
    if (!reader->IsValid())
        return Fail("the reader service (vek-reader) is not running");
    return 0;
}

int AskReader(BMessage* request, BMessage* reply)
{
    BMessenger reader;
    if (int result = ReachReader(&reader))
        return result;
    status_t status = reader.SendMessage(request, reply, 5000000, 5000000);
    if (status != B_OK)
        return Fail(std::string("the reader service did not answer: ") + strerror(status));
    if (reply->what == B_MESSAGE_NOT_UNDERSTOOD)
        return Fail("the reader service is too old to answer (vek-reader 0.8 or later)");
    return 0;
}

// Takes the service's answers to a request for the next card.
class ScanWaiter : public BLooper
{
public:
    ScanWaiter() : BLooper("scan waiter") {}

    void MessageReceived(BMessage* message) override
    {
        switch (message->what) {
        case kScanWaiting:
        case kReadReply: {
            std::lock_guard lock(fLock);
            fAnswers.push_back(*message);
            fArrived.notify_all();
            break;
        }
        default:
            BLooper::MessageReceived(message);
            break;
        }
    }

    // The next answer of the kind, or false when none came in time.
    bool Wait(uint32 what, bigtime_t timeout, BMessage* answer)
    {
        std::unique_lock lock(fLock);
        bool arrived = fArrived.wait_for(lock, std::chrono::microseconds(timeout), [&] {
            while (!fAnswers.empty() && fAnswers.front().what != what)
                fAnswers.pop_front();
            return !fAnswers.empty();
        });
        if (arrived) {
            *answer = fAnswers.front();
            fAnswers.pop_front();
        }
        return arrived;
    }

private:
    std::mutex fLock;
    std::condition_variable fArrived;
    std::deque<BMessage> fAnswers;
};

// The tag of the next card the service reads. The card is asked for once
// the service has taken the request, so that no read in between is missed.
int ScanCard(int timeout, std::string* tag)
{
    BMessenger reader;
    if (int result = ReachReader(&reader))
        return result;
    ScanWaiter* waiter = new ScanWaiter();
    waiter->Run();
    BMessage request(kScanRequest);
    request.AddInt64("timeout", (int64)timeout * 1000000);
    BMessage answer;
    int result = 0;
    const char* text = "";
    if (reader.SendMessage(&request, BMessenger(waiter), 5000000) != B_OK ||
        !waiter->Wait(kScanWaiting, 5000000, &answer)) {
        result = Fail("the reader service takes no requests for cards (vek-reader 0.8 or later)");
    } else {
        printf("Hold the card to the reader…\n");
        if (!waiter->Wait(kReadReply, (bigtime_t)timeout * 1000000, &answer))
            result = Fail("no card was read in " + std::to_string(timeout) + " seconds");
        else if (answer.FindString("tag", &text) != B_OK || text[0] == '\0')
            result = Fail("the reader service sent no tag");
        else
            *tag = text;
    }
    if (waiter->Lock())
        waiter->Quit();
    return result;
}

int List(People& people, const Arguments&)
{
    if (int result = people.Open(false))
        return result;
    if (!people.List().Exists())
        return Fail("there is no " + std::string(kAvatarListName) + " in " + people.App());
    for (const AvatarPiece& entry : people.List().Pieces()) {
        if (entry.kind != AvatarPiece::kEntry)
            continue;
        std::string tags;
        for (std::string_view tag : TagsOf(entry.tags))
            tags += (tags.empty() ? "" : " ") + std::string(tag);
        std::string path = AvatarPath(people.App(), std::string(entry.name));
        PictureState picture = InspectPicture(path.c_str());
        printf("%4zu  %-16s  %-24s  %s\n", entry.line, Printable(entry.name, 60).c_str(),
               Printable(tags, 200).c_str(),
               entry.name.empty() ? "no name" : Describe(picture).c_str());
    }
    return 0;
}

int Check(People& people, const Arguments&)
{
    if (int result = people.Open(false))
        return result;
    CheckCounts counts;
    std::vector<Problem> problems = CheckList(people.List(), people.App(), &counts);
    for (const Problem& problem : problems) {
        if (problem.line > 0)
            printf("line %zu: %s\n", problem.line, problem.text.c_str());
        else
            printf("%s\n", problem.text.c_str());
    }
    if (!problems.empty())
        return 1;
    printf("%zu entries and %zu pictures checked: no problems\n", counts.entries, counts.pictures);
    return 0;
}

int Recent(People& people, const Arguments&)
{
    BMessage request(kRecentRequest);
    BMessage reply;
    if (int result = AskReader(&request, &reply))
        return result;
    if (int result = people.Open(false))
        return result;
    const char* tag;
    if (reply.FindString("tag", 0, &tag) != B_OK)
        printf("no reads yet\n");
    for (int32 i = 0; reply.FindString("tag", i, &tag) == B_OK; i++) {
        const char* reader = "";
        int64 when = 0;
        reply.FindString("reader", i, &reader);
        reply.FindInt64("time", i, &when);
        const AvatarPiece* shown = people.List().Shows(tag);
        printf("%s  %-12s  %-20s  %s\n", Clock(when).c_str(), reader, tag,
               shown != nullptr ? Printable(shown->name, 60).c_str() : "unknown");
    }
    return 0;
}

int Add(People& people, const Arguments& arguments)
{
    if (arguments.words.size() != 1)
        return UsageError("add takes one name");
    const std::string& name = arguments.words[0];
    std::string why = BadName(name);
    if (!why.empty())
        return Fail(why);
    if (arguments.scan == !arguments.tags.empty())
        return UsageError("add needs --tag TAG or --scan");

    std::vector<std::string> tags;
    for (const std::string& tag : arguments.tags) {
        std::optional<std::string> spelled = Spelled(tag, &why);
        if (!spelled)
            return Fail("tag " + Printable(tag) + ": " + why);
        tags.push_back(*spelled);
    }
    {
        // Said before the card is asked for: a name taken needs no card.
        People early(people.App());
        if (int result = early.Open(false))
            return result;
        if (early.List().Find(name) != nullptr)
            return Fail(Printable(name, 60) + " is in the list already (line " +
                        std::to_string(early.List().Find(name)->line) + ")");
    }

    NewPicture picture;
    if (int result = PictureFor(name, arguments, &picture))
        return result;

    if (arguments.scan) {
        std::string tag;
        if (int result = ScanCard(arguments.timeout, &tag))
            return result;
        printf("Read %s\n", tag.c_str());
        tags.push_back(tag);
    }

    if (int result = people.Open(true))
        return result;
    const AvatarList& list = people.List();
    if (const AvatarPiece* taken = list.Find(name))
        return Fail(Printable(name, 60) + " is in the list already (line " +
                    std::to_string(taken->line) + ")");
    for (const std::string& tag : tags) {
        if (const AvatarPiece* shown = list.Shows(tag))
            return Fail(tag + " already shows " + Printable(shown->name, 60) + " (line " +
                        std::to_string(shown->line) + "); nothing added");
    }

    std::vector<std::string> lines = LinesOf(list.Text());
    std::string end = people.LineEnd();
    // The last line gets its line end, as the new one comes after it; the
    // two bytes more must not turn a line the client skips into an entry.
    if (!lines.empty() && lines.back().back() != '\n') {
        size_t entries = CountEntries(list);
        lines.back() += end;
        if (CountEntries(AvatarList(Joined(lines))) != entries)
            return Fail("refused: the last line (" + std::to_string(lines.size()) +
                        ") has no line end, and with one the client would read it as an "
                        "entry; end it or remove it first");
    }
    std::string line;
    if (!EntryLine(name, JoinedTags(tags), end, &line, &why))
        return Fail(why);
    lines.push_back(line);
    if (int result = people.RefuseShadows(lines))
        return result;
    if (int result = people.Save(lines, &picture))
        return result;
    printf("Added %s with %s (line %zu)\n", name.c_str(), JoinedTags(tags).c_str(), lines.size());
    return 0;
}

int Picture(People& people, const Arguments& arguments)
{
    if (arguments.words.size() != 2)
        return UsageError("picture takes a name and a file");
    const std::string& name = arguments.words[0];
    Arguments options = arguments;
    options.picture = arguments.words[1];
    NewPicture picture;
    if (int result = PictureFor(name, options, &picture))
        return result;
    if (int result = people.Open(true))
        return result;
    std::string error;
    if (people.Entry(name, &error) == nullptr)
        return Fail(error);
    if (int result = people.Save(LinesOf(people.List().Text()), &picture))
        return result;
    printf("New picture for %s\n", name.c_str());
    return 0;
}

int Tag(People& people, const Arguments& arguments)
{
    if (arguments.words.size() != 1 || arguments.added.size() + arguments.removed.size() != 1)
        return UsageError("tag takes a name and one --add TAG or --remove TAG");
    const std::string& name = arguments.words[0];
    if (int result = people.Open(true))
        return result;
    std::string why;
    const AvatarPiece* entry = people.Entry(name, &why);
    if (entry == nullptr)
        return Fail(why);

    std::vector<std::string> tags;
    for (std::string_view tag : TagsOf(entry->tags))
        tags.emplace_back(tag);
    if (!arguments.added.empty()) {
        std::optional<std::string> tag = Spelled(arguments.added[0], &why);
        if (!tag)
            return Fail("tag " + Printable(arguments.added[0]) + ": " + why);
        if (const AvatarPiece* shown = people.List().Shows(*tag))
            return Fail(*tag + " already shows " + Printable(shown->name, 60) + " (line " +
                        std::to_string(shown->line) + ")");
        tags.push_back(*tag);
    } else {
        std::string wanted = arguments.removed[0];
        if (std::optional<std::string> spelled = Spelled(wanted, &why))
            wanted = *spelled;
        auto found = std::find(tags.begin(), tags.end(), wanted);
        if (found == tags.end())
            return Fail(name + " has no tag " + Printable(wanted));
        tags.erase(found);
        if (tags.empty())
            return Fail("refused: " + name + " would have no tag left (vek-people remove " + name +
                        " removes the person)");
    }

    std::vector<std::string> lines = LinesOf(people.List().Text());
    std::string& old = lines[entry->line - 1];
    size_t content = old.find_last_not_of("\r\n") + 1;
    std::string line;
    if (!EntryLine(name, JoinedTags(tags), old.substr(content), &line, &why))
        return Fail(why);
    old = line;
    if (int result = people.RefuseShadows(lines))
        return result;
    if (int result = people.Save(lines))
        return result;
    printf("%s: %s\n", name.c_str(), JoinedTags(tags).c_str());
    return 0;
}

int Remove(People& people, const Arguments& arguments)
{
    if (arguments.words.size() != 1)
        return UsageError("remove takes one name");
    const std::string& name = arguments.words[0];
    if (int result = people.Open(true))
        return result;
    std::string error;
    const AvatarPiece* entry = people.Entry(name, &error);
    if (entry == nullptr)
        return Fail(error);
    std::vector<std::string> lines = LinesOf(people.List().Text());
    lines.erase(lines.begin() + (entry->line - 1));
    if (int result = people.Save(lines))
        return result;
    // The picture goes once no entry names it any more.
    if (!arguments.keepPicture && AvatarList(Joined(lines)).Find(name) == nullptr &&
        BadName(name).empty()) {
        std::string path = people.PicturePath(name, &error);
        if (path.empty() || RemoveFile(path, &error) != B_OK)
            return Fail(error);
    }
    printf("Removed %s\n", name.c_str());
    return 0;
}

int Rename(People& people, const Arguments& arguments)
{
    if (arguments.words.size() != 2)
        return UsageError("rename takes the old name and the new one");
    const std::string& from = arguments.words[0];
    const std::string& to = arguments.words[1];
    std::string why = BadName(to);
    if (!why.empty())
        return Fail(why);
    if (int result = people.Open(true))
        return result;
    const AvatarPiece* entry = people.Entry(from, &why);
    if (entry == nullptr)
        return Fail(why);
    if (people.List().Find(to) != nullptr)
        return Fail(Printable(to, 60) + " is in the list already");

    // The picture goes under the new name before the list names it: made
    // anew when it was made from the old name, else copied as it is.
    std::string oldPicture = people.PicturePath(from, &why);
    if (oldPicture.empty())
        return Fail(why);
    NewPicture picture;
    picture.name = to;
    FILE* file = IsMade(oldPicture) ? nullptr : fopen(oldPicture.c_str(), "rb");
    if (file != nullptr) {
        char buffer[65536];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0)
            picture.bytes.append(buffer, got);
        fclose(file);
        char type[B_MIME_TYPE_LENGTH] = "";
        BNode node(oldPicture.c_str());
        BNodeInfo(&node).GetType(type);
        picture.type = type;
    }
    if (picture.bytes.empty()) {
        if (int result = PictureFor(to, Arguments(), &picture))
            return result;
    }

    std::vector<std::string> lines = LinesOf(people.List().Text());
    std::string& old = lines[entry->line - 1];
    size_t content = old.find_last_not_of("\r\n") + 1;
    std::string line;
    if (!EntryLine(to, std::string(entry->tags.substr(0, entry->tags.find_last_not_of("\r") + 1)),
                   old.substr(content), &line, &why))
        return Fail(why);
    old = line;
    if (int result = people.Save(lines, &picture))
        return result;
    if (AvatarList(Joined(lines)).Find(from) == nullptr && RemoveFile(oldPicture, &why) != B_OK)
        return Fail(why);
    printf("Renamed %s to %s\n", from.c_str(), to.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string app;
    int at = 1;
    for (; at < argc; at++) {
        if (strcmp(argv[at], "--help") == 0 || strcmp(argv[at], "-h") == 0) {
            fputs(kUsage, stdout);
            return 0;
        }
        if (strcmp(argv[at], "--version") == 0) {
            printf("%s\n", kVersion);
            return 0;
        }
        if (strcmp(argv[at], "--app") == 0 && at + 1 < argc)
            app = argv[++at];
        else
            break;
    }
    if (at >= argc)
        return UsageError("no command");
    std::string command = argv[at];
    Arguments arguments;
    arguments.app = app;
    std::string error;
    if (!Parse(argc, argv, at + 1, &arguments, &error))
        return UsageError(error);
    if (arguments.help) {
        fputs(kUsage, stdout);
        return 0;
    }
    app = arguments.app;

    std::string folder;
    if (!app.empty()) {
        folder = AbsoluteFolder(app);
        if (folder.empty())
            return Fail(app + " is no folder");
    } else {
        folder = ProgramFolder();
        struct stat status;
        if (folder.empty() || stat((folder + "/VEK_BeOS").c_str(), &status) != 0)
            return Fail(
                "no VEK_BeOS beside vek-people; name the application folder with --app DIR");
    }
    People people(folder);

    struct {
        const char* name;
        int (*run)(People&, const Arguments&);
    } const commands[] = {
        {"list", List},       {"check", Check}, {"recent", Recent}, {"add", Add},
        {"picture", Picture}, {"tag", Tag},     {"remove", Remove}, {"rename", Rename},
    };
    for (const auto& known : commands) {
        if (command == known.name)
            return known.run(people, arguments);
    }
    return UsageError("unknown command " + command);
}
