#ifndef _TRANSLATOR_ROSTER_H
#define _TRANSLATOR_ROSTER_H

#include <DataIO.h>
#include <TranslationDefs.h>

#include <memory>
#include <mutex>
#include <vector>

class BMessage;
class BTranslator;

// The translators a program can use. Default() is the shared roster with the
// built-in translators; a roster made by hand starts empty.
class BTranslatorRoster
{
public:
    BTranslatorRoster();
    virtual ~BTranslatorRoster();

    static const char* Version(int32* outCurrentVersion, int32* outMinimumVersion,
                               int32 appVersion = B_TRANSLATION_CURRENT_VERSION);
    static BTranslatorRoster* Default();

    // Takes ownership of the translator.
    status_t AddTranslator(BTranslator* translator);

    virtual status_t Identify(BPositionIO* source, BMessage* ioExtension, translator_info* outInfo,
                              uint32 hintType = 0, const char* hintMIME = NULL,
                              uint32 wantType = 0);
    // Every translator that can read the source, best first; the caller
    // delete[]s *outInfo.
    virtual status_t GetTranslators(BPositionIO* source, BMessage* ioExtension,
                                    translator_info** outInfo, int32* outCount, uint32 hintType = 0,
                                    const char* hintMIME = NULL, uint32 wantType = 0);
    // The caller delete[]s *outList.
    virtual status_t GetAllTranslators(translator_id** outList, int32* outCount);
    virtual status_t GetTranslatorInfo(translator_id translator, const char** outName,
                                       const char** outInfo, int32* outVersion);
    virtual status_t GetInputFormats(translator_id translator,
                                     const translation_format** outFormats, int32* outCount);
    virtual status_t GetOutputFormats(translator_id translator,
                                      const translation_format** outFormats, int32* outCount);

    virtual status_t Translate(BPositionIO* source, const translator_info* info,
                               BMessage* ioExtension, BPositionIO* destination, uint32 wantOutType,
                               uint32 hintType = 0, const char* hintMIME = NULL);
    virtual status_t Translate(translator_id translator, BPositionIO* source, BMessage* ioExtension,
                               BPositionIO* destination, uint32 wantOutType);

private:
    BTranslatorRoster(const BTranslatorRoster&) = delete;
    BTranslatorRoster& operator=(const BTranslatorRoster&) = delete;

    std::vector<BTranslator*> _Translators() const;
    BTranslator* _Find(translator_id id) const;
    std::vector<translator_info> _Candidates(BPositionIO* source, BMessage* ioExtension,
                                             uint32 hintType, const char* hintMIME,
                                             uint32 wantType) const;

    mutable std::mutex fLock;
    std::vector<std::unique_ptr<BTranslator>> fTranslators;
};

#endif
