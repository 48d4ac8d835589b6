#pragma once

#include "Halvorn/BufferSettings.h"
#include "Halvorn/Diagnostic.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class FontFace;
class XmlElement;

// Reads a settings file and everything it names (pictures, shaders, the
// soundtrack) and returns every problem at once, in file order: errors for
// what would stop the demo, warnings for what plays but is likely a mistake.
// It needs no window, no GL context and no sound device of the caller's, and
// leaves nothing changed behind it (the XML reader's settings are put back,
// a sound device it opens is closed), so a player can run it before every
// reload and keep the last good timeline when it finds errors.
//
// Pictures and the soundtrack are decoded once for as long as their size and
// modification time stay the same, so a check before a reload costs little.
//
// Relative paths resolve against the settings file's folder: pictures under
// data/textures/, shaders under data/shaders/, the soundtrack as written.
//
// A part "never shows" when it has zero length, or when one ClearScreen part
// of a higher priority value (drawn after it) runs for the whole of its time
// and so clears whatever it drew. Overlaps by several parts are not combined.
class SettingsCheck
{
public:
    // What only a GL context can tell; the player fills it in when it has one.
    struct GlFacts
    {
        // GL_MAX_TEXTURE_SIZE; 0 when unknown (sizes are then not compared).
        int maxTextureSize = 0;
        // Compiles and links the pair and returns what went wrong, each with
        // the shader file and the driver's line; empty when the pair is fine.
        std::function<std::vector<Diagnostic>(const QString& vertexFile, const QString& fragmentFile)> checkShaders;
        // Builds a lib.Shader file as its part would and returns every
        // problem at the file's own lines (named as file); empty when it builds.
        std::function<std::vector<Diagnostic>(const QString& path, const std::string& file)> checkShaderPart;
    };
    // Checks one child element of a part, other than param and scene, and
    // reports through the check.
    using ChildCheck = std::function<void(SettingsCheck& check, const XmlElement& part, const XmlElement& child)>;

    SettingsCheck() = default;

    // Without a shader callback the shader programs are not compiled, and one
    // note says so at the first part that needs them.
    void SetGlFacts(const GlFacts& facts) { mGlFacts = facts; }
    // Off for a player that plays no sound: the soundtrack's file is then
    // neither opened nor measured against the parts.
    void SetSoundtrackChecked(bool checked) { mSoundtrackChecked = checked; }
    // By element name, letter case ignored; a later check for a name replaces
    // an earlier one.
    void AddChildCheck(const std::string& elementName, ChildCheck check);

    std::vector<Diagnostic> Run(const QString& settingsFile);

    // A problem at an element, or at one of its attributes (at the element
    // when it has no attribute of that name).
    void Report(Diagnostic::Severity severity, const XmlElement& element, const std::string& message);
    void Report(Diagnostic::Severity severity, const XmlElement& element, const char* attribute,
                const std::string& message);
    // A path from the settings file, as the player will open it.
    QString Resolve(const QString& path) const;

    static const char* const DocumentElement;
    // The element that stands where <Halvorn-demo-settings> should, in a tree
    // read without asking for it: declarations are looked into. Empty when
    // the file holds no element at all (only a declaration or comments).
    static XmlElement DocumentElementOf(const XmlElement& top);
    static const char* const NoDocumentElement;
    // What a folder named as the settings file is reported as: a folder with
    // a morvelin.xml is read as that file before it comes here.
    static const char* const FolderText;

private:
    struct Entry
    {
        Diagnostic diagnostic;
        // Where it sorts in the settings file: shader reports sort at the part
        // that needs the shaders.
        int line;
        int column;
    };
    // What says a file is still the one checked before.
    struct FileStamp
    {
        bool isFile = false;
        qint64 size = 0;
        qint64 modified = 0;
        bool operator==(const FileStamp& other) const
        {
            return isFile == other.isFile && size == other.size && modified == other.modified;
        }
    };
    struct Picture
    {
        bool decoded = false;
        FileStamp stamp;
        bool exists = false;
        std::string decodeError;
        // Too large to decode whole, from its header.
        bool tooLarge = false;
        // Only the header was read: larger than GL takes, it is never decoded.
        bool headerOnly = false;
        int bytesPerPixel = 0;
        int bitsPerPixel = 0;
        int width = 0;
        int height = 0;
    };
    struct TimedPart;

    void Add(Diagnostic::Severity severity, int line, int column, const std::string& message);
    void CheckDocument(const XmlElement& root);
    void CheckBuffers(const XmlElement& root);
    // A part's target, which it returns (empty for none), and a buffer a
    // parameter reads ("@NAME").
    std::string CheckTarget(const XmlElement& part);
    void CheckBufferRead(const XmlElement& part, const XmlElement& param, const char* attribute, const QString& name);
    void CheckSoundtrack(const XmlElement& root);
    void CheckTempo(const XmlElement& root);
    void CheckPriority(const XmlElement& part, const char* text);
    void CheckPart(const XmlElement& part, std::vector<TimedPart>& timed);
    bool ReadTime(const XmlElement& part, const char* attribute, float& seconds);
    void CheckParams(const XmlElement& part, const std::string& className, QString& image, XmlElement& imageParam);
    bool CheckColor(const XmlElement& element, const char* attribute, const char* value,
                    Diagnostic::Severity severity = Diagnostic::Severity::Error);
    void CheckPicture(const XmlElement& element, const char* attribute, const QString& relativePath);
    void CheckShaders(const XmlElement& part);
    void CheckText(const XmlElement& part);
    void CheckShaderPart(const XmlElement& part);
    // "shader checks skipped: no GL context", once a run.
    void NoteNoGlContext(const XmlElement& part);
    void CheckTimeline(const std::vector<TimedPart>& timed);
    const Picture& DecodePicture(const QString& path);
    // The font file as the text part opens it (the built-in font for an empty
    // path), or null with the reason in error.
    std::shared_ptr<FontFace> OpenFont(const QString& path, std::string& error);
    // The music's length in seconds, or a negative value with the reason in error.
    double ProbeMusic(const QString& path, std::string& error) const;

    GlFacts mGlFacts;
    bool mSoundtrackChecked = true;
    std::vector<std::pair<std::string, ChildCheck>> mChildChecks;

    // The state of one run.
    std::string mFile;
    QString mFolder;
    std::vector<Entry> mEntries;
    bool mShadersChecked = false;
    bool mNotedNoGlContext = false;
    // The lib.Shader files built this run, each built once.
    std::vector<QString> mShaderPartFiles;
    std::vector<BufferSettings> mBuffers;
    // Per buffer, whether a part draws into it.
    std::vector<bool> mBuffersDrawn;
    double mMusicLength = -1.0;

    // Kept from run to run while the files stay the same.
    std::map<QString, Picture> mPictures;
    struct Font
    {
        FileStamp stamp;
        std::shared_ptr<FontFace> face;
        std::string error;
    };
    std::map<QString, Font> mFonts;
    QString mMusicPath;
    FileStamp mMusicStamp;
    double mMusicProbedLength = -1.0;
    std::string mMusicError;
};
