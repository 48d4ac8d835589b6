#pragma once

class XmlDocument;

struct XmlAttributeItem
{
    XmlAttributeItem(const char* name_, const char* value_) : name(name_), value(value_) {}

    const char* name;
    const char* value;  // null when written without "="
};

struct XmlClearItem
{
    XmlClearItem(const char* content_, const char* opener_, const char* closer_)
        : content(content_), opener(opener_), closer(closer_)
    {
    }

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
    // A handle outside the tree: counts on the node and on its document.
    static void AddHandle(XmlNode* node);
    static void ReleaseHandle(XmlNode* node);

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
    // At 0 the node lets go of its children, detaching them.
    static void Release(XmlNode* node);
};
