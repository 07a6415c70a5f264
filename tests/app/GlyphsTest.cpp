#include "app/Glyphs.h"

#include "resources/Artwork.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace velmr;
using namespace Qt::StringLiterals;

namespace {

QImage Argb(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

// The embedded images are what the artwork code draws: run velmr_make_icons --glyphs
// resources/glyphs after changing a drawing.
TEST(Glyphs, EmbeddedImagesAreTheArtworkDrawings)
{
    for (const QString& name : artwork::GlyphNames()) {
        SCOPED_TRACE(name.toStdString());
        for (const auto& [suffix, size] : {std::pair{u""_s, 18}, std::pair{u"@2x"_s, 36}}) {
            const QPixmap drawn = artwork::GlyphPixmap(name, size);
            EXPECT_EQ(Argb(QPixmap(u":/glyphs/"_s + name + suffix + u".png"_s)), Argb(drawn));
            EXPECT_EQ(Argb(QPixmap(u":/glyphs/"_s + name + u"-greyed"_s + suffix + u".png"_s)),
                      Argb(artwork::Greyed(drawn)));
        }
    }
    for (int size : {16, 24, 32, 48, 64, 128})
        EXPECT_EQ(Argb(app::ProgramIconPixmap(size)), Argb(artwork::ProgramIconPixmap(size)))
            << size;
}

TEST(Glyphs, EveryToolButtonHasANormalAndAGreyedImage)
{
    for (const QString& name : artwork::GlyphNames()) {
        SCOPED_TRACE(name.toStdString());
        const QIcon icon = app::ToolGlyph(name);
        ASSERT_FALSE(icon.isNull());
        const QImage normal = icon.pixmap(18, 18, QIcon::Normal).toImage();
        const QImage greyed = icon.pixmap(18, 18, QIcon::Disabled).toImage();
        EXPECT_EQ(normal.size(), QSize(18, 18));
        EXPECT_NE(normal, greyed);
        // The greyed image has no colour.
        for (int y = 0; y < greyed.height(); ++y)
            for (int x = 0; x < greyed.width(); ++x) {
                const QColor c = greyed.pixelColor(x, y);
                EXPECT_TRUE(c.alpha() == 0 || (c.red() == c.green() && c.green() == c.blue()));
            }
    }
    EXPECT_TRUE(app::ToolGlyph(u"NoSuchButton"_s).isNull());
    // The program icon is a red seal: its ring's red at the top middle.
    const QImage icon = app::ProgramIconPixmap(48).toImage();
    const QColor top = icon.pixelColor(24, 2);
    EXPECT_GT(top.red(), 150);
    EXPECT_LT(top.green(), 80);
}

} // namespace
