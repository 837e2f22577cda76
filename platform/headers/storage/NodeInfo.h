#ifndef _NODE_INFO_H
#define _NODE_INFO_H

#include <Node.h>
#include <SupportDefs.h>

// A node's file type, kept in the node's "BEOS:TYPE" attribute.
class BNodeInfo
{
public:
    BNodeInfo();
    BNodeInfo(BNode* node);
    virtual ~BNodeInfo();

    status_t SetTo(BNode* node);
    status_t InitCheck() const;

    // The stored type; a node without one is typed by its content, and nothing is written.
    // type must hold B_MIME_TYPE_LENGTH bytes.
    virtual status_t GetType(char* type) const;
    // NULL removes the stored type.
    virtual status_t SetType(const char* type);

private:
    BNodeInfo(const BNodeInfo&) = delete;
    BNodeInfo& operator=(const BNodeInfo&) = delete;

    BNode* fNode;
    status_t fStatus;
};

#endif
