#include "XmlNode.h"

#include "XmlDocument.h"

#include <new>

XmlNode* XmlNode::Create(XmlDocument* document, XmlNode* parent, const char* name, int nameLength, bool declaration)
{
    void* memory = document->Allocate(sizeof(XmlNode), alignof(XmlNode));
    return new (memory) XmlNode(document, parent, name, nameLength, declaration);
}

XmlNode::XmlNode(XmlDocument* document, XmlNode* parent, const char* name, int nameLength, bool declaration)
    : mName(name), mNameLength(nameLength), mDeclaration(declaration), mParent(parent), mDocument(document)
{
}

void XmlNode::AddHandle(XmlNode* node)
{
    ++node->mRefCount;
    node->mDocument->AddHandle();
}

void XmlNode::ReleaseHandle(XmlNode* node)
{
    XmlDocument* document = node->mDocument;
    if (document->ReleaseHandle()) {
        // Nodes are plain data in the document's storage: nothing to undo one by one.
        XmlDocument::Destroy(document);
        return;
    }
    Release(node);
}

void XmlNode::Release(XmlNode* node)
{
    if (--node->mRefCount > 0) {
        return;
    }
    // Recursion is bounded by the parser's depth limit.
    for (int i = 0; i < node->mChildCount; ++i) {
        node->mChildren[i]->mParent = nullptr;
        Release(node->mChildren[i]);
    }
    node->mChildCount = 0;
}
