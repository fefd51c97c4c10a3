#include "util/JpegImage.h"
#include "core/SplitMix64.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace tovra {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes aboutLogo()
{
    std::ifstream in(TOVRA_ABOUT_LOGO, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(DecodeJpeg, LogoDecodesToFiftyByFiftyOnePixels)
{
    const Bytes logo = aboutLogo();
    ASSERT_FALSE(logo.empty()) << "missing " << TOVRA_ABOUT_LOGO;
    const auto image = DecodeJpeg(logo);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 50);
    EXPECT_EQ(image->height, 51);
    ASSERT_EQ(image->rgb.size(), 50u * 51u * 3u);
    // The mark is orange on white: the top-left corner is white, and some pixel is clearly orange.
    EXPECT_GT(image->rgb[0], 240);
    EXPECT_GT(image->rgb[1], 240);
    EXPECT_GT(image->rgb[2], 240);
    bool orange = false;
    for (std::size_t i = 0; i + 2 < image->rgb.size(); i += 3)
        orange = orange || (image->rgb[i] > 220 && image->rgb[i + 1] > 120 && image->rgb[i + 1] < 190
                            && image->rgb[i + 2] < 80);
    EXPECT_TRUE(orange);
}

TEST(DecodeJpeg, EmptyAndForeignDataGiveNothing)
{
    EXPECT_FALSE(DecodeJpeg({}).has_value());
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13};
    EXPECT_FALSE(DecodeJpeg(png).has_value());
    const Bytes startOnly = {0xff, 0xd8};
    EXPECT_FALSE(DecodeJpeg(startOnly).has_value());
}

// A cut anywhere inside the picture is refused, never completed with grey, and never ends the
// process (libjpeg's own error handler would exit).
TEST(DecodeJpeg, TruncatedLogoGivesNothing)
{
    const Bytes logo = aboutLogo();
    ASSERT_GT(logo.size(), 100u);
    for (std::size_t length = 1; length < logo.size() - 2; length += 7) {
        SCOPED_TRACE("cut after " + std::to_string(length) + " bytes");
        EXPECT_FALSE(DecodeJpeg(std::span(logo.data(), length)).has_value());
    }
}

TEST(DecodeJpeg, ScrambledLogoNeverEndsTheProcess)
{
    const Bytes logo = aboutLogo();
    ASSERT_FALSE(logo.empty());
    tovra::SplitMix64 random(51);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes bytes = logo;
        for (int i = 0; i < 8; ++i)
            bytes[random.Next() % bytes.size()] = static_cast<unsigned char>(random.Next());
        const auto image = DecodeJpeg(bytes);
        if (!image) {
            ++refused;
            continue;
        }
        // Whatever survives is a whole picture, never a partly filled buffer.
        EXPECT_EQ(image->rgb.size(), static_cast<std::size_t>(image->width) * image->height * 3);
    }
    EXPECT_GT(refused, 0);
}

} // namespace
} // namespace tovra
