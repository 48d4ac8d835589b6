#pragma once

#include <cstddef>

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

    Block* mBlocks = nullptr;
    char* mCursor;
    char* mLimit;
    std::size_t mNextBlockSize;
    long mHandles = 0;
};
