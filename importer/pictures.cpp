#include "importer/pictures.h"

#include <expat.h>
#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <vector>

#include "core/text.h"

namespace sw::importer {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool SizeAllowed(long width, long height, std::string* error) {
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels) {
        *error = Format("%ld x %ld pixels; a card picture may be at most %d pixels on a side and %ld million "
                        "pixels in all",
                        width, height, kMaxPictureSide, kMaxPicturePixels / 1'000'000);
        return false;
    }
    return true;
}

// ---- JPEG: libjpeg-turbo's lossless transform ------------------------------

// A JPEG turns without loss only in whole coded blocks (8 or 16 pixels a
// side). A picture whose size is not a whole number of blocks would keep
// its partial edge blocks unturned, so both pictures are then trimmed to
// whole blocks, losslessly, and stay the same size.
bool TurnJpeg(std::string_view bytes, TurnedPicture* out, std::string* error) {
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitTransform(), tjDestroy);
    if (!handle) {
        *error = "the JPEG library could not be started";
        return false;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), data, bytes.size(), &width, &height, &subsampling, &colorspace) != 0) {
        *error = std::string("not a readable JPEG picture: ") + tjGetErrorStr2(handle.get());
        return false;
    }
    if (!SizeAllowed(width, height, error)) return false;
    if (subsampling < 0 || subsampling >= TJ_NUMSAMP) {
        *error = "a JPEG picture whose colour sampling the JPEG library cannot turn";
        return false;
    }
    const int blockWidth = tjMCUWidth[subsampling], blockHeight = tjMCUHeight[subsampling];
    const int keptWidth = width / blockWidth * blockWidth, keptHeight = height / blockHeight * blockHeight;
    if (keptWidth == 0 || keptHeight == 0) {
        *error = Format("%d x %d pixels is less than one %d x %d block of the JPEG picture", width, height, blockWidth,
                        blockHeight);
        return false;
    }
    const bool whole = keptWidth == width && keptHeight == height;
    tjtransform transforms[2] = {};
    int count = 1;
    if (whole) {
        transforms[0].op = TJXOP_ROT180;
        transforms[0].options = TJXOPT_PERFECT;
    } else {
        transforms[0].op = TJXOP_NONE;
        transforms[0].options = TJXOPT_CROP;
        transforms[0].r = {0, 0, keptWidth, keptHeight};
        transforms[1].op = TJXOP_ROT180;
        transforms[1].options = TJXOPT_TRIM;
        count = 2;
    }
    unsigned char* made[2] = {nullptr, nullptr};
    unsigned long sizes[2] = {0, 0};
    // A damaged picture is refused rather than turned with grey blocks; a
    // progressive one with absurdly many scans is refused too.
    const int status = tjTransform(handle.get(), data, bytes.size(), count, made, sizes, transforms,
                                   TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS);
    std::string pieces[2];
    for (int i = 0; i < 2; ++i) {
        if (made[i]) pieces[i].assign(reinterpret_cast<const char*>(made[i]), sizes[i]);
        tjFree(made[i]);
    }
    if (status != 0) {
        *error = std::string("not a readable JPEG picture: ") + tjGetErrorStr2(handle.get());
        return false;
    }
    if (whole) {
        out->upright.assign(bytes);
        out->reversed = std::move(pieces[0]);
        return true;
    }
    out->upright = std::move(pieces[0]);
    out->reversed = std::move(pieces[1]);
    out->note = Format("%d x %d pixels is not a whole number of the JPEG picture's %d x %d blocks, so the picture and "
                       "its reversed form were trimmed losslessly to %d x %d (%d pixels off the right, %d off the "
                       "bottom) to turn exactly",
                       width, height, blockWidth, blockHeight, keptWidth, keptHeight, width - keptWidth,
                       height - keptHeight);
    return true;
}

// ---- PNG: libpng's simplified interface ------------------------------------

bool TurnPng(std::string_view bytes, TurnedPicture* out, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const std::unique_ptr<png_image, void (*)(png_imagep)> cleanup(&image, png_image_free);
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        *error = std::string("not a readable PNG picture: ") + image.message;
        return false;
    }
    if (!SizeAllowed(image.width, image.height, error)) return false;
    // Read in the picture's own format (grey or colour, alpha, palette,
    // 8 or 16 bits), so the turned one is the same pixels.
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    std::vector<png_byte> colormap((image.format & PNG_FORMAT_FLAG_COLORMAP) ? PNG_IMAGE_COLORMAP_SIZE(image) : 0);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, colormap.empty() ? nullptr : colormap.data())) {
        *error = std::string("not a readable PNG picture: ") + image.message;
        return false;
    }
    const std::size_t pixelBytes = PNG_IMAGE_PIXEL_SIZE(image.format);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * pixelBytes;  // rows are packed
    // A half turn reverses the order of all pixels: rows end to end, and
    // pixels within each row.
    std::vector<png_byte> turned(pixels.size());
    for (std::size_t row = 0; row < image.height; ++row) {
        const png_byte* from = pixels.data() + row * rowBytes;
        png_byte* to = turned.data() + (image.height - 1 - row) * rowBytes;
        for (std::size_t x = 0; x < image.width; ++x)
            std::copy_n(from + x * pixelBytes, pixelBytes, to + rowBytes - (x + 1) * pixelBytes);
    }
    png_alloc_size_t size = 0;
    const void* map = colormap.empty() ? nullptr : colormap.data();
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, turned.data(), 0, map)) {
        *error = std::string("the turned PNG picture could not be written: ") + image.message;
        return false;
    }
    out->reversed.resize(size);
    if (!png_image_write_to_memory(&image, out->reversed.data(), &size, 0, turned.data(), 0, map)) {
        *error = std::string("the turned PNG picture could not be written: ") + image.message;
        return false;
    }
    out->reversed.resize(size);
    out->upright.assign(bytes);
    return true;
}

// ---- SVG: checked with expat, wrapped in a turning SVG ---------------------

constexpr char kNamespaceSeparator = ' ';
constexpr std::string_view kSvgNamespace = "http://www.w3.org/2000/svg";

struct SvgScan {
    XML_Parser parser = nullptr;
    int depth = 0;
    long rootStart = -1;
    long rootEnd = -1;
    // The root's own size attributes, as written.
    std::string width, height, viewBox, x, y, preserveAspectRatio;
    std::string problem;
    bool inStyle = false;
    std::string style;

    void Refuse(std::string why) {
        if (problem.empty()) problem = std::move(why);
        XML_StopParser(parser, XML_FALSE);
    }
};

// "uri local" from the namespace-aware parser; the local part.
std::string_view LocalName(const XML_Char* name) {
    std::string_view text(name);
    const std::size_t space = text.rfind(kNamespaceSeparator);
    return space == std::string_view::npos ? text : text.substr(space + 1);
}

std::string_view NamespaceOf(const XML_Char* name) {
    std::string_view text(name);
    const std::size_t space = text.rfind(kNamespaceSeparator);
    return space == std::string_view::npos ? std::string_view() : text.substr(0, space);
}

// Why a style text or attribute value would reach outside the picture or
// run something; empty when it would not.
std::string ReferenceProblem(std::string_view value) {
    std::string text;
    for (char c : value)
        if (!std::isspace(static_cast<unsigned char>(c))) text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text.find("javascript:") != std::string::npos || text.find("expression(") != std::string::npos)
        return "holds a script";
    if (text.find("@import") != std::string::npos) return "loads a style sheet from another file";
    for (std::size_t at = text.find("url("); at != std::string::npos; at = text.find("url(", at + 4)) {
        std::string_view target = std::string_view(text).substr(at + 4);
        if (!target.empty() && (target[0] == '"' || target[0] == '\'')) target.remove_prefix(1);
        if (!StartsWith(target, "#") && !StartsWith(target, "data:"))
            return "refers to another file or address (url(...))";
    }
    return {};
}

void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    auto* scan = static_cast<SvgScan*>(user);
    const std::string local = Lower(LocalName(name));
    if (scan->depth == 0) {
        if (NamespaceOf(name) != kSvgNamespace || local != "svg")
            return scan->Refuse("the picture's outermost element is <" + std::string(LocalName(name)) +
                                ">, not an <svg> element of the SVG namespace");
        scan->rootStart = XML_GetCurrentByteIndex(scan->parser);
        for (const XML_Char** a = attributes; *a; a += 2) {
            if (!NamespaceOf(a[0]).empty()) continue;
            const std::string_view attribute = a[0];
            if (attribute == "width") scan->width = a[1];
            if (attribute == "height") scan->height = a[1];
            if (attribute == "viewBox") scan->viewBox = a[1];
            if (attribute == "x") scan->x = a[1];
            if (attribute == "y") scan->y = a[1];
            if (attribute == "preserveAspectRatio") scan->preserveAspectRatio = a[1];
        }
    }
    static const char* const kRefused[] = {"script", "foreignobject", "iframe", "embed", "object",
                                           "handler", "listener", "audio", "video"};
    for (const char* refused : kRefused)
        if (local == refused)
            return scan->Refuse("holds a <" + std::string(LocalName(name)) +
                                "> element; a card picture may hold only drawing");
    for (const XML_Char** a = attributes; *a; a += 2) {
        const std::string attribute = Lower(LocalName(a[0]));
        const std::string_view value = a[1];
        if (StartsWith(attribute, "on"))
            return scan->Refuse("holds an event handler (" + std::string(LocalName(a[0])) + "=...), which is script");
        if (attribute == "href") {
            std::string_view target = value;
            while (!target.empty() && std::isspace(static_cast<unsigned char>(target[0]))) target.remove_prefix(1);
            if (!StartsWith(target, "#") && !StartsWith(Lower(target.substr(0, 11)), "data:image/"))
                return scan->Refuse("refers to another file or address (href=\"" +
                                    std::string(FirstCharacters(value, 60)) + "\")");
        }
        const std::string problem = ReferenceProblem(value);
        if (!problem.empty()) return scan->Refuse(problem + " in its " + std::string(LocalName(a[0])) + " attribute");
    }
    if (local == "style") {
        scan->inStyle = true;
        scan->style.clear();
    }
    ++scan->depth;
}

void XMLCALL OnEnd(void* user, const XML_Char* name) {
    auto* scan = static_cast<SvgScan*>(user);
    --scan->depth;
    if (scan->inStyle && Lower(LocalName(name)) == "style") {
        scan->inStyle = false;
        const std::string problem = ReferenceProblem(scan->style);
        if (!problem.empty()) return scan->Refuse(problem + " in a <style> element");
    }
    if (scan->depth == 0)
        scan->rootEnd = XML_GetCurrentByteIndex(scan->parser) + XML_GetCurrentByteCount(scan->parser);
}

void XMLCALL OnText(void* user, const XML_Char* text, int length) {
    auto* scan = static_cast<SvgScan*>(user);
    if (scan->inStyle) scan->style.append(text, static_cast<std::size_t>(length));
}

void XMLCALL OnProcessingInstruction(void* user, const XML_Char* target, const XML_Char*) {
    if (Lower(target) == "xml-stylesheet")
        static_cast<SvgScan*>(user)->Refuse("loads a style sheet from another file (<?xml-stylesheet?>)");
}

void XMLCALL OnEntity(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char* systemId, const XML_Char* publicId, const XML_Char* notation) {
    if (systemId || publicId || notation)
        static_cast<SvgScan*>(user)->Refuse("declares an entity kept in another file");
}

void XMLCALL OnXmlDeclaration(void* user, const XML_Char*, const XML_Char* encoding, int) {
    if (!encoding) return;
    const std::string name = Lower(encoding);
    if (name != "utf-8" && name != "us-ascii" && name != "ascii")
        static_cast<SvgScan*>(user)->Refuse("is written in " + std::string(encoding) + "; save it as UTF-8");
}

// An SVG length as a number of user units (pixels); false for a
// percentage, a font-relative unit, or anything that is not a length.
bool UserUnits(std::string_view text, double* value) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    double number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || !std::isfinite(number)) return false;
    const std::string unit = Lower(std::string_view(end, static_cast<std::size_t>(text.data() + text.size() - end)));
    static const std::pair<const char*, double> kUnits[] = {{"", 1},       {"px", 1},         {"in", 96},
                                                            {"cm", 96 / 2.54}, {"mm", 96 / 25.4}, {"pt", 96.0 / 72},
                                                            {"pc", 16}};
    for (const auto& [name, factor] : kUnits)
        if (unit == name) {
            *value = number * factor;
            return true;
        }
    return false;
}

// The width and height of a viewBox ("minx miny width height").
bool ViewBoxSize(std::string_view text, double* width, double* height) {
    std::string spaced(text);
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    double values[4];
    std::string_view rest = spaced;
    for (double& v : values) {
        while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), v);
        if (ec != std::errc() || !std::isfinite(v)) return false;
        rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    }
    *width = values[2];
    *height = values[3];
    return *width > 0 && *height > 0;
}

// The size the picture is drawn at, in user units, as a browser sizes an
// SVG image: its width and height, a missing one from the viewBox's
// proportions, and 300 x 150 where nothing says otherwise.
void DrawnSize(const SvgScan& scan, double* width, double* height) {
    double w = 0, h = 0, boxW = 0, boxH = 0;
    const bool hasW = UserUnits(scan.width, &w) && w > 0;
    const bool hasH = UserUnits(scan.height, &h) && h > 0;
    const bool hasBox = ViewBoxSize(scan.viewBox, &boxW, &boxH);
    if (!hasW) w = hasBox ? (hasH ? h * boxW / boxH : boxW) : 300;
    if (!hasH) h = hasBox ? (hasW ? w * boxH / boxW : boxH) : 150;
    *width = w;
    *height = h;
}

std::string Number(double value) { return Format("%.6g", value); }

std::string Attribute(const char* name, const std::string& value) {
    return value.empty() ? std::string() : Format(" %s=\"%s\"", name, EscapeHtml(value).c_str());
}

bool TurnSvg(std::string_view bytes, TurnedPicture* out, std::string* error) {
    SvgScan scan;
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(
        XML_ParserCreateNS(nullptr, kNamespaceSeparator), XML_ParserFree);
    if (!parser) {
        *error = "the XML library could not be started";
        return false;
    }
    scan.parser = parser.get();
    XML_SetUserData(parser.get(), &scan);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    XML_SetProcessingInstructionHandler(parser.get(), OnProcessingInstruction);
    XML_SetEntityDeclHandler(parser.get(), OnEntity);
    XML_SetXmlDeclHandler(parser.get(), OnXmlDeclaration);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    const XML_Status status = XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE);
    if (!scan.problem.empty()) {
        *error = "the SVG picture " + scan.problem;
        return false;
    }
    if (status != XML_STATUS_OK || scan.rootStart < 0 || scan.rootEnd < scan.rootStart ||
        static_cast<std::size_t>(scan.rootEnd) > bytes.size()) {
        *error = Format("not a readable SVG picture: line %lu: %s",
                        static_cast<unsigned long>(XML_GetCurrentLineNumber(parser.get())),
                        XML_ErrorString(XML_GetErrorCode(parser.get())));
        return false;
    }
    // The picture goes in whole, as the only thing in a group turned about
    // the middle of the area it is drawn in; the outer SVG keeps its size.
    double width = 0, height = 0, x = 0, y = 0;
    DrawnSize(scan, &width, &height);
    std::string transform = "rotate(180 " + Number(width / 2) + " " + Number(height / 2) + ")";
    // A nested <svg> is placed at its x and y, which an outermost one ignores.
    const bool shiftX = UserUnits(scan.x, &x) && x != 0, shiftY = UserUnits(scan.y, &y) && y != 0;
    if (shiftX || shiftY) transform += " translate(" + Number(-x) + " " + Number(-y) + ")";
    const std::size_t start = static_cast<std::size_t>(scan.rootStart), end = static_cast<std::size_t>(scan.rootEnd);
    out->reversed.assign(bytes.substr(0, start));
    out->reversed += "<svg xmlns=\"http://www.w3.org/2000/svg\"" + Attribute("width", scan.width) +
                     Attribute("height", scan.height) + " viewBox=\"0 0 " + Number(width) + " " + Number(height) +
                     "\"" + Attribute("preserveAspectRatio", scan.preserveAspectRatio) + "><g transform=\"" +
                     transform + "\">";
    out->reversed += bytes.substr(start, end - start);
    out->reversed += "</g></svg>";
    out->reversed += bytes.substr(end);
    out->upright.assign(bytes);
    return true;
}

}  // namespace

PictureKind KindOfContent(std::string_view bytes) {
    if (StartsWith(bytes, "\xFF\xD8\xFF")) return PictureKind::kJpeg;
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n")) return PictureKind::kPng;
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) return PictureKind::kGif;
    if (StartsWith(bytes, "RIFF") && bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP") return PictureKind::kWebp;
    if (StartsWith(bytes, "BM")) return PictureKind::kBmp;
    if (StartsWith(bytes, std::string_view("II*\0", 4)) || StartsWith(bytes, std::string_view("MM\0*", 4)))
        return PictureKind::kTiff;
    std::string_view text = bytes;
    if (StartsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    if (StartsWith(text, "<?xml") || StartsWith(text, "<svg") || StartsWith(text, "<!--") ||
        StartsWith(text, "<!DOCTYPE"))
        return PictureKind::kSvg;
    return PictureKind::kUnknown;
}

PictureKind KindOfExtension(std::string_view extension) {
    const std::string e = Lower(extension);
    if (e == "jpg" || e == "jpeg") return PictureKind::kJpeg;
    if (e == "png") return PictureKind::kPng;
    if (e == "svg") return PictureKind::kSvg;
    if (e == "gif") return PictureKind::kGif;
    if (e == "webp") return PictureKind::kWebp;
    if (e == "bmp") return PictureKind::kBmp;
    if (e == "tif" || e == "tiff") return PictureKind::kTiff;
    return PictureKind::kUnknown;
}

const char* KindName(PictureKind kind) {
    switch (kind) {
        case PictureKind::kJpeg: return "JPEG";
        case PictureKind::kPng: return "PNG";
        case PictureKind::kSvg: return "SVG";
        case PictureKind::kGif: return "GIF";
        case PictureKind::kWebp: return "WebP";
        case PictureKind::kBmp: return "BMP";
        case PictureKind::kTiff: return "TIFF";
        case PictureKind::kUnknown: break;
    }
    return "unknown";
}

bool TurnHalf(PictureKind kind, std::string_view bytes, TurnedPicture* out, std::string* error) {
    *out = {};
    if (bytes.size() > kMaxPictureBytes) {
        *error = Format("%zu bytes; a card picture may be at most %zu MB", bytes.size(), kMaxPictureBytes >> 20);
        return false;
    }
    switch (kind) {
        case PictureKind::kJpeg: return TurnJpeg(bytes, out, error);
        case PictureKind::kPng: return TurnPng(bytes, out, error);
        case PictureKind::kSvg: return TurnSvg(bytes, out, error);
        default: break;
    }
    *error = std::string("a ") + KindName(kind) + " picture; the importer takes JPEG, PNG and SVG pictures";
    return false;
}

}  // namespace sw::importer
