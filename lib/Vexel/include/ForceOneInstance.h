#pragma once

#include "AssertException.h"

// At most one object of T at a time; a new one may follow once it is gone.
template <typename T>
class ForceOneInstance
{
public:
    ForceOneInstance()
    {
        BOOST_ASSERT(mHasInstance == false);
        mHasInstance = true;
    }

    virtual ~ForceOneInstance() { mHasInstance = false; }

    ForceOneInstance(const ForceOneInstance&) = delete;
    ForceOneInstance& operator=(const ForceOneInstance&) = delete;

private:
    static bool mHasInstance;
};

template <typename T>
bool ForceOneInstance<T>::mHasInstance = false;
