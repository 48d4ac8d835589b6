#pragma once

#include "AutoSingleton.h"

#include <string>

// Remembers whether SDL is up, brings up further subsystems on demand and
// shuts SDL down when the registry releases it at exit.
class SdlInitWrapper : public AutoSingleton<SdlInitWrapper>
{
public:
    SdlInitWrapper() = default;
    ~SdlInitWrapper() override;

    virtual bool Init(unsigned int flags);
    virtual void QuitSubSystem(unsigned int flags);
    virtual std::string FlagsToString(unsigned int flags);

private:
    bool mSdlInitialized = false;
};
