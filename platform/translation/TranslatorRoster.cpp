#include <TranslatorRoster.h>

#include <Translator.h>

#include "translation/translators/BMPTranslator.h"
#include "translation/translators/GIFTranslator.h"
#include "translation/translators/JPEGTranslator.h"
#include "translation/translators/PNGTranslator.h"
#include "translation/translators/WebPTranslator.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <DataIO.h>

namespace
{

float Score(const translator_info& info)
{
    return info.quality * info.capability;
}

// The input format of a translator that the caller's hint names, if any.
const translation_format* HintedFormat(BTranslator* translator, uint32 hintType,
                                       const char* hintMIME)
{
    if (hintType == 0 && hintMIME == NULL)
        return NULL;
    int32 count = 0;
    const translation_format* formats = translator->InputFormats(&count);
    for (int32 i = 0; formats != NULL && i < count; i++) {
        if ((hintType != 0 && formats[i].type == hintType) ||
            (hintMIME != NULL && strcasecmp(formats[i].MIME, hintMIME) == 0))
            return &formats[i];
    }
    return NULL;
}

// The source as the translators see it: its first bytes are read once and then
// served from memory, so that each translator's look at the start costs no
// system call; the rest is read from the source where it is asked for.
class CachedStart : public BPositionIO
{
public:
    // Every user seeks before reading, so the source's own position is not asked for.
    explicit CachedStart(BPositionIO* source) : fSource(source)
    {
        off_t size = 0;
        fHaveSize = source->GetSize(&size) == B_OK && size >= 0;
        fSize = size;
        // A known size ends the reading without a last read that finds nothing.
        size_t wanted = fHaveSize ? (size_t)std::min<off_t>(size, sizeof(fCache)) : sizeof(fCache);
        while (fCached < wanted) {
            ssize_t count = source->ReadAt((off_t)fCached, fCache + fCached, wanted - fCached);
            if (count <= 0) {
                fWhole = count == 0;
                break;
            }
            fCached += (size_t)count;
        }
        if (fHaveSize && fCached == (size_t)size)
            fWhole = true;
    }
    // The source is left where the translators left this one.
    ~CachedStart() override { fSource->Seek(fPosition, SEEK_SET); }

    ssize_t Read(void* buffer, size_t size) override
    {
        ssize_t count = ReadAt(fPosition, buffer, size);
        if (count > 0)
            fPosition += count;
        return count;
    }
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override
    {
        if (buffer == NULL || position < 0)
            return B_BAD_VALUE;
        if (fWhole && position >= (off_t)fCached)
            return 0;
        size_t done = 0;
        if (position < (off_t)fCached) {
            done = std::min(size, fCached - (size_t)position);
            memcpy(buffer, fCache + position, done);
            if (done == size || fWhole)
                return (ssize_t)done;
        }
        ssize_t count = fSource->ReadAt(position + (off_t)done, static_cast<uint8*>(buffer) + done,
                                        size - done);
        if (count < 0)
            return done > 0 ? (ssize_t)done : count;
        return (ssize_t)done + count;
    }
    ssize_t WriteAt(off_t, const void*, size_t) override { return B_NOT_ALLOWED; }
    off_t Seek(off_t position, uint32 seekMode) override
    {
        off_t base = 0;
        if (seekMode == SEEK_CUR) {
            base = fPosition;
        } else if (seekMode == SEEK_END) {
            status_t status = GetSize(&base);
            if (status != B_OK)
                return status;
        } else if (seekMode != SEEK_SET) {
            return B_BAD_VALUE;
        }
        if (base + position < 0)
            return B_BAD_VALUE;
        fPosition = base + position;
        return fPosition;
    }
    off_t Position() const override { return fPosition; }
    status_t SetSize(off_t) override { return B_NOT_ALLOWED; }
    status_t GetSize(off_t* size) const override
    {
        if (!fHaveSize)
            return fSource->GetSize(size);
        if (size == NULL)
            return B_BAD_VALUE;
        *size = fSize;
        return B_OK;
    }

private:
    BPositionIO* fSource;
    uint8 fCache[4096];
    size_t fCached = 0;
    // The cache holds the whole source.
    bool fWhole = false;
    // The size when the translators began.
    bool fHaveSize = false;
    off_t fSize = 0;
    off_t fPosition = 0;
};

} // namespace

BTranslatorRoster::BTranslatorRoster() = default;

BTranslatorRoster::~BTranslatorRoster() = default;

const char* BTranslatorRoster::Version(int32* outCurrentVersion, int32* outMinimumVersion,
                                       int32 appVersion)
{
    if (outCurrentVersion != NULL)
        *outCurrentVersion = B_TRANSLATION_CURRENT_VERSION;
    if (outMinimumVersion != NULL)
        *outMinimumVersion = B_TRANSLATION_MIN_VERSION;
    return "Translation Kit v2.5.0";
}

BTranslatorRoster* BTranslatorRoster::Default()
{
    // Built once, on first use, and kept for the life of the process.
    static BTranslatorRoster* const roster = [] {
        auto* defaultRoster = new BTranslatorRoster;
        defaultRoster->AddTranslator(new BPrivate::PNGTranslator);
        defaultRoster->AddTranslator(new BPrivate::JPEGTranslator);
        defaultRoster->AddTranslator(new BPrivate::GIFTranslator);
        defaultRoster->AddTranslator(new BPrivate::WebPTranslator);
        defaultRoster->AddTranslator(new BPrivate::BMPTranslator);
        return defaultRoster;
    }();
    return roster;
}

status_t BTranslatorRoster::AddTranslator(BTranslator* translator)
{
    if (translator == NULL)
        return B_BAD_VALUE;
    std::lock_guard<std::mutex> guard(fLock);
    fTranslators.emplace_back(translator);
    return B_OK;
}

std::vector<BTranslator*> BTranslatorRoster::_Translators() const
{
    std::lock_guard<std::mutex> guard(fLock);
    std::vector<BTranslator*> translators;
    for (const auto& translator : fTranslators)
        translators.push_back(translator.get());
    return translators;
}

BTranslator* BTranslatorRoster::_Find(translator_id id) const
{
    std::lock_guard<std::mutex> guard(fLock);
    if (id == 0 || id > fTranslators.size())
        return NULL;
    return fTranslators[id - 1].get();
}

std::vector<translator_info> BTranslatorRoster::_Candidates(BPositionIO* source,
                                                            BMessage* ioExtension, uint32 hintType,
                                                            const char* hintMIME,
                                                            uint32 wantType) const
{
    std::vector<translator_info> candidates;
    std::vector<BTranslator*> translators = _Translators();
    for (size_t i = 0; i < translators.size(); i++) {
        if (source->Seek(0, SEEK_SET) != 0)
            break;
        translator_info info;
        memset(&info, 0, sizeof(info));
        const translation_format* hint = HintedFormat(translators[i], hintType, hintMIME);
        if (translators[i]->Identify(source, hint, ioExtension, &info, wantType) != B_OK)
            continue;
        if (Score(info) <= 0)
            continue;
        info.translator = (translator_id)(i + 1);
        candidates.push_back(info);
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const translator_info& a, const translator_info& b) { return Score(a) > Score(b); });
    return candidates;
}

status_t BTranslatorRoster::Identify(BPositionIO* source, BMessage* ioExtension,
                                     translator_info* outInfo, uint32 hintType,
                                     const char* hintMIME, uint32 wantType)
{
    if (source == NULL || outInfo == NULL)
        return B_BAD_VALUE;
    CachedStart cached(source);
    std::vector<translator_info> candidates =
        _Candidates(&cached, ioExtension, hintType, hintMIME, wantType);
    if (candidates.empty())
        return B_NO_TRANSLATOR;
    *outInfo = candidates.front();
    return B_OK;
}

status_t BTranslatorRoster::GetTranslators(BPositionIO* source, BMessage* ioExtension,
                                           translator_info** outInfo, int32* outCount,
                                           uint32 hintType, const char* hintMIME, uint32 wantType)
{
    if (source == NULL || outInfo == NULL || outCount == NULL)
        return B_BAD_VALUE;
    *outInfo = NULL;
    *outCount = 0;
    CachedStart cached(source);
    std::vector<translator_info> candidates =
        _Candidates(&cached, ioExtension, hintType, hintMIME, wantType);
    if (candidates.empty())
        return B_NO_TRANSLATOR;
    *outInfo = new translator_info[candidates.size()];
    std::copy(candidates.begin(), candidates.end(), *outInfo);
    *outCount = (int32)candidates.size();
    return B_OK;
}

status_t BTranslatorRoster::GetAllTranslators(translator_id** outList, int32* outCount)
{
    if (outList == NULL || outCount == NULL)
        return B_BAD_VALUE;
    size_t count = _Translators().size();
    *outList = new translator_id[count];
    for (size_t i = 0; i < count; i++)
        (*outList)[i] = (translator_id)(i + 1);
    *outCount = (int32)count;
    return B_OK;
}

status_t BTranslatorRoster::GetTranslatorInfo(translator_id id, const char** outName,
                                              const char** outInfo, int32* outVersion)
{
    if (outName == NULL || outInfo == NULL || outVersion == NULL)
        return B_BAD_VALUE;
    BTranslator* translator = _Find(id);
    if (translator == NULL)
        return B_NO_TRANSLATOR;
    *outName = translator->TranslatorName();
    *outInfo = translator->TranslatorInfo();
    *outVersion = translator->TranslatorVersion();
    return B_OK;
}

status_t BTranslatorRoster::GetInputFormats(translator_id id, const translation_format** outFormats,
                                            int32* outCount)
{
    if (outFormats == NULL || outCount == NULL)
        return B_BAD_VALUE;
    BTranslator* translator = _Find(id);
    if (translator == NULL)
        return B_NO_TRANSLATOR;
    *outFormats = translator->InputFormats(outCount);
    return B_OK;
}

status_t BTranslatorRoster::GetOutputFormats(translator_id id,
                                             const translation_format** outFormats, int32* outCount)
{
    if (outFormats == NULL || outCount == NULL)
        return B_BAD_VALUE;
    BTranslator* translator = _Find(id);
    if (translator == NULL)
        return B_NO_TRANSLATOR;
    *outFormats = translator->OutputFormats(outCount);
    return B_OK;
}

status_t BTranslatorRoster::Translate(BPositionIO* source, const translator_info* info,
                                      BMessage* ioExtension, BPositionIO* destination,
                                      uint32 wantOutType, uint32 hintType, const char* hintMIME)
{
    if (source == NULL || destination == NULL)
        return B_BAD_VALUE;
    CachedStart cached(source);
    translator_info chosen;
    if (info == NULL) {
        std::vector<translator_info> candidates =
            _Candidates(&cached, ioExtension, hintType, hintMIME, wantOutType);
        if (candidates.empty())
            return B_NO_TRANSLATOR;
        chosen = candidates.front();
    } else {
        chosen = *info;
    }
    BTranslator* translator = _Find(chosen.translator);
    if (translator == NULL)
        return B_NO_TRANSLATOR;
    off_t start = cached.Seek(0, SEEK_SET);
    if (start != 0)
        return start < 0 ? (status_t)start : B_IO_ERROR;
    return translator->Translate(&cached, &chosen, ioExtension, wantOutType, destination);
}

status_t BTranslatorRoster::Translate(translator_id id, BPositionIO* source, BMessage* ioExtension,
                                      BPositionIO* destination, uint32 wantOutType)
{
    if (source == NULL || destination == NULL)
        return B_BAD_VALUE;
    BTranslator* translator = _Find(id);
    if (translator == NULL)
        return B_NO_TRANSLATOR;
    translator_info info;
    memset(&info, 0, sizeof(info));
    CachedStart cached(source);
    if (cached.Seek(0, SEEK_SET) != 0)
        return B_IO_ERROR;
    status_t status = translator->Identify(&cached, NULL, ioExtension, &info, wantOutType);
    if (status != B_OK)
        return status;
    info.translator = id;
    if (cached.Seek(0, SEEK_SET) != 0)
        return B_IO_ERROR;
    return translator->Translate(&cached, &info, ioExtension, wantOutType, destination);
}
