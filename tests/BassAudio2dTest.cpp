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
#include <unistd.h>

using VexelTest::Capture;

namespace {

// A silent PCM WAV file of the given length.
void WriteWav(const std::string& path, int rate, int channels, int bits, double seconds)
{
    const std::uint32_t frames = static_cast<std::uint32_t>(std::lround(seconds * rate));
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels * bits / 8);
    const std::uint32_t dataBytes = frames * blockAlign;
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF)); };
    auto u16 = [&](std::uint32_t v) { for (int i = 0; i < 2; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF)); };
    out << "RIFF";
    u32(36 + dataBytes);
    out << "WAVEfmt ";
    u32(16);
    u16(1);
    u16(static_cast<std::uint32_t>(channels));
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate) * blockAlign);
    u16(blockAlign);
    u16(static_cast<std::uint32_t>(bits));
    out << "data";
    u32(dataBytes);
    const std::string silence(dataBytes, bits == 8 ? '\x80' : '\0');
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

const std::string NotImplemented =
    "FATAL ERROR: Assertion (\"Not implemented / executed invalid code block\" && true==false) failed!";
const std::string InitMessage = "BassAudio2d::Init() - can't initialize device\n";

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
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
    }

    BassAudio2d& Open(bool noSound = false, int frequency = 44100, bool stereo = true)
    {
        mAudio = std::make_unique<BassAudio2d>();
        mAudio->Init(noSound, 8, frequency, stereo, 4096);
        return *mAudio;
    }

    QString Wav(const std::string& name, int rate, int channels, int bits, double seconds)
    {
        WriteWav(mDir + "/" + name, rate, channels, bits, seconds);
        return QString::fromStdString(mDir + "/" + name);
    }

    std::unique_ptr<BassAudio2d> mAudio;
    std::string mDir;
};

TEST_F(BassAudio2dTest, LengthLineGivesSecondsAndDecodedBytesOfTheOutput)
{
    struct Case { int deviceRate; bool stereo; int rate; int channels; int bits; double seconds; std::string length; };
    const Case cases[] = {
        {44100, true, 44100, 2, 16, 2.5, "Music length 2.5s (441000 bytes)"},
        // Resampled and widened to the device's 44.1 kHz 16-bit stereo.
        {44100, true, 22050, 1, 16, 1.0, "Music length 1s (176400 bytes)"},
        {44100, true, 8000, 1, 8, 180.0, "Music length 180s (31752000 bytes)"},
        {44100, false, 44100, 2, 16, 2.5, "Music length 2.5s (220500 bytes)"},
        {22050, true, 48000, 2, 16, 0.5, "Music length 0.5s (44100 bytes)"},
    };
    for (const Case& c : cases) {
        Open(false, c.deviceRate, c.stereo);
        const QString file = Wav("music.wav", c.rate, c.channels, c.bits, c.seconds);
        const auto captured = Capture([&] { mAudio->LoadMusic("main", file); });
        ASSERT_FALSE(captured.Threw()) << captured.err;
        EXPECT_EQ(captured.OutLines(), (std::vector<std::string>{
            "BassAudio2d::LoadMusic() - loading music from \"" + file.toStdString() + "\"", c.length}));
        EXPECT_TRUE(captured.err.empty());
        mAudio.reset();
    }
}

TEST_F(BassAudio2dTest, FileNameIsOpenedInTheLocalEncodingAndLoggedAsUtf8)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    WriteWav(mDir + "/m\xFAsica.wav", 44100, 2, 16, 0.25);
    Open();
    const QString file = QString::fromStdString(mDir) + QString::fromUtf8("/m\xC3\xBAsica.wav");
    const auto captured = Capture([&] { mAudio->LoadMusic("main", file); });
    QTextCodec::setCodecForLocale(nullptr);
    ASSERT_FALSE(captured.Threw()) << captured.What();
    EXPECT_EQ(captured.OutLines().at(0), "BassAudio2d::LoadMusic() - loading music from \"" + mDir + "/m\xC3\xBAsica.wav\"");
}

TEST_F(BassAudio2dTest, UnloadableMusicThrowsWithoutErrorOutput)
{
    std::ofstream(mDir + "/noise.ogg") << "this is no audio data at all";
    Open();
    const std::string names[] = {mDir + "/missing.wav", mDir + "/noise.ogg"};
    for (const std::string& name : names) {
        const auto captured = Capture([&] { mAudio->LoadMusic("main", QString::fromStdString(name)); });
        ASSERT_TRUE(captured.Threw()) << name;
        EXPECT_EQ(captured.What(), "BassAudio2d::LoadMusic(): Music \"" + name + "\" could not be loaded.");
        EXPECT_EQ(captured.OutLines(),
                  std::vector<std::string>{"BassAudio2d::LoadMusic() - loading music from \"" + name + "\""});
        EXPECT_TRUE(captured.err.empty());
    }
    // A failed load leaves the name free.
    const QString good = Wav("good.wav", 44100, 2, 16, 0.25);
    EXPECT_FALSE(Capture([&] { mAudio->LoadMusic("main", good); }).Threw());

    // Before Init there is no device to load for.
    mAudio.reset();
    mAudio = std::make_unique<BassAudio2d>();
    EXPECT_EQ(Capture([&] { mAudio->LoadMusic("main", good); }).What(),
              "BassAudio2d::LoadMusic(): Music \"" + good.toStdString() + "\" could not be loaded.");
}

TEST_F(BassAudio2dTest, NamesAreUniqueAndLookedUpExactly)
{
    Open();
    const QString file = Wav("music.wav", 44100, 2, 16, 5.0);
    ASSERT_FALSE(Capture([&] { mAudio->LoadMusic("main", file); }).Threw());

    const auto twice = Capture([&] { mAudio->LoadMusic("main", file); });
    ASSERT_TRUE(twice.Threw());
    EXPECT_EQ(twice.OutLines().size(), 2u);
    EXPECT_EQ(twice.ErrLines().at(0), "FATAL ERROR: Assertion (returnValue.second == true) failed!");
    EXPECT_EQ(twice.ErrLines().at(2), "  in \"lib/Vexel/src/Audio/BassAudio2d.cpp\"");

    const auto wrongCase = Capture([&] { mAudio->PlayMusic("Main", 0); });
    ASSERT_TRUE(wrongCase.Threw());
    EXPECT_EQ(wrongCase.ErrLines().at(0), "FATAL ERROR: Assertion (it != mMusic.end()) failed!");
    EXPECT_EQ(Mix_PlayingMusic(), 0);

    const auto play = Capture([&] { mAudio->PlayMusic("main", 0); });
    EXPECT_FALSE(play.Threw());
    EXPECT_TRUE(play.out.empty() && play.err.empty());
    EXPECT_EQ(Mix_PlayingMusic(), 1);

    // Playing again goes on from where it is, without a restart.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    mAudio->PlayMusic("main", 0);
    EXPECT_GT(Mix_GetMusicPosition(nullptr), 0.2);
}

TEST_F(BassAudio2dTest, StubsFailWithSoundOnAndStaySilentWithSoundOff)
{
    struct Stub { const char* name; std::function<void(BassAudio2d&)> call; };
    const Stub stubs[] = {
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

    Open(false);
    for (const Stub& stub : stubs) {
        const auto captured = Capture([&] { stub.call(*mAudio); });
        ASSERT_TRUE(captured.Threw()) << stub.name;
        const auto lines = captured.ErrLines();
        ASSERT_EQ(lines.size(), 4u) << stub.name;
        EXPECT_EQ(lines[0], NotImplemented);
        EXPECT_NE(lines[1].find(std::string("BassAudio2d::") + stub.name + "("), std::string::npos) << lines[1];
        EXPECT_EQ(lines[2], "  in \"lib/Vexel/src/Audio/BassAudio2d.cpp\"");
    }
    mAudio.reset();

    Open(true);
    for (const Stub& stub : stubs) {
        const auto captured = Capture([&] { stub.call(*mAudio); });
        EXPECT_FALSE(captured.Threw()) << stub.name;
        EXPECT_TRUE(captured.out.empty() && captured.err.empty()) << stub.name;
    }
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
    });
    EXPECT_FALSE(calls.Threw());
    EXPECT_TRUE(calls.out.empty() && calls.err.empty());
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
    struct Case { const char* driver; const char* diskFile; int code; std::string reasonPart; };
    const Case cases[] = {
        {"no-such-driver", nullptr, 1, "no-such-driver"},
        {"disk", "/nonexistent-vexel-dir/out.raw", 2, "/nonexistent-vexel-dir/out.raw"},
    };
    for (const Case& c : cases) {
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        if (c.diskFile != nullptr) {
            setenv("SDL_DISKAUDIOFILE", c.diskFile, 1);
        }
        const auto captured = Capture([&] { Open(false); });
        ASSERT_TRUE(captured.Threw()) << c.driver;
        const std::string head = "BASS error(" + std::to_string(c.code) + "): " + InitMessage + "  SDL error: ";
        EXPECT_EQ(captured.What().substr(0, head.size()), head);
        EXPECT_NE(captured.What().find(c.reasonPart, head.size()), std::string::npos) << captured.What();
        EXPECT_EQ(captured.err, captured.What() + "\n");
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "a failed Init leaves the audio subsystem as it found it";
        mAudio.reset();
    }

    // A device is opened once per object.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Open(false);
    const auto again = Capture([&] { mAudio->Init(false, 8, 44100, true, 4096); });
    ASSERT_TRUE(again.Threw());
    EXPECT_EQ(again.What().substr(0, 15 + InitMessage.size()), "BASS error(3): " + InitMessage);
}

TEST_F(BassAudio2dTest, DestructionClosesTheDeviceAndFreesTheClaim)
{
    Open();
    const QString file = Wav("music.wav", 44100, 2, 16, 1.0);
    Capture([&] { mAudio->LoadMusic("main", file); });
    mAudio->PlayMusic("main", 0);
    EXPECT_FALSE(SingletonManager::IsRegistered(mAudio.get()));
    const auto destroyed = Capture([&] { mAudio.reset(); });
    EXPECT_FALSE(destroyed.Threw());
    EXPECT_TRUE(destroyed.out.empty() && destroyed.err.empty());
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    // A new audio object may follow, on a fresh device.
    EXPECT_FALSE(Capture([&] { Open(false, 22050, false); }).Threw());
    int frequency = 0;
    int channels = 0;
    EXPECT_EQ(Mix_QuerySpec(&frequency, nullptr, &channels), 1);
    EXPECT_EQ(frequency, 22050);
    EXPECT_EQ(channels, 1);
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
