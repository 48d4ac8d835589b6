#pragma once

// Outcome of a parse: Ok is success, UnmatchedEndTagWarning a warning (the
// tree is still returned), anything else an error. Line and column count from
// 1; both are 0 when the error has no position in the text (file not found,
// first tag missing, ...).
struct XmlParseResult
{
    // The numbers appear in messages and settings makers know them: never renumber.
    enum Code : int
    {
        Ok = 0,
        UnmatchedEndTagWarning = 1,
        NoXmlData = 2,
        FirstTokenNotStartTag = 3,
        MissingStartTagName = 4,
        MissingEndTagName = 5,
        UnmatchedQuote = 6,
        UnmatchedEndTag = 7,
        UnmatchedClearTagEnd = 8,
        UnexpectedToken = 9,
        InvalidTag = 10,
        NoElements = 11,
        FileNotFound = 12,
        FirstTagNotFound = 13,
        UnknownCharacterEntity = 14,
        ConversionFailed = 15,
        CannotOpenForWriting = 16,
        CannotWriteFile = 17,
        Base64LengthWarning = 18,
        Base64IllegalCharacter = 19,
        Base64TruncatedWarning = 20,
        Base64BufferTooSmall = 21,
    };

    int code = Ok;
    int line = 0;
    int column = 0;
    // UnexpectedToken for an element nested deeper than XmlElement::MaxDepth.
    bool nestedTooDeep = false;
};
