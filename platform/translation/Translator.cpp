#include <Translator.h>

BTranslator::BTranslator() = default;
BTranslator::~BTranslator() = default;
