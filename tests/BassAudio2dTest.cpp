#include "Audio/BassAudio2d.h"
#include "OutputCapture.h"
#include "SingletonManager.h"

#include <QTextCodec>
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using VexelTest::Capture;
using Lines = std::vector<std::string>;

namespace {

std::string LittleEndian(std::uint32_t value, int bytes)
{
    std::string text;
    for (int i = 0; i < bytes; ++i) {
        text += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return text;
}

// A silent PCM WAV file of the given length.
void WriteWav(const std::string& path, std::uint32_t rate, std::uint32_t channels, std::uint32_t bits, double seconds)
{
    const std::uint32_t align = channels * bits / 8;
    const std::uint32_t bytes = static_cast<std::uint32_t>(std::lround(seconds * rate)) * align;
    std::ofstream(path, std::ios::binary)
        << "RIFF" << LittleEndian(36 + bytes, 4) << "WAVEfmt " << LittleEndian(16, 4) << LittleEndian(1, 2)
        << LittleEndian(channels, 2) << LittleEndian(rate, 4) << LittleEndian(rate * align, 4)
        << LittleEndian(align, 2) << LittleEndian(bits, 2) << "data" << LittleEndian(bytes, 4)
        << std::string(bytes, bits == 8 ? '\x80' : '\0');
}

std::string LoadingLine(const std::string& file)
{
    return "BassAudio2d::LoadMusic() - loading music from \"" + file + "\"";
}

const std::string NotImplemented =
    "FATAL ERROR: Assertion (\"Not implemented / executed invalid code block\" && true==false) failed!";

// The operations that are not implemented, with the values they return.
const struct { const char* name; std::function<void(BassAudio2d&)> call; } Stubs[] = {
    {"DeleteMusic", [](BassAudio2d& a) { a.DeleteMusic("main"); }},
    {"FadeInMusic", [](BassAudio2d& a) { a.FadeInMusic("main", 0, 1.0f); }},
    {"ChangeMusicFadeOutIn", [](BassAudio2d& a) { a.ChangeMusicFadeOutIn("main", 0, 1.0f); }},
    {"StopMusic", [](BassAudio2d& a) { a.StopMusic(); }},
    {"FadeOutMusic", [](BassAudio2d& a) { a.FadeOutMusic(1.0f); }},
    {"SetMusicVolume", [](BassAudio2d& a) { EXPECT_EQ(a.SetMusicVolume(64), 0); }},
    {"LoadSfx", [](BassAudio2d& a) { a.LoadSfx("boom", "boom.wav"); }},
    {"DeleteSfx", [](BassAudio2d& a) { a.DeleteSfx("boom"); }},
    {"PlaySfx", [](BassAudio2d& a) { EXPECT_EQ(a.PlaySfx("boom", 1, 0), -1); }},
    {"SetChannelVolume", [](BassAudio2d& a) { EXPECT_EQ(a.SetChannelVolume(1, 64), 0); }},
    {"HaltChannel", [](BassAudio2d& a) { a.HaltChannel(1); }},
};

} // namespace

class BassAudio2dTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        char pattern[] = "/tmp/vexel-audio-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override
    {
        mAudio.reset();
        std::system(("rm -rf '" + mDir + "'").c_str());
    }

    void Open(bool noSound = false, int frequency = 44100, bool stereo = true)
    {
        mAudio = std::make_unique<BassAudio2d>();
        mAudio->Init(noSound, 8, frequency, stereo, 4096);
    }
    // The file name is given in UTF-8 and made in the local encoding.
    QString Wav(const char* name, std::uint32_t rate, std::uint32_t channels, std::uint32_t bits, double seconds)
    {
        const QString file = QString::fromStdString(mDir + "/") + QString::fromUtf8(name);
        WriteWav(file.toLocal8Bit().toStdString(), rate, channels, bits, seconds);
        return file;
    }

    std::unique_ptr<BassAudio2d> mAudio;
    std::string mDir;
};

TEST_F(BassAudio2dTest, LengthLineGivesSecondsAndDecodedBytesOfTheOutput)
{
    struct Case { int deviceRate; bool stereo; const char* name; std::uint32_t rate, channels, bits; double seconds;
                  std::string length; };
    const Case cases[] = {
        // Resampled and widened to the device's 44.1 kHz 16-bit stereo.
        {44100, true, "a.wav", 8000, 1, 8, 180.0, "Music length 180s (31752000 bytes)"},
        {44100, false, "b.wav", 44100, 2, 16, 2.5, "Music length 2.5s (220500 bytes)"},
        // Opened in the local encoding, logged as UTF-8.
        {22050, true, "m\xC3\xBAsica.wav", 48000, 2, 16, 0.5, "Music length 0.5s (44100 bytes)"},
    };
    // Latin-1 as the local encoding, so that it differs from UTF-8.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    for (const auto& c : cases) {
        // Each object opens a device of its own format.
        Open(false, c.deviceRate, c.stereo);
        const QString file = Wav(c.name, c.rate, c.channels, c.bits, c.seconds);
        const auto captured = Capture([&] { mAudio->LoadMusic("main", file); });
        EXPECT_EQ(captured.OutLines(), (Lines{LoadingLine(mDir + "/" + c.name), c.length})) << captured.What();
        EXPECT_TRUE(captured.err.empty());
        mAudio.reset();
    }
    QTextCodec::setCodecForLocale(nullptr);
}

TEST_F(BassAudio2dTest, UnloadableMusicThrowsWithoutErrorOutput)
{
    std::ofstream(mDir + "/noise.ogg") << "this is no audio data at all";
    Open();
    const std::pair<std::string, std::string> failures[] = {
        {mDir + "/missing.wav", "Couldn't open '" + mDir + "/missing.wav'"},
        {mDir + "/noise.ogg", "Not an Ogg Vorbis audio stream"},
    };
    for (const auto& [name, reason] : failures) {
        const auto captured = Capture([&] { mAudio->LoadMusic("main", QString::fromStdString(name)); });
        EXPECT_EQ(captured.What(),
                  "BassAudio2d::LoadMusic(): Music \"" + name + "\" could not be loaded.\n  SDL_mixer: " + reason);
        EXPECT_EQ(captured.OutLines(), Lines{LoadingLine(name)});
        EXPECT_TRUE(captured.err.empty());
    }
    // A failed load leaves the name free.
    const QString good = Wav("good.wav", 44100, 2, 16, 0.25);
    EXPECT_FALSE(Capture([&] { mAudio->LoadMusic("main", good); }).Threw());

    // Before Init there is no device to load for.
    mAudio.reset();
    mAudio = std::make_unique<BassAudio2d>();
    EXPECT_EQ(Capture([&] { mAudio->LoadMusic("main", good); }).What(),
              "BassAudio2d::LoadMusic(): Music \"" + good.toStdString() +
                  "\" could not be loaded.\n  SDL_mixer: no audio device is open");
}

TEST_F(BassAudio2dTest, SoundOnNamesAreUniqueStubsFailAndDestructionClosesTheDevice)
{
    Open();
    const QString file = Wav("music.wav", 44100, 2, 16, 5.0);
    ASSERT_FALSE(Capture([&] { mAudio->LoadMusic("main", file); }).Threw());

    const auto twice = Capture([&] { mAudio->LoadMusic("main", file); });
    ASSERT_TRUE(twice.Threw());
    EXPECT_EQ(twice.ErrLines().at(0), "FATAL ERROR: Assertion (returnValue.second == true) failed!");
    EXPECT_EQ(twice.ErrLines().at(2), "  in \"lib/Vexel/src/Audio/BassAudio2d.cpp\"");

    const auto wrongCase = Capture([&] { mAudio->PlayMusic("Main", 0); });
    ASSERT_TRUE(wrongCase.Threw());
    EXPECT_EQ(wrongCase.ErrLines().at(0), "FATAL ERROR: Assertion (it != mMusic.end()) failed!");
    EXPECT_EQ(Mix_PlayingMusic(), 0);

    const auto play = Capture([&] { mAudio->PlayMusic("main", 0); });
    EXPECT_TRUE(play.out.empty() && play.err.empty() && !play.Threw());
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    // Playing again goes on from where it is, without a restart.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    mAudio->PlayMusic("main", 0);
    EXPECT_GT(Mix_GetMusicPosition(nullptr), 0.2);

    for (const auto& stub : Stubs) {
        const auto captured = Capture([&] { stub.call(*mAudio); });
        ASSERT_TRUE(captured.Threw()) << stub.name;
        EXPECT_EQ(captured.ErrLines().at(0), NotImplemented);
        EXPECT_NE(captured.ErrLines().at(1).find(std::string("BassAudio2d::") + stub.name + "("), std::string::npos)
            << captured.err;
    }

    // Made directly, so never registered: it goes quietly and closes the device.
    EXPECT_FALSE(SingletonManager::IsRegistered(mAudio.get()));
    const auto destroyed = Capture([&] { mAudio.reset(); });
    EXPECT_TRUE(destroyed.out.empty() && destroyed.err.empty() && !destroyed.Threw());
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(BassAudio2dTest, SoundOffLoadsAndPlaysNothingButStillOpensASilentDevice)
{
    // No sound card at all: the silent output is used whatever is asked for.
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const auto init = Capture([&] { Open(true); });
    ASSERT_FALSE(init.Threw()) << init.What();
    EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy");

    const auto calls = Capture([&] {
        mAudio->LoadMusic("main", QString::fromStdString(mDir + "/missing.wav"));
        mAudio->PlayMusic("never loaded", 0);
        mAudio->Update();
        for (const auto& stub : Stubs) {
            stub.call(*mAudio);
        }
    });
    EXPECT_TRUE(calls.out.empty() && calls.err.empty() && !calls.Threw());
    EXPECT_EQ(Mix_PlayingMusic(), 0);

    // DeInit is no stub that sound-off silences.
    const auto deinit = Capture([&] { mAudio->DeInit(1.0f); });
    ASSERT_TRUE(deinit.Threw());
    EXPECT_EQ(deinit.ErrLines().at(0), NotImplemented);
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);

    // The silent driver was for that object only; sound on uses the asked one.
    mAudio.reset();
    EXPECT_TRUE(Capture([&] { Open(false); }).Threw());
}

TEST_F(BassAudio2dTest, DeviceFailuresReportTheStepAndSdlsReason)
{
    struct Case { const char* driver; int code; std::string reasonPart; };
    const Case cases[] = {
        {"no-such-driver", 1, "no-such-driver"},
        {"disk", 2, "/nonexistent-vexel-dir/out.raw"},
        // A device is opened once per object.
        {"dummy", 3, "already open"},
    };
    setenv("SDL_DISKAUDIOFILE", "/nonexistent-vexel-dir/out.raw", 1);
    for (const auto& c : cases) {
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        const auto captured = Capture([&] {
            Open(false);
            mAudio->Init(false, 8, 44100, true, 4096);
        });
        const std::string head = "BASS error(" + std::to_string(c.code) +
                                 "): BassAudio2d::Init() - can't initialize device\n  SDL error: ";
        EXPECT_EQ(captured.What().substr(0, head.size()), head);
        EXPECT_NE(captured.What().find(c.reasonPart, head.size()), std::string::npos) << captured.What();
        EXPECT_EQ(captured.err, captured.What() + "\n");
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), c.code == 3 ? SDL_INIT_AUDIO : 0u) << "a failed open leaves it as it was";
        mAudio.reset();
    }
}

using BassAudio2dDeathTest = BassAudio2dTest;

namespace {

// Like the application: made here, the pointer dropped, never deleted.
__attribute__((noinline)) void StartAudioAndForgetIt(const QString& file)
{
    auto* audio = new BassAudio2d();
    audio->Init(false, 8, 44100, true, 4096);
    audio->LoadMusic("main", file);
    audio->PlayMusic("main", 0);
}

} // namespace

TEST_F(BassAudio2dDeathTest, AudioKeptUntilExitIsNoLeak)
{
    // Under the leak checker, the audio object the application keeps until
    // exit must not count as a leak.
    const QString file = Wav("music.wav", 44100, 2, 16, 1.0);
    EXPECT_EXIT(
        {
            StartAudioAndForgetIt(file);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
