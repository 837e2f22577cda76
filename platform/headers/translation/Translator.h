#ifndef _TRANSLATOR_H
#define _TRANSLATOR_H

#include <DataIO.h>
#include <TranslationDefs.h>

class BMessage;

// One translator: identifies streams of its formats and translates them.
class BTranslator
{
public:
    BTranslator();
    virtual ~BTranslator();

    virtual const char* TranslatorName() const = 0;
    virtual const char* TranslatorInfo() const = 0;
    virtual int32 TranslatorVersion() const = 0;

    virtual const translation_format* InputFormats(int32* outCount) const = 0;
    virtual const translation_format* OutputFormats(int32* outCount) const = 0;

    // Both read the source from its current position.
    virtual status_t Identify(BPositionIO* source, const translation_format* format,
                              BMessage* ioExtension, translator_info* outInfo, uint32 outType) = 0;
    virtual status_t Translate(BPositionIO* source, const translator_info* info,
                               BMessage* ioExtension, uint32 outType, BPositionIO* destination) = 0;

private:
    BTranslator(const BTranslator&) = delete;
    BTranslator& operator=(const BTranslator&) = delete;
};

#endif
