#pragma once

#include "SingletonBase.h"

#include <set>

// Process-wide owner of singletons: deletes them when the process exits,
// auto singletons first, each set in ascending address order.
class SingletonManager
{
public:
    static void RegisterAutoSingleton(SingletonBase* singleton);
    // Objects registered by hand are released after the auto singletons,
    // with a warning, because nobody released them.
    static void RegisterManualSingleton(SingletonBase* singleton);
    static void UnregisterSingleton(SingletonBase* singleton);
    static bool IsRegistered(const SingletonBase* singleton);

    ~SingletonManager();

private:
    SingletonManager() = default;
    SingletonManager(const SingletonManager&) = delete;
    SingletonManager& operator=(const SingletonManager&) = delete;

    static SingletonManager mInstance;

    std::set<SingletonBase*> mAutoSingletons;
    std::set<SingletonBase*> mManualSingletons;
};
