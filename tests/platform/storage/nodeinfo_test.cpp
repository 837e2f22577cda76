#include "support/RawAttributes.h"
#include "support/ScratchDir.h"

#include <Node.h>
#include <NodeInfo.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <string>

namespace
{

// A complete 1 x 1 RGBA PNG.
const unsigned char kTinyPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0xf0, 0x1f, 0x00, 0x05, 0x00, 0x01, 0xff, 0x89, 0x99,
    0x3d, 0x1d, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

std::string type_of(const std::string& path)
{
    BNode node(path.c_str());
    BNodeInfo info(&node);
    char type[B_MIME_TYPE_LENGTH];
    memset(type, '#', sizeof(type));
    status_t status = info.GetType(type);
    if (status != B_OK)
        return "error " + std::to_string(status);
    return type;
}

bool has_xattrs(const std::string& path)
{
    return listxattr(path.c_str(), NULL, 0) == 0;
}

} // namespace

TEST(NodeInfo, UntypedNodesAreTypedByContentWithoutWriting)
{
    ScratchDir scratch;
    scratch.WriteFile("logo", std::string((const char*)kTinyPng, sizeof(kTinyPng)));
    scratch.WriteFile("list", "givecard2 A1B2\nnone 0000\n");
    scratch.WriteFile("blob", std::string("\x00\x01\x02\xff\xfe\x80\x7f", 7));
    scratch.WriteFile("empty", "");

    EXPECT_EQ("image/png", type_of(scratch / "logo"));
    EXPECT_EQ("text/plain", type_of(scratch / "list"));
    EXPECT_EQ("application/octet-stream", type_of(scratch / "blob"));
    EXPECT_EQ("application/octet-stream", type_of(scratch / "empty"));
    EXPECT_EQ("application/x-vnd.Be-directory", type_of(scratch.Path()));

    for (const char* name : {"logo", "list", "blob", "empty"})
        EXPECT_TRUE(has_xattrs(scratch / name)) << name << " got an attribute from a read";
    EXPECT_TRUE(has_xattrs(scratch.Path()));
}

TEST(NodeInfo, AFileRewrittenInPlaceIsTypedByItsNewContent)
{
    ScratchDir scratch;
    std::string png((const char*)kTinyPng, sizeof(kTinyPng));
    // The same size, other bytes: only the content tells them apart.
    std::string text(png.size(), 'a');
    text.back() = '\n';
    std::string blob = png;
    blob[0] = 0;
    for (int round = 0; round < 3; round++) {
        scratch.WriteFile("picture", png);
        EXPECT_EQ("image/png", type_of(scratch / "picture"));
        EXPECT_EQ("image/png", type_of(scratch / "picture"));
        scratch.WriteFile("picture", text);
        EXPECT_EQ("text/plain", type_of(scratch / "picture"));
        scratch.WriteFile("picture", blob);
        EXPECT_EQ("application/octet-stream", type_of(scratch / "picture"));
    }
    // More contents than the sniffer keeps answers for, then the first again.
    for (int i = 0; i < 8; i++) {
        std::string other = text;
        other[i] = 'b';
        scratch.WriteFile("picture", other);
        EXPECT_EQ("text/plain", type_of(scratch / "picture"));
    }
    scratch.WriteFile("picture", png);
    EXPECT_EQ("image/png", type_of(scratch / "picture"));
}

TEST(NodeInfo, StoredTypeWinsAndIsWrittenWithItsNul)
{
    ScratchDir scratch;
    scratch.WriteFile("logo", std::string((const char*)kTinyPng, sizeof(kTinyPng)));
    std::string path = scratch / "logo";
    BNode node(path.c_str());
    BNodeInfo info(&node);
    ASSERT_EQ(B_OK, info.InitCheck());

    EXPECT_EQ(B_OK, info.SetType("text/plain"));
    EXPECT_EQ(RawAttributes::Encode(B_MIME_STRING_TYPE, "text/plain", 11),
              RawAttributes::Read(path, "BEOS:TYPE"));
    EXPECT_EQ("text/plain", type_of(path));

    // A stored type of another type code is refused rather than trusted.
    ASSERT_EQ(11, node.WriteAttr("BEOS:TYPE", B_STRING_TYPE, 0, "text/plain", 11));
    char type[B_MIME_TYPE_LENGTH];
    EXPECT_EQ(B_BAD_TYPE, info.GetType(type));

    // A stored value without a NUL, even one filling the buffer, comes back terminated.
    std::string longType(300, 'x');
    ASSERT_EQ(300, node.WriteAttr("BEOS:TYPE", B_MIME_STRING_TYPE, 0, longType.data(), 300));
    memset(type, '#', sizeof(type));
    EXPECT_EQ(B_OK, info.GetType(type));
    EXPECT_EQ(B_MIME_TYPE_LENGTH - 1, (int)strlen(type));

    EXPECT_EQ(B_BAD_VALUE, info.SetType(longType.c_str()));
    EXPECT_EQ(B_OK, info.SetType(NULL));
    EXPECT_EQ("image/png", type_of(path));
}

TEST(NodeInfo, RefusesMissingNodes)
{
    BNodeInfo unset;
    char type[B_MIME_TYPE_LENGTH];
    EXPECT_EQ(B_NO_INIT, unset.InitCheck());
    EXPECT_EQ(B_NO_INIT, unset.GetType(type));
    EXPECT_EQ(B_NO_INIT, unset.SetType("text/plain"));

    BNode missing("/no/such/node");
    BNodeInfo info;
    EXPECT_EQ(B_BAD_VALUE, info.SetTo(&missing));
    EXPECT_EQ(B_BAD_VALUE, info.SetTo(NULL));
    ScratchDir scratch;
    BNode node(scratch.Path().c_str());
    ASSERT_EQ(B_OK, info.SetTo(&node));
    EXPECT_EQ(B_BAD_VALUE, info.GetType(NULL));
}
