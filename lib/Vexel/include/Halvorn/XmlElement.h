#pragma once

#include "Halvorn/XmlParseResult.h"

#include <string>
#include <vector>

class XmlNode;

// A handle to one element of a parsed tree. Handles share their node by
// reference count, so an element (and the texts it hands out) lives as long as
// any handle to it. An empty handle answers every query with "nothing".
class XmlElement
{
public:
    // Parses a file and never returns on error: the message goes to standard
    // error and to a message box, then the process exits with status 255.
    static XmlElement OpenFile(const char* path, const char* firstTag);
    static XmlElement ParseFile(const char* path, const char* firstTag, XmlParseResult* result);
    static XmlElement ParseText(const char* text, const char* firstTag, XmlParseResult* result);
    static const char* ErrorText(int code);
    // The text OpenFile shows, at most MaxMessageLength bytes (a long path is
    // shortened at its front).
    static std::string ErrorMessage(const char* path, const char* firstTag, const XmlParseResult& result);
    static const int MaxMessageLength = 1999;
    // Elements nested deeper than this are refused with code 9.
    static const int MaxDepth = 1000;

    XmlElement() = default;
    XmlElement(const XmlElement& other);
    XmlElement(XmlElement&& other) noexcept;
    XmlElement& operator=(const XmlElement& other);
    XmlElement& operator=(XmlElement&& other) noexcept;
    ~XmlElement();

    XmlElement Child(const char* name) const;
    XmlElement Child(const char* name, int n) const;
    int ChildCount(const char* name) const;
    // Every child of that name in document order, in one pass: asking for
    // the n-th child in a loop walks the list again for each.
    std::vector<XmlElement> Children(const char* name) const;
    const char* Text(int i) const;
    const char* Attribute(const char* name) const;
    int AttributeCount() const;
    const char* AttributeName(int i) const;
    const char* AttributeValue(int i) const;

    bool IsEmpty() const { return mNode == nullptr; }
    explicit operator bool() const { return mNode != nullptr; }
    // null for the unnamed top node of a document.
    const char* Name() const;
    bool IsDeclaration() const;
    int ChildCount() const;
    XmlElement ChildAt(int i) const;
    int TextCount() const;
    // Comments, CDATA and the other opaque sections, in document order.
    int ClearCount() const;
    const char* ClearContent(int i) const;
    const char* ClearOpener(int i) const;
    const char* ClearCloser(int i) const;
    // How many handles (including parents' child lists) share this node.
    int UseCount() const;

    // Where the element's "<" and an attribute's name stand in the parsed
    // text, counted from 1 as error positions are; 0 for an empty handle, the
    // unnamed top node or an attribute index out of range. The first question
    // about a document walks its text once; parsing itself counts nothing.
    int Line() const;
    int Column() const;
    int AttributeLine(int i) const;
    int AttributeColumn(int i) const;
    // The first attribute with that name (letter case ignored), or -1.
    int AttributeIndex(const char* name) const;

private:
    // Takes over one reference the caller already holds.
    static XmlElement Adopt(XmlNode* node);
    explicit XmlElement(XmlNode* node);

    XmlNode* mNode = nullptr;
};
