#pragma once

#include <QString>

#include <sys/types.h>
#include <vector>

// Notices saved changes to a few files by polling their status: cheap for a
// handful of files, and an editor that saves by renaming a new file over the
// old one is seen like any other save, since the path is looked up each time.
class FileWatch
{
public:
    // Seconds between looks at the files.
    static constexpr double PollInterval = 0.05;

    // Replaces the files watched; what they are now counts as seen.
    void Watch(const std::vector<QString>& files);
    const std::vector<QString>& Files() const { return mFiles; }
    // Called every frame with a steady clock in seconds: true once after a
    // change, when the files have stayed the same over one more look, so a
    // save written in pieces is taken whole.
    bool Poll(double now);

private:
    struct Stamp
    {
        bool exists = false;
        off_t size = 0;
        long long modified = 0;
        ino_t inode = 0;
        bool operator==(const Stamp& other) const
        {
            return exists == other.exists && size == other.size && modified == other.modified &&
                   inode == other.inode;
        }
        bool operator!=(const Stamp& other) const { return !(*this == other); }
    };
    static std::vector<Stamp> Look(const std::vector<QString>& files);

    std::vector<QString> mFiles;
    std::vector<Stamp> mSeen;
    std::vector<Stamp> mLast;
    bool mChanging = false;
    double mLookedAt = -1.0;
};
