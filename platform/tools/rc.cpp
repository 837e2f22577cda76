// rc: compiles a resource definition file and attaches the resources to an ELF executable.

#include <File.h>
#include <GraphicsDefs.h>

#include "ToolMain.h"
#include "storage/ResourceContainer.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

using BPrivate::ResourceContainer;
using BPrivate::ResourceItem;

namespace
{

const char kUsage[] =
    "usage: rc RDEF EXECUTABLE\n"
    "       rc --check RDEF\n"
    "\n"
    "Compiles the resource definitions in RDEF and attaches them to the ELF file\n"
    "EXECUTABLE, replacing any resources it had; the ELF data stays as it is.\n"
    "With --check, RDEF is only compiled. Exit status 0 on success, 1 on an error\n"
    "(reported as one line: FILE:LINE: message).\n"
    "\n"
    "RDEF is read line by line. '#' starts a comment outside quotes.\n"
    "  color C INDEX           maps the character C to a system colour map index\n"
    "  color C #RRGGBB         ... to the nearest opaque system colour\n"
    "  color C transparent     ... to the transparent index 255\n"
    "  resource TYPE ID [\"NAME\"]\n"
    "      TYPE is 'ABCD' or a number, ID an integer. Content lines follow,\n"
    "      concatenated, until a line 'end':\n"
    "  int8|int16|int32|int64|uint8|uint16|uint32|uint64 VALUE...\n"
    "                          little-endian integers\n"
    "  string \"TEXT\"           the bytes and a NUL (escapes: \\n \\t \\r \\0 \\\\ \\\" \\xHH)\n"
    "  text \"TEXT\"             the bytes without a NUL\n"
    "  hex HEX...              bytes given as pairs of hex digits\n"
    "  version MAJOR MIDDLE MINOR VARIETY INTERNAL \"SHORT\" \"LONG\"\n"
    "                          a 340-byte version_info; VARIETY is development,\n"
    "                          alpha, beta, gamma, golden_master, final or 0-5\n"
    "  pixels WIDTH HEIGHT     followed by HEIGHT rows of WIDTH colour characters,\n"
    "                          one byte a pixel\n";

constexpr size_t kShortInfoSize = 64;
constexpr size_t kLongInfoSize = 256;
constexpr int64 kMaxPixels = 1024 * 1024;

struct Token {
    std::string text;
    bool quoted = false;
};

class RdefCompiler
{
public:
    explicit RdefCompiler(std::string path) : fPath(std::move(path)) {}

    bool Compile(std::istream& input, ResourceContainer* container);
    const std::string& Error() const { return fError; }

private:
    bool Fail(const std::string& message)
    {
        fError = fPath + ":" + std::to_string(fLine) + ": " + message;
        return false;
    }

    bool Tokenize(const std::string& line, std::vector<Token>* tokens);
    bool Unescape(const std::string& line, size_t* at, char quote, std::string* out);
    bool ParseInteger(const Token& token, int64 min, uint64 max, int64* value);
    bool ParseType(const Token& token, type_code* type);
    bool ParseColor(const std::vector<Token>& tokens);
    bool ParseResourceHeader(const std::vector<Token>& tokens, ResourceItem* item);
    bool ParseContent(std::istream& input, const std::vector<Token>& tokens,
                      std::vector<uint8>* data);
    bool ParseIntegers(const std::vector<Token>& tokens, std::vector<uint8>* data);
    bool ParseVersion(const std::vector<Token>& tokens, std::vector<uint8>* data);
    bool ParsePixels(std::istream& input, const std::vector<Token>& tokens,
                     std::vector<uint8>* data);

    std::string fPath;
    int fLine = 0;
    std::string fError;
    std::map<char, uint8> fColors;
};

void AppendLittleEndian(std::vector<uint8>* data, uint64 value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        data->push_back(static_cast<uint8>(value >> (8 * i)));
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool RdefCompiler::Unescape(const std::string& line, size_t* at, char quote, std::string* out)
{
    size_t i = *at + 1;
    while (i < line.size() && line[i] != quote) {
        char c = line[i++];
        if (c != '\\') {
            out->push_back(c);
            continue;
        }
        if (i >= line.size())
            break;
        char escape = line[i++];
        switch (escape) {
        case 'n':
            out->push_back('\n');
            break;
        case 't':
            out->push_back('\t');
            break;
        case 'r':
            out->push_back('\r');
            break;
        case '0':
            out->push_back('\0');
            break;
        case '\\':
        case '"':
        case '\'':
            out->push_back(escape);
            break;
        case 'x': {
            int high = i < line.size() ? HexValue(line[i]) : -1;
            int low = i + 1 < line.size() ? HexValue(line[i + 1]) : -1;
            if (high < 0 || low < 0)
                return Fail("\\x needs two hex digits");
            out->push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return Fail(std::string("unknown escape \\") + escape);
        }
    }
    if (i >= line.size())
        return Fail("unterminated quote");
    *at = i + 1;
    return true;
}

bool RdefCompiler::Tokenize(const std::string& line, std::vector<Token>* tokens)
{
    tokens->clear();
    size_t at = 0;
    while (at < line.size()) {
        char c = line[at];
        if (c == ' ' || c == '\t' || c == '\r') {
            at++;
            continue;
        }
        // In a colour line '#' may be the character or start the #RRGGBB value.
        bool colorOperand =
            !tokens->empty() && tokens->front().text == "color" && tokens->size() <= 2;
        if (c == '#' && !colorOperand)
            break;
        Token token;
        if (c == '"') {
            token.quoted = true;
            if (!Unescape(line, &at, '"', &token.text))
                return false;
        } else if (c == '\'') {
            std::string code;
            if (!Unescape(line, &at, '\'', &code))
                return false;
            token.text = "'" + code + "'";
        } else {
            size_t end = line.find_first_of(" \t\r", at);
            if (end == std::string::npos)
                end = line.size();
            token.text = line.substr(at, end - at);
            at = end;
        }
        tokens->push_back(std::move(token));
    }
    return true;
}

bool RdefCompiler::ParseInteger(const Token& token, int64 min, uint64 max, int64* value)
{
    const std::string& text = token.text;
    if (token.quoted || text.empty())
        return Fail("expected a number, got '" + text + "'");
    errno = 0;
    char* end = NULL;
    if (text[0] == '-') {
        long long parsed = strtoll(text.c_str(), &end, 0);
        if (errno != 0 || *end != '\0' || parsed < min)
            return Fail("bad or out-of-range number '" + text + "'");
        *value = parsed;
        return true;
    }
    unsigned long long parsed = strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed > max)
        return Fail("bad or out-of-range number '" + text + "'");
    // Unsigned 64-bit values keep their bits.
    *value = static_cast<int64>(parsed);
    return true;
}

bool RdefCompiler::ParseType(const Token& token, type_code* type)
{
    const std::string& text = token.text;
    if (!token.quoted && text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        if (text.size() != 6)
            return Fail("a type code has four characters: " + text);
        *type = 0;
        for (size_t i = 1; i < 5; i++)
            *type = (*type << 8) | static_cast<uint8>(text[i]);
        return true;
    }
    int64 value = 0;
    if (!ParseInteger(token, 0, UINT32_MAX, &value))
        return false;
    *type = static_cast<type_code>(value);
    return true;
}

bool RdefCompiler::ParseColor(const std::vector<Token>& tokens)
{
    if (tokens.size() != 3)
        return Fail("usage: color C INDEX|#RRGGBB|transparent");
    const std::string& symbol = tokens[1].text;
    if (tokens[1].quoted || symbol.size() != 1 || symbol[0] == '"' || symbol[0] == '\'' ||
        static_cast<unsigned char>(symbol[0]) < 0x21 ||
        static_cast<unsigned char>(symbol[0]) > 0x7e)
        return Fail("a colour is one printable character, got '" + symbol + "'");

    const std::string& value = tokens[2].text;
    uint8 index = 0;
    if (value == "transparent") {
        index = B_TRANSPARENT_MAGIC_CMAP8;
    } else if (value.size() == 7 && value[0] == '#') {
        int channels[3];
        for (int i = 0; i < 3; i++) {
            int high = HexValue(value[1 + 2 * i]);
            int low = HexValue(value[2 + 2 * i]);
            if (high < 0 || low < 0)
                return Fail("bad colour '" + value + "'");
            channels[i] = high * 16 + low;
        }
        int index555 = ((channels[0] >> 3) << 10) | ((channels[1] >> 3) << 5) | (channels[2] >> 3);
        index = system_colors()->index_map[index555];
    } else {
        int64 parsed = 0;
        if (!ParseInteger(tokens[2], 0, 255, &parsed))
            return false;
        index = static_cast<uint8>(parsed);
    }
    fColors[symbol[0]] = index;
    return true;
}

bool RdefCompiler::ParseResourceHeader(const std::vector<Token>& tokens, ResourceItem* item)
{
    if (tokens.size() < 3 || tokens.size() > 4)
        return Fail("usage: resource TYPE ID [\"NAME\"]");
    if (!ParseType(tokens[1], &item->type))
        return false;
    int64 id = 0;
    if (!ParseInteger(tokens[2], INT32_MIN, INT32_MAX, &id))
        return false;
    item->id = static_cast<int32>(id);
    if (tokens.size() == 4) {
        if (!tokens[3].quoted)
            return Fail("a resource name is quoted");
        if (tokens[3].text.find('\0') != std::string::npos || tokens[3].text.size() >= 0xffff)
            return Fail("a resource name has no NUL and fewer than 65535 bytes");
        item->name = tokens[3].text;
    }
    return true;
}

bool RdefCompiler::ParseIntegers(const std::vector<Token>& tokens, std::vector<uint8>* data)
{
    const std::string& kind = tokens[0].text;
    bool isSigned = kind[0] == 'i';
    int bits = atoi(kind.c_str() + (isSigned ? 3 : 4));
    if (tokens.size() < 2)
        return Fail(kind + " needs at least one value");
    int64 min = 0;
    uint64 max = bits == 64 ? UINT64_MAX : (uint64(1) << bits) - 1;
    if (isSigned) {
        min = bits == 64 ? INT64_MIN : -(int64(1) << (bits - 1));
        max = bits == 64 ? uint64(INT64_MAX) : (uint64(1) << (bits - 1)) - 1;
    }
    for (size_t i = 1; i < tokens.size(); i++) {
        int64 value = 0;
        if (!ParseInteger(tokens[i], min, max, &value))
            return false;
        AppendLittleEndian(data, static_cast<uint64>(value), bits / 8);
    }
    return true;
}

bool RdefCompiler::ParseVersion(const std::vector<Token>& tokens, std::vector<uint8>* data)
{
    static const char* const kVarieties[] = {"development", "alpha",         "beta",
                                             "gamma",       "golden_master", "final"};
    if (tokens.size() != 8 || !tokens[6].quoted || !tokens[7].quoted)
        return Fail("usage: version MAJOR MIDDLE MINOR VARIETY INTERNAL \"SHORT\" \"LONG\"");
    for (size_t i = 1; i <= 5; i++) {
        int64 value = -1;
        if (i == 4) {
            for (int v = 0; v < 6; v++) {
                if (tokens[i].text == kVarieties[v])
                    value = v;
            }
            if (value < 0 && !ParseInteger(tokens[i], 0, 5, &value))
                return false;
        } else if (!ParseInteger(tokens[i], 0, UINT32_MAX, &value)) {
            return false;
        }
        AppendLittleEndian(data, static_cast<uint64>(value), 4);
    }
    const std::string& shortInfo = tokens[6].text;
    const std::string& longInfo = tokens[7].text;
    if (shortInfo.size() >= kShortInfoSize || longInfo.size() >= kLongInfoSize)
        return Fail("version texts are at most 63 and 255 bytes");
    size_t at = data->size();
    data->resize(at + kShortInfoSize + kLongInfoSize, 0);
    memcpy(data->data() + at, shortInfo.data(), shortInfo.size());
    memcpy(data->data() + at + kShortInfoSize, longInfo.data(), longInfo.size());
    return true;
}

bool RdefCompiler::ParsePixels(std::istream& input, const std::vector<Token>& tokens,
                               std::vector<uint8>* data)
{
    int64 width = 0, height = 0;
    if (tokens.size() != 3)
        return Fail("usage: pixels WIDTH HEIGHT");
    if (!ParseInteger(tokens[1], 1, kMaxPixels, &width) ||
        !ParseInteger(tokens[2], 1, kMaxPixels, &height))
        return false;
    if (width * height > kMaxPixels)
        return Fail("a picture has at most " + std::to_string(kMaxPixels) + " pixels");
    for (int64 row = 0; row < height; row++) {
        std::string line;
        if (!std::getline(input, line)) {
            return Fail("picture ends after " + std::to_string(row) + " of " +
                        std::to_string(height) + " rows");
        }
        fLine++;
        line = Trim(line);
        if (static_cast<int64>(line.size()) != width) {
            return Fail("row has " + std::to_string(line.size()) + " pixels, expected " +
                        std::to_string(width));
        }
        for (char symbol : line) {
            auto found = fColors.find(symbol);
            if (found == fColors.end())
                return Fail(std::string("no colour for '") + symbol + "'");
            data->push_back(found->second);
        }
    }
    return true;
}

bool RdefCompiler::ParseContent(std::istream& input, const std::vector<Token>& tokens,
                                std::vector<uint8>* data)
{
    const std::string& kind = tokens[0].text;
    if (kind == "int8" || kind == "int16" || kind == "int32" || kind == "int64" ||
        kind == "uint8" || kind == "uint16" || kind == "uint32" || kind == "uint64")
        return ParseIntegers(tokens, data);
    if (kind == "string" || kind == "text") {
        if (tokens.size() != 2 || !tokens[1].quoted)
            return Fail("usage: " + kind + " \"TEXT\"");
        data->insert(data->end(), tokens[1].text.begin(), tokens[1].text.end());
        if (kind == "string")
            data->push_back(0);
        return true;
    }
    if (kind == "hex") {
        std::string digits;
        for (size_t i = 1; i < tokens.size(); i++)
            digits += tokens[i].text;
        if (digits.size() % 2 != 0)
            return Fail("hex needs pairs of digits");
        for (size_t i = 0; i < digits.size(); i += 2) {
            int high = HexValue(digits[i]);
            int low = HexValue(digits[i + 1]);
            if (high < 0 || low < 0)
                return Fail("bad hex digits '" + digits.substr(i, 2) + "'");
            data->push_back(static_cast<uint8>(high * 16 + low));
        }
        return true;
    }
    if (kind == "version")
        return ParseVersion(tokens, data);
    if (kind == "pixels")
        return ParsePixels(input, tokens, data);
    return Fail("unknown content '" + kind + "'");
}

bool RdefCompiler::Compile(std::istream& input, ResourceContainer* container)
{
    std::optional<ResourceItem> current;
    std::string line;
    std::vector<Token> tokens;
    while (std::getline(input, line)) {
        fLine++;
        if (!Tokenize(line, &tokens))
            return false;
        if (tokens.empty())
            continue;
        const std::string& keyword = tokens[0].text;
        if (tokens[0].quoted)
            return Fail("a line starts with a keyword");
        if (keyword == "color") {
            if (!ParseColor(tokens))
                return false;
        } else if (keyword == "resource") {
            if (current)
                return Fail("resource inside a resource (missing 'end')");
            current.emplace();
            if (!ParseResourceHeader(tokens, &*current))
                return false;
            if (container->Find(current->type, current->id) != NULL)
                return Fail("duplicate resource of this type and id");
        } else if (keyword == "end") {
            if (!current)
                return Fail("'end' without 'resource'");
            if (tokens.size() != 1)
                return Fail("'end' stands alone");
            container->Add(std::move(*current));
            current.reset();
        } else {
            if (!current)
                return Fail("content outside a resource: '" + keyword + "'");
            if (!ParseContent(input, tokens, &current->data))
                return false;
        }
    }
    if (current)
        return Fail("missing 'end' at the end of the file");
    if (input.bad())
        return Fail("read error");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (AnswerHelpOrVersion(argc, argv, "rc", kUsage))
        return 0;
    bool checkOnly = argc == 3 && strcmp(argv[1], "--check") == 0;
    if (argc != 3 || (!checkOnly && argv[1][0] == '-')) {
        fputs("rc: usage: rc RDEF EXECUTABLE | rc --check RDEF | rc --help\n", stderr);
        return 1;
    }
    const char* rdefPath = checkOnly ? argv[2] : argv[1];

    std::ifstream input(rdefPath);
    if (!input) {
        fprintf(stderr, "rc: %s: %s\n", rdefPath, strerror(errno));
        return 1;
    }
    ResourceContainer container;
    RdefCompiler compiler(rdefPath);
    if (!compiler.Compile(input, &container)) {
        fprintf(stderr, "rc: %s\n", compiler.Error().c_str());
        return 1;
    }
    if (checkOnly)
        return 0;

    const char* target = argv[2];
    BFile file(target, B_READ_WRITE);
    status_t status = file.InitCheck();
    if (status == B_OK)
        status = container.WriteTo(file);
    if (status == B_BAD_TYPE) {
        fprintf(stderr, "rc: %s: not an ELF file\n", target);
        return 1;
    }
    if (status != B_OK) {
        fprintf(stderr, "rc: %s: %s\n", target, strerror(status));
        return 1;
    }
    return 0;
}
