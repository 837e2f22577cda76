#include "interface/FontEngine.h"

#include <SDL2/SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace BPrivate
{

namespace
{

// Larger sizes are drawn at this size: nothing the layer shows needs more, and
// it bounds what one glyph can allocate.
constexpr int kMaxPixelSize = 512;

// Once a face has this many cached glyphs it starts afresh.
constexpr size_t kMaxGlyphsPerFace = 4096;

constexpr uint32 kReplacementCharacter = 0xFFFD;

// Decodes one UTF-8 character at text[0..length). Broken sequences give the
// replacement character and consume one byte, so that every byte is used once.
uint32 decode_utf8(const char* text, int32 length, int32* consumed)
{
    const auto* bytes = reinterpret_cast<const uint8*>(text);
    uint8 lead = bytes[0];
    *consumed = 1;
    if (lead < 0x80)
        return lead;
    int32 extra;
    uint32 value;
    uint32 minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return kReplacementCharacter;
    }
    if (extra >= length)
        return kReplacementCharacter;
    for (int32 i = 1; i <= extra; i++) {
        if ((bytes[i] & 0xC0) != 0x80)
            return kReplacementCharacter;
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacementCharacter;
    *consumed = extra + 1;
    return value;
}

int32 bounded_length(const char* text, int32 length)
{
    if (text == nullptr || length <= 0)
        return 0;
    return static_cast<int32>(strnlen(text, static_cast<size_t>(length)));
}

// A glyph's coverage, and where its top left lies from the pen on the baseline.
struct Glyph {
    int32 width = 0;
    int32 height = 0;
    int32 left = 0;
    int32 top = 0;
    std::vector<uint8> alpha;
};

struct Face {
    TTF_Font* font = nullptr;
    int32 ascent = 0;
    int32 descent = 0;
    int32 lineSkip = 0;
    bool fixed = false;
    std::map<uint32, float> advances;
    std::map<uint32, std::unique_ptr<Glyph>> glyphs;

    ~Face()
    {
        if (font != nullptr)
            TTF_CloseFont(font);
    }
};

class Engine
{
public:
    // Never destroyed: windows may draw from their threads up to the process's
    // last moment, so faces stay open until it ends.
    static Engine& Get()
    {
        static Engine* engine = new Engine;
        return *engine;
    }

    std::mutex& Lock() { return fLock; }

    // The face for the font, or null when none can be had (then callers fall
    // back to estimated metrics and draw nothing). Called with the lock held.
    Face* FaceFor(const BFont& font)
    {
        int size = static_cast<int>(std::lround(font.Size()));
        if (size <= 0 || !fTTFReady)
            return nullptr;
        size = std::min(size, kMaxPixelSize);
        const std::string& path = FileFor(font);
        if (path.empty())
            return nullptr;
        auto key = std::make_pair(path, size);
        auto found = fFaces.find(key);
        if (found != fFaces.end())
            return found->second.get();
        auto face = std::make_unique<Face>();
        face->font = TTF_OpenFont(path.c_str(), size);
        if (face->font != nullptr) {
            TTF_SetFontKerning(face->font, 0);
            face->ascent = TTF_FontAscent(face->font);
            face->descent = -TTF_FontDescent(face->font);
            face->lineSkip = TTF_FontLineSkip(face->font);
            face->fixed = TTF_FontFaceIsFixedWidth(face->font) != 0;
        } else {
            face.reset();
        }
        Face* result = face.get();
        fFaces[key] = std::move(face);
        return result;
    }

    bool FamilyExists(const char* family)
    {
        if (!fConfigReady || family == nullptr || family[0] == '\0')
            return false;
        // Views set their font on every draw: ask fontconfig once a family.
        auto known = fFamilies.find(family);
        if (known != fFamilies.end())
            return known->second;
        bool exists = IsGenericFamily(family) || ListsFamily(family);
        fFamilies[family] = exists;
        return exists;
    }

private:
    bool ListsFamily(const char* family)
    {
        FcPattern* pattern = FcPatternCreate();
        if (pattern == nullptr)
            return false;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
        FcFontSet* set = objects != nullptr ? FcFontList(nullptr, pattern, objects) : nullptr;
        bool exists = set != nullptr && set->nfont > 0;
        if (set != nullptr)
            FcFontSetDestroy(set);
        if (objects != nullptr)
            FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
        return exists;
    }

    Engine()
    {
#if defined(__SANITIZE_ADDRESS__)
        // fontconfig keeps a little of its set-up unreachable for good.
        __lsan_disable();
        fConfigReady = FcInit() == FcTrue;
        __lsan_enable();
#else
        fConfigReady = FcInit() == FcTrue;
#endif
        fTTFReady = TTF_WasInit() > 0 || TTF_Init() == 0;
    }

    static bool IsGenericFamily(const char* family)
    {
        static const char* const kGeneric[] = {"sans-serif", "sans", "serif", "monospace", "mono"};
        for (const char* generic : kGeneric) {
            if (strcasecmp(family, generic) == 0)
                return true;
        }
        return false;
    }

    const std::string& FileFor(const BFont& font)
    {
        font_family family;
        font_style style;
        font.GetFamilyAndStyle(&family, &style);
        std::string key = std::string(family) + '\n' + style;
        auto found = fFiles.find(key);
        if (found != fFiles.end())
            return found->second;
        return fFiles[key] = Match(family, style);
    }

    std::string Match(const char* family, const char* style)
    {
        if (!fConfigReady)
            return {};
        FcPattern* pattern = FcPatternCreate();
        if (pattern == nullptr)
            return {};
        if (family[0] != '\0')
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        if (style[0] != '\0')
            FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style));
        // SDL_ttf reads only scalable outline faces.
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        std::string path;
        FcChar8* file = nullptr;
        if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
            file != nullptr) {
            path = reinterpret_cast<const char*>(file);
        }
        if (match != nullptr)
            FcPatternDestroy(match);
        FcPatternDestroy(pattern);
        return path;
    }

    std::mutex fLock;
    bool fConfigReady = false;
    bool fTTFReady = false;
    std::map<std::string, std::string> fFiles;
    std::map<std::string, bool> fFamilies;
    std::map<std::pair<std::string, int>, std::unique_ptr<Face>> fFaces;
};

// Estimates for when no face can be had: every character half again as high
// as wide, so that layout still works.
float fallback_advance(const BFont& font)
{
    return std::max(0.0f, font.Size()) * 0.6f;
}

float advance_of(Face* face, const BFont& font, uint32 character)
{
    if (face == nullptr)
        return fallback_advance(font);
    auto found = face->advances.find(character);
    if (found != face->advances.end())
        return found->second;
    int advance = 0;
    if (TTF_GlyphMetrics32(face->font, character, nullptr, nullptr, nullptr, nullptr, &advance) !=
        0) {
        advance = 0;
    }
    float value = static_cast<float>(std::max(advance, 0));
    face->advances[character] = value;
    return value;
}

const Glyph* glyph_of(Face* face, uint32 character)
{
    auto found = face->glyphs.find(character);
    if (found != face->glyphs.end())
        return found->second.get();
    if (face->glyphs.size() >= kMaxGlyphsPerFace)
        face->glyphs.clear();

    auto glyph = std::make_unique<Glyph>();
    int minX = 0;
    int maxY = 0;
    if (TTF_GlyphMetrics32(face->font, character, &minX, nullptr, nullptr, &maxY, nullptr) == 0) {
        SDL_Surface* rendered =
            TTF_RenderGlyph32_Blended(face->font, character, SDL_Color{255, 255, 255, 255});
        SDL_Surface* surface = rendered != nullptr
                                   ? SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0)
                                   : nullptr;
        if (surface != nullptr && SDL_LockSurface(surface) == 0) {
            glyph->width = surface->w;
            glyph->height = surface->h;
            // SDL_ttf puts the pen's origin at the surface's left edge unless the
            // glyph reaches left of it, and the ascent at the top unless the
            // glyph rises above it.
            glyph->left = std::min(0, minX);
            glyph->top = -std::max(face->ascent, maxY);
            glyph->alpha.resize(static_cast<size_t>(surface->w) * surface->h);
            for (int y = 0; y < surface->h; y++) {
                const auto* row = reinterpret_cast<const uint32*>(
                    static_cast<const uint8*>(surface->pixels) + y * surface->pitch);
                for (int x = 0; x < surface->w; x++)
                    glyph->alpha[static_cast<size_t>(y) * surface->w + x] = row[x] >> 24;
            }
            SDL_UnlockSurface(surface);
        }
        if (surface != nullptr)
            SDL_FreeSurface(surface);
        if (rendered != nullptr)
            SDL_FreeSurface(rendered);
    }
    const Glyph* result = glyph.get();
    face->glyphs[character] = std::move(glyph);
    return result;
}

void blend_glyph(Canvas& canvas, const Glyph& glyph, int32 originX, int32 originY, rgb_color color,
                 BRect clip)
{
    int32 clipLeft = std::max<int32>(0, static_cast<int32>(std::ceil(clip.left)));
    int32 clipTop = std::max<int32>(0, static_cast<int32>(std::ceil(clip.top)));
    int32 clipRight = std::min<int32>(canvas.width - 1, static_cast<int32>(std::floor(clip.right)));
    int32 clipBottom =
        std::min<int32>(canvas.height - 1, static_cast<int32>(std::floor(clip.bottom)));
    int32 fromX = std::max(0, clipLeft - originX);
    int32 toX = std::min(glyph.width - 1, clipRight - originX);
    int32 fromY = std::max(0, clipTop - originY);
    int32 toY = std::min(glyph.height - 1, clipBottom - originY);
    for (int32 y = fromY; y <= toY; y++) {
        uint8* row = canvas.bits + static_cast<size_t>(originY + y) * canvas.bytesPerRow;
        const uint8* coverage = glyph.alpha.data() + static_cast<size_t>(y) * glyph.width;
        for (int32 x = fromX; x <= toX; x++) {
            uint32 a = coverage[x];
            if (a == 0)
                continue;
            uint8* pixel = row + static_cast<size_t>(originX + x) * 4;
            pixel[0] = static_cast<uint8>((color.blue * a + pixel[0] * (255 - a) + 127) / 255);
            pixel[1] = static_cast<uint8>((color.green * a + pixel[1] * (255 - a) + 127) / 255);
            pixel[2] = static_cast<uint8>((color.red * a + pixel[2] * (255 - a) + 127) / 255);
            pixel[3] = static_cast<uint8>(std::min<uint32>(255, pixel[3] + a));
        }
    }
}

} // namespace

void draw_string(Canvas& canvas, const BFont& font, const char* text, int32 length, BPoint baseline,
                 rgb_color color)
{
    length = bounded_length(text, length);
    if (length == 0 || canvas.bits == nullptr || !canvas.clip.IsValid())
        return;
    Engine& engine = Engine::Get();
    std::lock_guard<std::mutex> guard(engine.Lock());
    Face* face = engine.FaceFor(font);
    if (face == nullptr)
        return;

    float penX = baseline.x;
    int32 baselineY = static_cast<int32>(std::lround(baseline.y));
    BRect clip = canvas.clip;
    if (baselineY - face->ascent - face->lineSkip > clip.bottom ||
        baselineY + face->lineSkip < clip.top) {
        return;
    }
    for (int32 i = 0; i < length;) {
        int32 consumed = 1;
        uint32 character = decode_utf8(text + i, length - i, &consumed);
        i += consumed;
        float advance = advance_of(face, font, character);
        // Glyphs reach at most a line's height beyond their advance box.
        if (penX > clip.right + 1)
            break;
        if (penX + advance + face->lineSkip >= clip.left && character > ' ') {
            const Glyph* glyph = glyph_of(face, character);
            if (glyph != nullptr && glyph->width > 0) {
                int32 originX = static_cast<int32>(std::lround(penX)) + glyph->left;
                blend_glyph(canvas, *glyph, originX, baselineY + glyph->top, color, clip);
            }
        }
        penX += advance;
    }
}

float string_width(const BFont& font, const char* text, int32 length)
{
    length = bounded_length(text, length);
    if (length == 0)
        return 0.0f;
    Engine& engine = Engine::Get();
    std::lock_guard<std::mutex> guard(engine.Lock());
    Face* face = engine.FaceFor(font);
    float width = 0.0f;
    for (int32 i = 0; i < length;) {
        int32 consumed = 1;
        uint32 character = decode_utf8(text + i, length - i, &consumed);
        i += consumed;
        width += advance_of(face, font, character);
    }
    return width;
}

void character_offsets(const BFont& font, const char* text, int32 length, float* offsets)
{
    if (offsets == nullptr)
        return;
    int32 usable = bounded_length(text, length);
    Engine& engine = Engine::Get();
    std::lock_guard<std::mutex> guard(engine.Lock());
    Face* face = usable > 0 ? engine.FaceFor(font) : nullptr;
    float pen = 0.0f;
    int32 i = 0;
    while (i < usable) {
        int32 consumed = 1;
        uint32 character = decode_utf8(text + i, usable - i, &consumed);
        for (int32 k = 0; k < consumed; k++)
            offsets[i + k] = pen;
        pen += advance_of(face, font, character);
        i += consumed;
    }
    for (; i <= std::max<int32>(length, 0); i++)
        offsets[i] = pen;
}

void font_metrics(const BFont& font, font_height* height)
{
    if (height == nullptr)
        return;
    Engine& engine = Engine::Get();
    std::lock_guard<std::mutex> guard(engine.Lock());
    Face* face = engine.FaceFor(font);
    if (face == nullptr) {
        float size = std::max(0.0f, font.Size());
        height->ascent = std::ceil(size * 0.8f);
        height->descent = std::ceil(size * 0.2f);
        height->leading = 0.0f;
        return;
    }
    height->ascent = static_cast<float>(face->ascent);
    height->descent = static_cast<float>(face->descent);
    height->leading =
        static_cast<float>(std::max(0, face->lineSkip - face->ascent - face->descent));
}

bool font_is_fixed(const BFont& font)
{
    Engine& engine = Engine::Get();
    std::lock_guard<std::mutex> guard(engine.Lock());
    Face* face = engine.FaceFor(font);
    // The estimate gives every character the same advance.
    return face == nullptr || face->fixed;
}

int32 character_length(const char* text, int32 length)
{
    int32 consumed = 1;
    decode_utf8(text, length, &consumed);
    return consumed;
}

bool font_family_exists(const char* family)
{
    Engine& engine = Engine::Get();
    std::lock_guard<std::mutex> guard(engine.Lock());
    return engine.FamilyExists(family);
}

} // namespace BPrivate
