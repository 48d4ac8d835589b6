#include "XmlDocument.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

const std::size_t MinimumBlockSize = 4096;
// Later blocks grow, but not without bound: a huge last block would mostly idle.
const std::size_t MaximumGrowth = std::size_t(64) << 20;

char* AlignUp(char* pointer, std::size_t alignment)
{
    const auto value = reinterpret_cast<std::uintptr_t>(pointer);
    return reinterpret_cast<char*>((value + alignment - 1) & ~(std::uintptr_t(alignment) - 1));
}

} // namespace

XmlDocument* XmlDocument::Create(std::size_t sizeHint)
{
    // The document itself sits at the front of its first block.
    const std::size_t size = std::max(sizeHint, MinimumBlockSize) + sizeof(XmlDocument);
    char* memory = static_cast<char*>(::operator new(size));
    return new (memory) XmlDocument(memory + sizeof(XmlDocument), memory + size, std::min(size * 2, MaximumGrowth));
}

void XmlDocument::Destroy(XmlDocument* document)
{
    document->~XmlDocument();
    ::operator delete(static_cast<void*>(document));
}

XmlDocument::XmlDocument(char* cursor, char* limit, std::size_t nextBlockSize)
    : mCursor(cursor), mLimit(limit), mNextBlockSize(nextBlockSize)
{
}

XmlDocument::~XmlDocument()
{
    while (mBlocks) {
        Block* next = mBlocks->next;
        ::operator delete(static_cast<void*>(mBlocks));
        mBlocks = next;
    }
}

void* XmlDocument::Allocate(std::size_t bytes, std::size_t alignment)
{
    char* start = AlignUp(mCursor, alignment);
    if (start <= mLimit && bytes <= std::size_t(mLimit - start)) {
        mCursor = start + bytes;
        return start;
    }
    return AllocateInNewBlock(bytes, alignment);
}

void* XmlDocument::AllocateInNewBlock(std::size_t bytes, std::size_t alignment)
{
    const std::size_t header = (sizeof(Block) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    const std::size_t size = std::max(mNextBlockSize, header + bytes + alignment);
    char* memory = static_cast<char*>(::operator new(size));
    Block* block = reinterpret_cast<Block*>(memory);
    block->next = mBlocks;
    mBlocks = block;
    mCursor = memory + header;
    mLimit = memory + size;
    mNextBlockSize = std::min(mNextBlockSize * 2, MaximumGrowth);

    char* start = AlignUp(mCursor, alignment);
    mCursor = start + bytes;
    return start;
}

char* XmlDocument::CopyString(const char* text, std::size_t length)
{
    char* copy = static_cast<char*>(Allocate(length + 1, 1));
    if (length > 0) {
        std::memcpy(copy, text, length);
    }
    copy[length] = '\0';
    return copy;
}
