#pragma once

// Outcome of a parse: code 0 is success, 1 a warning (the tree is still
// returned), anything else an error. Line and column count from 1; both are 0
// when the error has no position in the text (file not found, first tag
// missing, ...).
struct XmlParseResult
{
    int code = 0;
    int line = 0;
    int column = 0;
};
