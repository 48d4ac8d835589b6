#pragma once

#include <cstddef>

// Storage for one parsed tree: nodes, their arrays and their texts come from a
// few large blocks instead of one allocation each. It lives until the last node
// that is still referenced lets go of it.
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

    void AddLiveNode() { ++mLiveNodes; }
    // true when the last live node is gone.
    bool ReleaseLiveNode() { return --mLiveNodes == 0; }

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
    long mLiveNodes = 0;
};
