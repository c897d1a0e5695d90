// Fonts and images of the GTK 2 gadget toolkit: numbered font slots that become the default
// gadget font, and PNG bytes decoded by libpng into numbered picture slots.
#include <png.h>

#include <map>

#include "desktop/gadgets.h"
#include "desktop/gtk/gtk_toolkit.h"

namespace {

std::map<int, std::string> fonts;  // slot -> Pango font description text
std::map<int, GdkPixbuf*> images;

void FreePixels(guchar* pixels, gpointer) { delete[] pixels; }

// A truncated or damaged picture gives nullptr rather than a partly drawn one.
GdkPixbuf* DecodePng(const unsigned char* bytes, std::size_t size) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) return nullptr;
    image.format = PNG_FORMAT_RGBA;
    std::size_t stride = PNG_IMAGE_ROW_STRIDE(image);
    auto* pixels = new guchar[PNG_IMAGE_BUFFER_SIZE(image, stride)];
    if (!png_image_finish_read(&image, nullptr, pixels, png_int_32(stride), nullptr)) {
        png_image_free(&image);
        delete[] pixels;
        return nullptr;
    }
    return gdk_pixbuf_new_from_data(pixels, GDK_COLORSPACE_RGB, TRUE, 8, int(image.width),
                                    int(image.height), int(stride), FreePixels, nullptr);
}

}  // namespace

bool LoadGadgetFont(int font, const std::string& name, int size) {
    if (!GadgetsStarted() || name.empty() || size <= 0) return false;
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, ToScreenText(name).c_str());
    pango_font_description_set_size(description, size * PANGO_SCALE);
    PangoContext* context = gdk_pango_context_get();
    PangoFont* loaded = pango_context_load_font(context, description);
    bool ok = loaded != nullptr;
    if (ok) {
        gchar* text = pango_font_description_to_string(description);
        fonts[font] = text;
        g_free(text);
        g_object_unref(loaded);
    }
    g_object_unref(context);
    pango_font_description_free(description);
    return ok;
}

bool GadgetFontLoaded(int font) { return fonts.count(font) != 0; }

void SetDefaultGadgetFont(int font) {
    auto found = fonts.find(font);
    if (found == fonts.end()) return;
    // The settings-wide font name reaches every widget made later, dialogs and message boxes too.
    std::string rc = "gtk-font-name = \"" + found->second + "\"";
    gtk_rc_parse_string(rc.c_str());
}

bool LoadImageFromPng(int image, const unsigned char* bytes, std::size_t size) {
    auto old = images.find(image);
    if (old != images.end()) {
        g_object_unref(old->second);
        images.erase(old);
    }
    if (!GadgetsStarted() || bytes == nullptr || size == 0) return false;
    GdkPixbuf* pixbuf = DecodePng(bytes, size);
    if (pixbuf) images[image] = pixbuf;
    return pixbuf != nullptr;
}

bool ImageLoaded(int image) { return images.count(image) != 0; }

GdkPixbuf* GadgetImagePixbuf(int image) {
    auto found = images.find(image);
    return found == images.end() ? nullptr : found->second;
}
