#include "PictureRowReader.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <utility>

// The decoders report errors by long jumps out of their calls, so the code
// between each setjmp and the library calls holds nothing with a destructor.
class PictureRowReader::Decoder
{
public:
    virtual ~Decoder() = default;
    virtual bool ReadRows(unsigned char* rows, unsigned count, std::size_t rowBytes) = 0;
};

namespace {

class PngDecoder : public PictureRowReader::Decoder
{
public:
    ~PngDecoder() override { png_destroy_read_struct(&mPng, &mInfo, nullptr); }

    // After the signature, already read from file.
    bool Open(std::FILE* file, unsigned& width, unsigned& height, unsigned& bytesPerPixel)
    {
        mPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &PngDecoder::Error, &PngDecoder::Warning);
        if (mPng == nullptr) {
            return false;
        }
        mInfo = png_create_info_struct(mPng);
        if (mInfo == nullptr) {
            return false;
        }
        if (setjmp(png_jmpbuf(mPng))) {
            return false;
        }
        png_init_io(mPng, file);
        png_set_sig_bytes(mPng, 8);
        // The header's size is taken as it is: refusing a big picture is
        // for the caller, before it decodes anything.
        png_set_user_limits(mPng, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
        png_read_info(mPng, mInfo);
        const int colorType = png_get_color_type(mPng, mInfo);
        width = png_get_image_width(mPng, mInfo);
        height = png_get_image_height(mPng, mInfo);
        const bool rgb = png_get_bit_depth(mPng, mInfo) == 8 && png_get_valid(mPng, mInfo, PNG_INFO_tRNS) == 0;
        bytesPerPixel = rgb && colorType == PNG_COLOR_TYPE_RGB ? 3 : 4;
        return rgb && png_get_interlace_type(mPng, mInfo) == PNG_INTERLACE_NONE &&
               (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA);
    }

    bool ReadRows(unsigned char* rows, unsigned count, std::size_t rowBytes) override
    {
        if (setjmp(png_jmpbuf(mPng))) {
            return false;
        }
        for (unsigned row = 0; row < count; ++row) {
            png_read_row(mPng, rows + row * rowBytes, nullptr);
        }
        return true;
    }

private:
    [[noreturn]] static void Error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
    // The whole-picture decoder prints no warnings either.
    static void Warning(png_structp, png_const_charp) {}

    png_structp mPng = nullptr;
    png_infop mInfo = nullptr;
};

class JpegDecoder : public PictureRowReader::Decoder
{
public:
    ~JpegDecoder() override
    {
        if (mCreated) {
            jpeg_destroy_decompress(&mInfo);
        }
    }

    bool Open(std::FILE* file, unsigned& width, unsigned& height, unsigned& bytesPerPixel)
    {
        mInfo.err = jpeg_std_error(&mError.mManager);
        mError.mManager.error_exit = &JpegDecoder::Error;
        mError.mManager.output_message = &JpegDecoder::Message;
        if (setjmp(mError.mJump)) {
            return false;
        }
        jpeg_create_decompress(&mInfo);
        mCreated = true;
        jpeg_stdio_src(&mInfo, file);
        jpeg_read_header(&mInfo, TRUE);
        width = mInfo.image_width;
        height = mInfo.image_height;
        bytesPerPixel = mInfo.num_components == 3 ? 3 : 4;
        // Progressive and multi-scan files keep every coefficient of the
        // picture until the last scan: no saving in reading them by rows.
        if (mInfo.num_components != 3 || jpeg_has_multiple_scans(&mInfo) ||
            (mInfo.jpeg_color_space != JCS_YCbCr && mInfo.jpeg_color_space != JCS_RGB)) {
            return false;
        }
        mInfo.out_color_space = JCS_RGB;
        return true;
    }

    bool ReadRows(unsigned char* rows, unsigned count, std::size_t rowBytes) override
    {
        if (setjmp(mError.mJump)) {
            return false;
        }
        if (!mStarted) {
            jpeg_start_decompress(&mInfo);
            mStarted = true;
            if (mInfo.output_components != 3) {
                return false;
            }
        }
        for (unsigned row = 0; row < count;) {
            JSAMPROW target = rows + row * rowBytes;
            const JDIMENSION read = jpeg_read_scanlines(&mInfo, &target, 1);
            if (read == 0) {
                return false;
            }
            row += read;
        }
        return true;
    }

private:
    struct ErrorManager
    {
        jpeg_error_mgr mManager;
        std::jmp_buf mJump;
    };

    // libjpeg's own handler ends the process.
    [[noreturn]] static void Error(j_common_ptr info)
    {
        std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->mJump, 1);
    }
    // Warnings (a short file is filled up with grey) stay quiet, as in the
    // whole-picture decoder.
    static void Message(j_common_ptr) {}

    jpeg_decompress_struct mInfo{};
    ErrorManager mError{};
    bool mCreated = false;
    bool mStarted = false;
};

} // namespace

PictureRowReader::PictureRowReader(const QString& fileName)
{
    mFile = std::fopen(fileName.toLocal8Bit().constData(), "rb");
    if (mFile == nullptr) {
        return;
    }
    unsigned char signature[8] = {};
    const std::size_t got = std::fread(signature, 1, sizeof signature, mFile);
    unsigned width = 0;
    unsigned height = 0;
    unsigned bytesPerPixel = 0;
    if (got == sizeof signature && png_sig_cmp(signature, 0, sizeof signature) == 0) {
        auto png = std::make_unique<PngDecoder>();
        if (png->Open(mFile, width, height, bytesPerPixel)) {
            mDecoder = std::move(png);
        }
    } else if (got >= 3 && signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF) {
        std::rewind(mFile);
        auto jpeg = std::make_unique<JpegDecoder>();
        if (jpeg->Open(mFile, width, height, bytesPerPixel)) {
            mDecoder = std::move(jpeg);
        }
    }
    mHeaderWidth = width;
    mHeaderHeight = height;
    mDecodedBytesPerPixel = bytesPerPixel;
    if (!mDecoder || width == 0 || height == 0) {
        Close();
        return;
    }
    mWidth = width;
    mHeight = height;
    mBytesPerPixel = bytesPerPixel;
}

PictureRowReader::~PictureRowReader()
{
    Close();
}

bool PictureRowReader::ReadRows(unsigned char* rows, unsigned count)
{
    if (!mDecoder || count > mHeight - mRowsRead) {
        return false;
    }
    if (!mDecoder->ReadRows(rows, count, static_cast<std::size_t>(mWidth) * mBytesPerPixel)) {
        Close();
        return false;
    }
    mRowsRead += count;
    return true;
}

void PictureRowReader::Close()
{
    mDecoder.reset();
    if (mFile != nullptr) {
        std::fclose(mFile);
        mFile = nullptr;
    }
    mWidth = 0;
    mHeight = 0;
    mBytesPerPixel = 0;
}
