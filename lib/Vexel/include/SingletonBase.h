#pragma once

// Common base of everything the singleton registry owns and deletes.
class SingletonBase
{
public:
    virtual ~SingletonBase() = default;
};
