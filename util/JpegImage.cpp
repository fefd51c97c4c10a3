#include "util/JpegImage.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace tovra {

namespace {

// Pictures beyond this are refused before any pixel memory is taken: a forged header cannot make
// us allocate gigabytes.
constexpr unsigned long long MaxPixels = 1ull << 24;

// libjpeg's default error handler exits the process; ours jumps back to decodeInto instead.
struct ErrorManager {
    jpeg_error_mgr pub; // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
};

[[noreturn]] void failDecoding(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Level -1 is a warning about corrupt or missing data, after which libjpeg would go on and fill
// the picture with grey: a damaged logo is refused instead. Trace messages are dropped.
void onMessage(j_common_ptr info, int level)
{
    if (level < 0)
        failDecoding(info);
}

void dropMessage(j_common_ptr) {}

// Everything between setjmp and the last libjpeg call lives here, in a frame that owns no object
// with a destructor, so a jump back out of libjpeg skips nothing.
bool decodeInto(jpeg_decompress_struct& info, ErrorManager& errors,
                std::span<const unsigned char> data, RgbImage& image)
{
    if (setjmp(errors.jump) != 0)
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    const unsigned long long pixels =
        static_cast<unsigned long long>(info.image_width) * info.image_height;
    if (pixels == 0 || pixels > MaxPixels)
        return false;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3)
        return false;
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    image.rgb.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.rgb.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

std::optional<RgbImage> DecodeJpeg(std::span<const unsigned char> data)
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = failDecoding;
    errors.pub.emit_message = onMessage;
    errors.pub.output_message = dropMessage;

    // Released on every way out, a failure part-way through or a failed allocation included.
    struct Release {
        jpeg_decompress_struct& info;
        ~Release() { jpeg_destroy_decompress(&info); }
    } release{info};

    RgbImage image;
    if (!decodeInto(info, errors, data, image))
        return std::nullopt;
    return image;
}

} // namespace tovra
