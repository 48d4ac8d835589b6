#include "SingletonManager.h"

#include "AssertException.h"

#include <iostream>

SingletonManager SingletonManager::mInstance;

SingletonManager::~SingletonManager()
{
    while (!mAutoSingletons.empty()) {
        SingletonBase* singleton = *mAutoSingletons.begin();
        delete singleton;
        // A destructor that forgot to unregister must not make this loop forever.
        mAutoSingletons.erase(singleton);
    }

    if (!mManualSingletons.empty()) {
        std::cerr << "WARNING: " << mManualSingletons.size() << " unreleased singletons detected!" << std::endl;
    }
    while (!mManualSingletons.empty()) {
        SingletonBase* singleton = *mManualSingletons.begin();
        delete singleton;
        mManualSingletons.erase(singleton);
    }
}

void SingletonManager::RegisterAutoSingleton(SingletonBase* singleton)
{
    BOOST_ASSERT(singleton != 0);
    BOOST_ASSERT(mInstance.mAutoSingletons.find(singleton) == mInstance.mAutoSingletons.end());
    BOOST_ASSERT(mInstance.mManualSingletons.find(singleton) == mInstance.mManualSingletons.end());
    mInstance.mAutoSingletons.insert(singleton);
}

void SingletonManager::RegisterManualSingleton(SingletonBase* singleton)
{
    BOOST_ASSERT(singleton != 0);
    BOOST_ASSERT(mInstance.mAutoSingletons.find(singleton) == mInstance.mAutoSingletons.end());
    BOOST_ASSERT(mInstance.mManualSingletons.find(singleton) == mInstance.mManualSingletons.end());
    mInstance.mManualSingletons.insert(singleton);
}

void SingletonManager::UnregisterSingleton(SingletonBase* singleton)
{
    BOOST_ASSERT(mInstance.mAutoSingletons.find(singleton) != mInstance.mAutoSingletons.end() || mInstance.mManualSingletons.find(singleton) != mInstance.mManualSingletons.end());
    if (mInstance.mAutoSingletons.erase(singleton) == 0) {
        mInstance.mManualSingletons.erase(singleton);
    }
}

bool SingletonManager::IsRegistered(const SingletonBase* singleton)
{
    SingletonBase* key = const_cast<SingletonBase*>(singleton);
    return mInstance.mAutoSingletons.count(key) != 0 || mInstance.mManualSingletons.count(key) != 0;
}
