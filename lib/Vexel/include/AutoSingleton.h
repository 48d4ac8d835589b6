#pragma once

#include "SingletonBase.h"
#include "SingletonManager.h"

// The one T, created on first use and owned by the registry from then on.
template <typename T>
class AutoSingleton : public SingletonBase
{
public:
    static T* Instance()
    {
        if (mSingleton == nullptr) {
            mSingleton = new T();
            SingletonManager::RegisterAutoSingleton(mSingleton);
        }
        return mSingleton;
    }

    ~AutoSingleton() override
    {
        // An object made directly, not through Instance, was never
        // registered; there is nothing to take out then.
        if (SingletonManager::IsRegistered(this)) {
            SingletonManager::UnregisterSingleton(this);
        }
    }

protected:
    AutoSingleton() = default;

private:
    AutoSingleton(const AutoSingleton&) = delete;
    AutoSingleton& operator=(const AutoSingleton&) = delete;

    static T* mSingleton;
};

template <typename T>
T* AutoSingleton<T>::mSingleton = nullptr;
