#include "FileWatch.h"

#include <sys/stat.h>

void FileWatch::Watch(const std::vector<QString>& files)
{
    mFiles = files;
    mSeen = Look(mFiles);
    mLast = mSeen;
    mChanging = false;
}

bool FileWatch::Poll(double now)
{
    if (mLookedAt >= 0.0 && now - mLookedAt < PollInterval) {
        return false;
    }
    mLookedAt = now;
    const std::vector<Stamp> current = Look(mFiles);
    const bool settled = current == mLast;
    mLast = current;
    if (!mChanging) {
        mChanging = current != mSeen;
        return false;
    }
    if (!settled) {
        return false;
    }
    mChanging = false;
    mSeen = current;
    return true;
}

std::vector<FileWatch::Stamp> FileWatch::Look(const std::vector<QString>& files)
{
    std::vector<Stamp> stamps(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        struct stat status;
        if (::stat(files[i].toLocal8Bit().constData(), &status) == 0) {
            stamps[i].exists = true;
            stamps[i].size = status.st_size;
            stamps[i].modified = static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
            stamps[i].inode = status.st_ino;
        }
    }
    return stamps;
}
