#include "classlib/Picture.h"

#include <cstring>

#include "classlib/Files.h"
#include "classlib/GifImage.h"
#include "classlib/JpegImage.h"
#include "classlib/PngImage.h"

namespace cls {

TPictureKind DetectPictureKind(std::string_view data) {
    auto starts = [data](const char* sig, size_t n) { return data.size() >= n && std::memcmp(data.data(), sig, n) == 0; };
    if (starts("\xFF\xD8\xFF", 3)) return TPictureKind::Jpeg;
    if (starts("\x89PNG\r\n\x1A\n", 8)) return TPictureKind::Png;
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return TPictureKind::Gif;
    return TPictureKind::Unknown;
}

TPicture::TPicture(const TPicture& other) : graphic_(other.graphic_ ? other.graphic_->Clone() : nullptr) {}

TPicture& TPicture::operator=(const TPicture& other) {
    if (this != &other) graphic_ = other.graphic_ ? other.graphic_->Clone() : nullptr;
    return *this;
}

void TPicture::LoadFromFile(const std::wstring& fileName) {
    std::string data;
    if (!ReadFileBytes(fileName, data)) throw EInvalidGraphic("Cannot read the picture file");
    LoadFromStream(data);
}

void TPicture::LoadFromStream(std::string_view data) {
    std::unique_ptr<TGraphic> g;
    switch (DetectPictureKind(data)) {
    case TPictureKind::Jpeg: {
        auto j = std::make_unique<TJPEGImage>();
        j->LoadFromStream(data);
        g = std::move(j);
        break;
    }
    case TPictureKind::Png: {
        auto p = std::make_unique<TPNGImage>();
        p->LoadFromStream(data);
        g = std::move(p);
        break;
    }
    case TPictureKind::Gif: {
        auto p = std::make_unique<TGIFImage>();
        p->LoadFromStream(data);
        g = std::move(p);
        break;
    }
    default: throw EInvalidGraphic("Unknown picture format");
    }
    graphic_ = std::move(g);
}

void TPicture::LoadFromResource(HINSTANCE instance, const wchar_t* name, const wchar_t* type) {
    HRSRC res = FindResourceW(instance, name, type);
    HGLOBAL mem = res ? LoadResource(instance, res) : nullptr;
    const void* bytes = mem ? LockResource(mem) : nullptr;
    if (!bytes) throw EInvalidGraphic("Picture resource not found");
    LoadFromStream(std::string_view(static_cast<const char*>(bytes), SizeofResource(instance, res)));
}

}  // namespace cls
