// The content type of served bytes, told from the bytes themselves: the
// page protocol reports none, as the browser on Windows sniffs it too.
#ifndef LUMOREL_HOST_CONTENT_TYPE_H_
#define LUMOREL_HOST_CONTENT_TYPE_H_

#include <string_view>

namespace lumorel {

// "text/html" for markup (after blanks or a byte-order mark, a "<" that
// opens a tag, a comment or a document type), the picture types by their
// signatures (GIF, JPEG, PNG, BMP, WebP, ICO, TIFF), "text/plain" for other
// text and "application/octet-stream" for other binary bytes.
std::string_view sniffContentType(std::string_view bytes);

// The type of a local picture file served to a page, from its first bytes:
// "image/jpeg", "image/png", "image/gif" or "image/bmp" by signature, and
// "application/octet-stream" for anything else, so that a file of another
// kind under a picture's name is never taken for a page or a script.
std::string_view pictureContentType(std::string_view head);

// True for the types that get the bridge script.
inline bool isHtml(std::string_view contentType) { return contentType == "text/html"; }

}  // namespace lumorel

#endif  // LUMOREL_HOST_CONTENT_TYPE_H_
