#include "XmlDocument.h"

#include <algorithm>
#include <climits>
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

void XmlDocument::KeepSource(const char* source, std::size_t length, const char* copy,
                             const unsigned char* charLengths)
{
    mSource = source;
    mSourceEnd = source + length;
    mCopy = copy;
    mCharLengths = charLengths;
}

const char* XmlDocument::Next(const char* p) const
{
    // Whole characters, but never past the end, whatever the lead byte claims.
    const std::size_t length = mCharLengths[static_cast<unsigned char>(*p)];
    const std::size_t left = static_cast<std::size_t>(mSourceEnd - p);
    return p + std::max<std::size_t>(1, std::min(length, left));
}

void XmlDocument::CountPosition(const char* begin, const char* end, const unsigned char* charLengths,
                                const char* position, int& line, int& column)
{
    long long lines = 1;
    long long columns = 1;
    for (const char* q = begin; q < position && q < end;) {
        if (*q == '\n') {
            ++lines;
            columns = 1;
        } else {
            ++columns;
        }
        const std::size_t length = charLengths[static_cast<unsigned char>(*q)];
        const std::size_t left = static_cast<std::size_t>(end - q);
        q += std::max<std::size_t>(1, std::min(length, left));
    }
    line = lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
    column = columns > INT_MAX ? INT_MAX : static_cast<int>(columns);
}

void XmlDocument::Position(const char* place, int& line, int& column)
{
    // One walk over the text finds every line start; after that a position
    // costs a search and a walk along its own line.
    if (mLineStarts.empty()) {
        mLineStarts.push_back(mSource);
        for (const char* q = mSource; q < mSourceEnd;) {
            const bool lineFeed = *q == '\n';
            q = Next(q);
            if (lineFeed) {
                mLineStarts.push_back(q);
            }
        }
    }
    const auto after = std::upper_bound(mLineStarts.begin(), mLineStarts.end(), place);
    const long long lines = after - mLineStarts.begin();
    long long columns = 1;
    for (const char* q = after[-1]; q < place && q < mSourceEnd; q = Next(q)) {
        ++columns;
    }
    line = lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
    column = columns > INT_MAX ? INT_MAX : static_cast<int>(columns);
}

void XmlDocument::ElementPosition(const char* name, int& line, int& column)
{
    // Only blanks, and a "?" for a declaration, stand between "<" and the name.
    const char* p = mSource + (name - mCopy);
    while (p > mSource && *p != '<') {
        --p;
    }
    Position(p, line, column);
}

void XmlDocument::AttributePosition(const char* name, int& line, int& column)
{
    Position(mSource + (name - mCopy), line, column);
}
