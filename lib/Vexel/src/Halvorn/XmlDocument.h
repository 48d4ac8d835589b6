#pragma once

#include <cstddef>
#include <vector>

// Storage for one parsed tree: nodes, their arrays and their texts come from a
// few large blocks instead of one allocation each. It lives until the last
// handle to any of its nodes is gone.
class XmlDocument
{
public:
    // sizeHint: roughly how many bytes the tree will need.
    static XmlDocument* Create(std::size_t sizeHint);
    static void Destroy(XmlDocument* document);

    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    void* Allocate(std::size_t bytes, std::size_t alignment);
    char* CopyString(const char* text, std::size_t length);
    template <typename T> T* AllocateArray(std::size_t count)
    {
        return static_cast<T*>(Allocate(count * sizeof(T), alignof(T)));
    }

    // The text as it was parsed, for positions; copy is the copy whose names
    // and texts were ended and decoded in place, charLengths the table used.
    void KeepSource(const char* source, std::size_t length, const char* copy, const unsigned char* charLengths);
    // Line and column, counted as error positions are, of the element whose
    // name lies at name in the decoded copy (its "<"), or of an attribute
    // whose name lies there (the name's first character).
    void ElementPosition(const char* name, int& line, int& column);
    void AttributePosition(const char* name, int& line, int& column);
    // From begin, line 1 and column 1, over whole characters by the table: a
    // line feed starts the next line, any other character adds a column.
    static void CountPosition(const char* begin, const char* end, const unsigned char* charLengths,
                              const char* position, int& line, int& column);

    // Handles held outside the tree. Without any, no node can be reached, so
    // the whole document goes at once instead of node by node.
    void AddHandle() { ++mHandles; }
    // true when the last one is gone.
    bool ReleaseHandle() { return --mHandles == 0; }

private:
    struct Block
    {
        Block* next;
    };

    XmlDocument(char* cursor, char* limit, std::size_t nextBlockSize);
    ~XmlDocument();
    void* AllocateInNewBlock(std::size_t bytes, std::size_t alignment);

    const char* Next(const char* p) const;
    void Position(const char* place, int& line, int& column);

    Block* mBlocks = nullptr;
    const char* mSource = nullptr;
    const char* mSourceEnd = nullptr;
    const char* mCopy = nullptr;
    const unsigned char* mCharLengths = nullptr;
    // Where each line starts, from the first question on.
    std::vector<const char*> mLineStarts;
    char* mCursor;
    char* mLimit;
    std::size_t mNextBlockSize;
    long mHandles = 0;
};
