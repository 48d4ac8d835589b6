#pragma once

class XmlDocument;

struct XmlAttributeItem
{
    const char* name;
    const char* value;  // null when written without "="
};

struct XmlClearItem
{
    const char* content;
    const char* opener;
    const char* closer;
};

// One element of a parsed tree. Its arrays and texts live in the document's
// storage; the reference count says how many handles (the parent's child list
// among them) share the node.
class XmlNode
{
public:
    static XmlNode* Create(XmlDocument* document, XmlNode* parent, const char* name, int nameLength, bool declaration);
    static void AddRef(XmlNode* node) { ++node->mRefCount; }
    // At 0 the node lets go of its children (detaching them) and of the document.
    static void Release(XmlNode* node);

    const char* mName;  // null for the top node of a document
    int mNameLength;
    bool mDeclaration;
    XmlNode* mParent;
    XmlNode** mChildren = nullptr;
    const char** mTexts = nullptr;
    XmlClearItem* mClears = nullptr;
    XmlAttributeItem* mAttributes = nullptr;
    int mChildCount = 0;
    int mTextCount = 0;
    int mClearCount = 0;
    int mAttributeCount = 0;
    int mRefCount = 1;
    XmlDocument* mDocument;

private:
    XmlNode(XmlDocument* document, XmlNode* parent, const char* name, int nameLength, bool declaration);
};
