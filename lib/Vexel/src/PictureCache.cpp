#include "PictureCache.h"

#include <SDL.h>
#include <SDL_image.h>

#include <QDateTime>
#include <QFileInfo>

#include <boost/asio/post.hpp>
#include <boost/asio/thread_pool.hpp>

#include <algorithm>
#include <future>
#include <map>
#include <thread>
#include <tuple>
#include <utility>

namespace {

// An edited file is a new entry: a reloaded part sees the new picture.
QString FileKey(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.absoluteFilePath() + QLatin1Char('|') + QString::number(info.lastModified().toMSecsSinceEpoch()) +
           QLatin1Char('|') + QString::number(info.size());
}

using Key = std::tuple<void*, QString, int, int>;

std::map<Key, std::weak_ptr<Texture>>& Entries()
{
    static std::map<Key, std::weak_ptr<Texture>> entries;
    return entries;
}

void DropExpired()
{
    auto& entries = Entries();
    for (auto it = entries.begin(); it != entries.end();) {
        it = it->second.expired() ? entries.erase(it) : std::next(it);
    }
}

struct Prefetched
{
    std::unique_ptr<boost::asio::thread_pool> mPool;
    std::map<QString, std::shared_future<Texture::Decoded>> mPictures;
};

Prefetched& Pending()
{
    static Prefetched pending;
    return pending;
}

} // namespace

void PictureCache::Prefetch(const std::vector<QString>& fileNames)
{
    Prefetched& pending = Pending();
    if (!pending.mPool) {
        // The decoders are loaded on first use, which is not safe to race.
        IMG_Init(IMG_INIT_JPG | IMG_INIT_PNG);
        const unsigned threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
        pending.mPool = std::make_unique<boost::asio::thread_pool>(threads);
    }
    for (const QString& fileName : fileNames) {
        const QString key = FileKey(fileName);
        if (pending.mPictures.count(key) != 0) {
            continue;
        }
        auto task = std::make_shared<std::packaged_task<Texture::Decoded()>>(
            [fileName] { return Texture::Decode(fileName); });
        pending.mPictures.emplace(key, task->get_future().share());
        boost::asio::post(*pending.mPool, [task] { (*task)(); });
    }
}

void PictureCache::DropPrefetched()
{
    Prefetched& pending = Pending();
    if (pending.mPool) {
        pending.mPool->join();
        pending.mPool.reset();
    }
    pending.mPictures.clear();
}

std::shared_ptr<const Texture> PictureCache::Acquire(const QString& fileName, int wrapS, int wrapT)
{
    DropExpired();
    const QString fileKey = FileKey(fileName);
    const Key key(SDL_GL_GetCurrentContext(), fileKey, wrapS, wrapT);
    if (std::shared_ptr<Texture> shared = Entries()[key].lock()) {
        return shared;
    }
    Entries().erase(key);

    Texture::Decoded picture;
    auto& prefetched = Pending().mPictures;
    const auto found = prefetched.find(fileKey);
    if (found != prefetched.end()) {
        picture = found->second.get();
        // Uploaded once, the decoded copy is not needed again.
        prefetched.erase(found);
    } else {
        picture = Texture::Decode(fileName);
    }

    auto texture = std::make_shared<Texture>();
    texture->Upload(fileName, picture, false, false, wrapS, wrapT);
    Entries()[key] = texture;
    return texture;
}

std::size_t PictureCache::Count()
{
    DropExpired();
    return Entries().size();
}
